// tovrin download, install, ports and configure-port: the commands that reach the programmer.
#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/build_driver.h"
#include "app/cli/commands.h"
#include "app/cli/stop_on_signals.h"
#include "app/register.h"
#include "app/settings_check.h"
#include "app/transfer.h"
#include "download/hex_check.h"
#include "download/port_settings.h"
#include "download/programmer.h"
#include "platform/format.h"
#include "platform/terminal_interface.h"

namespace fs = std::filesystem;

namespace {

// The firmware "Install Tovrin..." offers when nothing is stored.
const char kDefaultFirmware[] = "Atmel\\Tovrin.hex";

enum class Memory { Sram, Flash };

// FILE and --port PORT, in any order.
struct TransferArguments {
  std::optional<std::string> file;
  std::string port;
};

bool ParseTransferArguments(const Arguments& args, TransferArguments& parsed, std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--port") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--port needs a port name (COM1 .. COM4 or a device path)";
        return false;
      }
      if (!ParsePortName(args[++i], parsed.port, error)) return false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = Format("unknown option '%s'", arg.c_str());
      return false;
    } else if (parsed.file) {
      error = Format("more than one file given ('%s' and '%s')", parsed.file->c_str(), arg.c_str());
      return false;
    } else {
      parsed.file = arg;
    }
  }
  return true;
}

// A stored firmware path as this system opens it. The default separates its folder with a
// backslash (Atmel\Tovrin.hex), as paths stored on Windows do; where no file has that name as
// written, the same path with '/' is meant.
std::string LocalFirmwarePath(const std::string& stored) {
  std::error_code ignored;
  if (stored.find('\\') == std::string::npos || fs::exists(stored, ignored)) return stored;
  std::string local = stored;
  for (char& c : local)
    if (c == '\\') c = '/';
  return local;
}

// Says each setting that could not be used, and what is used instead.
void PrintNotes(const std::vector<std::string>& notes) {
  for (const std::string& note : notes) std::fprintf(stderr, "tovrin: warning: %s\n", note.c_str());
}

// The stored "Port" as its list entry; one that names no entry of the list falls back to COM1.
std::string StoredPort(const CRegister& registry, std::vector<std::string>& notes) {
  return Format("COM%d", ReadSetting(registry, kPortSetting, notes));
}

// "about 6 s", "about 2 min 05 s".
std::string Duration(int milliseconds) {
  const int seconds = (milliseconds + 500) / 1000;
  if (seconds < 1) return "under a second";
  if (seconds < 90) return Format("about %d s", seconds);
  return Format("about %d min %02d s", seconds / 60, seconds % 60);
}

// Check, Connect, one download, Disconnect; one message and exit 3 on failure, 128 + the
// signal when a signal stopped it.
int Transfer(Memory memory, const std::string& file, const std::string& port) {
  if (port.empty()) {
    std::fprintf(stderr, "tovrin: %s\n", kNoPortText);
    return kExitDownloadFailed;
  }
  CTerminalInterface ui(stderr);
  // Without a terminal there is no bar to redraw: a line every tenth shows the transfer lives.
  ui.progressLines = !ui.interactive;
  CProgrammer programmer;
  programmer.Setup();
  TransferListener listener;
  listener.onChecked = [&](const HexCheck& check) {
    if (memory != Memory::Sram) return;
    // SRAM blocks are paced byte by byte: a few hundred bytes already take seconds.
    const int baud = LoadPortSettings(port).baud;
    std::fprintf(stderr,
                 "Sending %d bytes in %d blocks to SRAM: %s (the programmer needs a pause after every "
                 "byte, about 11 ms a byte at %d baud)\n",
                 check.dataBytes, check.records, Duration(EstimatedSramMilliseconds(check, baud)).c_str(), baud);
    std::fflush(stderr);
  };
  const TransferRequest request{memory == Memory::Sram ? TransferKind::Sram : TransferKind::Flash, file, port};
  TransferResult result;
  int signal = 0;
  {
    CStopOnSignals stop(programmer);
    result = RunTransfer(programmer, request, listener);
    signal = stop.Signal();
  }
  switch (result.outcome) {
    case TransferOutcome::Done:
      std::printf("%s: %s to %s through %s (%s, software %3.2f, hardware %3.2f)\n", port.c_str(),
                  ShortName(file).c_str(), memory == Memory::Sram ? "SRAM" : "Flash", programmer.programmerId.c_str(),
                  programmer.isOwnProgrammer ? "Tovrin Programmer" : "Atmel Programmer", programmer.softwareVersion,
                  programmer.hardwareVersion);
      return kExitOk;
    case TransferOutcome::Interrupted:
      std::fprintf(stderr, "tovrin: %s\n", result.errorText.c_str());
      return kExitSignalBase + (signal ? signal : SIGINT);
    default:
      std::fprintf(stderr, "tovrin: %s\n", result.errorText.c_str());
      if (!result.detail.empty())
        std::fprintf(stderr, "tovrin: %s ('tovrin ports' lists the serial devices and what COM1 .. COM4 stand for)\n",
                     result.detail.c_str());
      return kExitDownloadFailed;
  }
}

void PrintMapping(const std::string& name) {
  std::printf("%s  %s\n", name.c_str(), DescribePortSettings(LoadPortSettings(name)).c_str());
}

// The changes configure-port asks for; each is applied over what is stored.
struct PortChanges {
  std::optional<std::string> device;
  std::optional<int> baud, dataBits, stopBits;
  std::optional<Parity> parity;
  std::optional<FlowControl> flow;
  bool Any() const { return device || baud || dataBits || stopBits || parity || flow; }
  void ApplyTo(CPortSettings& settings) const {
    if (device) settings.device = *device;
    if (baud) settings.baud = *baud;
    if (dataBits) settings.dataBits = *dataBits;
    if (stopBits) settings.stopBits = *stopBits;
    if (parity) settings.parity = *parity;
    if (flow) settings.flow = *flow;
  }
};

bool ParsePortChange(const std::string& option, const std::string& value, PortChanges& changes,
                     std::string& error) {
  int number = 0;
  speed_t speed;
  if (option == "--device") {
    if (value.empty()) {
      error = "--device needs a path";
      return false;
    }
    changes.device = value;
  } else if (option == "--baud") {
    if (!ParseBoundedInt(value, 1, 99999999, number) || !BaudToSpeed(number, speed)) {
      error = Format("--baud: '%s' is no speed this system supports", value.c_str());
      return false;
    }
    changes.baud = number;
  } else if (option == "--data-bits") {
    if (!ParseBoundedInt(value, 5, 8, number)) {
      error = "--data-bits takes 5, 6, 7 or 8";
      return false;
    }
    changes.dataBits = number;
  } else if (option == "--stop-bits") {
    if (!ParseBoundedInt(value, 1, 2, number)) {
      error = "--stop-bits takes 1 or 2";
      return false;
    }
    changes.stopBits = number;
  } else if (option == "--parity") {
    Parity parity;
    if (!ParseParity(value, parity)) {
      error = "--parity takes none, odd or even";
      return false;
    }
    changes.parity = parity;
  } else if (option == "--flow") {
    FlowControl flow;
    if (!ParseFlowControl(value, flow)) {
      error = "--flow takes none, hardware or software";
      return false;
    }
    changes.flow = flow;
  } else {
    error = Format("unknown option '%s'", option.c_str());
    return false;
  }
  return true;
}

}  // namespace

int RunDownloadCommand(const Arguments& args) {
  TransferArguments parsed;
  std::string error;
  if (!ParseTransferArguments(args, parsed, error)) return UsageError(error);
  if (!parsed.file) return UsageError("download needs the HEXFILE to send");
  std::string port = parsed.port;
  if (port.empty()) {
    CRegister registry;
    registry.SetKey(kSettingsKey);
    std::vector<std::string> notes;
    NoteSettingsFileProblem(registry, notes);
    port = StoredPort(registry, notes);
    PrintNotes(notes);
  }
  return Transfer(Memory::Sram, *parsed.file, port);
}

int RunInstallCommand(const Arguments& args) {
  TransferArguments parsed;
  std::string error;
  if (!ParseTransferArguments(args, parsed, error)) return UsageError(error);
  CRegister registry;
  registry.SetKey(kSettingsKey);
  std::vector<std::string> notes;
  NoteSettingsFileProblem(registry, notes);
  std::string firmware;
  if (parsed.file) {
    // As the window does: the firmware chosen becomes the stored one. Not being able to store
    // it does not stop the install.
    std::error_code ignored;
    const fs::path absolute = fs::absolute(*parsed.file, ignored);
    firmware = absolute.empty() ? *parsed.file : absolute.lexically_normal().string();
    if (!registry.WriteString("Tovrin File", firmware))
      notes.push_back(Format("cannot store \"Tovrin File\": %s", registry.WriteErrorText().c_str()));
  } else {
    firmware = registry.ReadString("Tovrin File");
    if (firmware.empty()) firmware = kDefaultFirmware;
    firmware = LocalFirmwarePath(firmware);
  }
  const std::string port = parsed.port.empty() ? StoredPort(registry, notes) : parsed.port;
  PrintNotes(notes);
  return Transfer(Memory::Flash, firmware, port);
}

int RunPortsCommand(const Arguments& args) {
  if (!args.empty()) return UsageError("ports takes no arguments");
  std::printf("Serial devices:\n");
  const std::vector<std::string> devices = ListSerialDevices();
  if (devices.empty()) std::printf("  (none found)\n");
  for (const std::string& device : devices) {
    std::error_code error;
    const fs::path target = fs::canonical(device, error);
    if (!error && target != fs::path(device))
      std::printf("  %s -> %s\n", device.c_str(), target.c_str());
    else
      std::printf("  %s\n", device.c_str());
  }
  std::printf("Ports:\n");
  for (int n = 1; n <= 4; ++n) {
    std::printf("  ");
    PrintMapping(Format("COM%d", n));
  }
  return kExitOk;
}

int RunConfigurePortCommand(const Arguments& args) {
  std::string name, error;
  if (args.empty() || !ParsePortName(args[0], name, error) || !ComPortNumber(name))
    return UsageError("configure-port needs a port name COM1 .. COM4");
  PortChanges changes;
  for (size_t i = 1; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return UsageError(Format("%s needs a value", args[i].c_str()));
    if (!ParsePortChange(args[i], args[i + 1], changes, error)) return UsageError(error);
  }
  if (changes.Any()) {
    CProgrammer programmer;
    programmer.Setup();
    const bool ok = programmer.ConfigurePort(name, [&changes](CPortSettings& settings) {
      changes.ApplyTo(settings);
      return true;
    });
    if (!ok && !programmer.port.settingsError.empty()) {
      std::fprintf(stderr, "tovrin: cannot write the settings file %s\n", programmer.port.settingsError.c_str());
      return kExitSettingsNotWritten;
    }
    if (!ok) {
      std::fprintf(stderr, "tovrin: %s\n", programmer.errorText.c_str());
      return kExitDownloadFailed;
    }
  }
  std::vector<std::string> notes;
  LoadPortSettings(name, &notes);
  PrintNotes(notes);
  PrintMapping(name);
  return kExitOk;
}
