#include "app/cli/commands.h"

int RunBuildCommand(const Arguments&) { return UsageError("build is not available yet"); }
int RunSettingsCommand(const Arguments&) { return UsageError("settings is not available yet"); }
