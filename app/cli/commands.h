// The subcommands of the tovrin command line. The command line (command_line.cpp) reads the
// arguments into one of these option sets; each command returns the process exit status.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Exit statuses shared by every subcommand.
enum ExitStatus { kExitOk = 0, kExitBuildFailed = 1, kExitUsage = 2, kExitDownloadFailed = 3 };

// tovrin build. Values are kept as typed: the command checks them and names the flag that
// was wrong. Unset values come from the settings store.
struct BuildOptions {
  std::string source;
  std::optional<std::string> debugLevel, code, data, externalRam, log, port, output;
  bool download = false;
  bool openLog = false;
  bool noWarnings = false;
  bool warningsAsErrors = false;
};

// tovrin download / install: FILE and --port PORT.
struct TransferOptions {
  std::optional<std::string> file;
  std::optional<std::string> port;
};

// tovrin configure-port COMn and the changes asked for.
struct PortOptions {
  std::string name;
  std::optional<std::string> device, baud, dataBits, parity, stopBits, flow;
};

int RunBuildCommand(const BuildOptions& options);
int RunDownloadCommand(const TransferOptions& options);
int RunInstallCommand(const TransferOptions& options);
int RunPortsCommand();
int RunConfigurePortCommand(const PortOptions& options);
int RunSettingsCommand();
int RunInspectCommand(const std::string& hexPath);

// Prints "tovrin: MESSAGE" and a hint to standard error; returns kExitUsage.
int UsageError(const std::string& message);

// Control characters would steer the terminal; shows them as escapes instead.
std::string Printable(const std::string& text);
