#include "app/cli/commands.h"

int RunDownloadCommand(const Arguments&) { return UsageError("download is not available yet"); }
int RunInstallCommand(const Arguments&) { return UsageError("install is not available yet"); }
int RunPortsCommand(const Arguments&) { return UsageError("ports is not available yet"); }
int RunConfigurePortCommand(const Arguments&) { return UsageError("configure-port is not available yet"); }
