// The subcommands of the tovrin command line. Each takes the arguments after
// its own name and returns the process exit status.
#pragma once

#include <string>
#include <vector>

using Arguments = std::vector<std::string>;

// Exit statuses shared by every subcommand. A transfer stopped by a signal exits with 128 plus
// the signal's number (130 for Ctrl-C), as a shell reports a program the signal killed.
enum ExitStatus {
  kExitOk = 0,
  kExitBuildFailed = 1,
  kExitUsage = 2,
  kExitDownloadFailed = 3,
  kExitSettingsNotWritten = 4,  // the settings file cannot be written
  kExitSignalBase = 128,
};

int RunBuildCommand(const Arguments& args);
int RunDownloadCommand(const Arguments& args);
int RunInstallCommand(const Arguments& args);
int RunPortsCommand(const Arguments& args);
int RunConfigurePortCommand(const Arguments& args);
int RunSettingsCommand(const Arguments& args);

// Prints "tovrin: MESSAGE" and a hint to standard error; returns kExitUsage.
int UsageError(const std::string& message);
