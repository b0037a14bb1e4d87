// tovrin download, install, ports and configure-port: the commands that reach the programmer.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "app/build_driver.h"
#include "app/cli/commands.h"
#include "app/register.h"
#include "download/port_settings.h"
#include "download/programmer.h"
#include "platform/format.h"
#include "platform/terminal_interface.h"

namespace fs = std::filesystem;

namespace {

// The firmware "Install Tovrin..." offers when nothing is stored.
const char kDefaultFirmware[] = "Atmel\\Tovrin.hex";

enum class Memory { Sram, Flash };

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

// The stored "Port" as its list entry; empty when it names no entry of the list.
std::string StoredPort(const CRegister& registry) {
  int number = registry.ReadInt("Port");
  if (number == 0) number = 1;  // the window's default
  return number >= 1 && number <= 4 ? Format("COM%d", number) : std::string();
}

// Connect, one download, Disconnect; the programmer's error text and exit 3 on failure.
int Transfer(Memory memory, const std::string& file, const std::string& port) {
  if (port.empty()) {
    std::fprintf(stderr, "tovrin: %s\n", kNoPortText);
    return kExitDownloadFailed;
  }
  CTerminalInterface ui(stderr);
  CProgrammer programmer;
  programmer.Setup();
  const std::string shortName = ShortName(file);
  bool ok = programmer.Connect(port);
  if (ok)
    ok = memory == Memory::Sram ? programmer.DownloadSram(file, shortName)
                                : programmer.DownloadFlash(file, shortName);
  // Disconnect does not touch the text of a failure before it.
  const std::string failure = programmer.errorText;
  programmer.Disconnect();
  if (!ok) {
    std::fprintf(stderr, "tovrin: %s\n", failure.c_str());
    return kExitDownloadFailed;
  }
  std::printf("%s: %s to %s through %s (%s, software %3.2f, hardware %3.2f)\n", port.c_str(),
              shortName.c_str(), memory == Memory::Sram ? "SRAM" : "Flash", programmer.programmerId.c_str(),
              programmer.isOwnProgrammer ? "Tovrin Programmer" : "Atmel Programmer",
              programmer.softwareVersion, programmer.hardwareVersion);
  return kExitOk;
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

int RunDownloadCommand(const TransferOptions& parsed) {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  return Transfer(Memory::Sram, *parsed.file, parsed.port.value_or("").empty() ? StoredPort(registry) : *parsed.port);
}

int RunInstallCommand(const TransferOptions& parsed) {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  std::string firmware;
  if (parsed.file) {
    // As the window does: the firmware chosen becomes the stored one.
    std::error_code ignored;
    const fs::path absolute = fs::absolute(*parsed.file, ignored);
    firmware = absolute.empty() ? *parsed.file : absolute.lexically_normal().string();
    registry.WriteString("Tovrin File", firmware);
  } else {
    firmware = registry.ReadString("Tovrin File");
    if (firmware.empty()) firmware = kDefaultFirmware;
    firmware = LocalFirmwarePath(firmware);
  }
  return Transfer(Memory::Flash, firmware, parsed.port.value_or("").empty() ? StoredPort(registry) : *parsed.port);
}

int RunPortsCommand() {
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

int RunConfigurePortCommand(const PortOptions& options) {
  if (!ComPortNumber(options.name)) return UsageError("configure-port needs a port name COM1 .. COM4");
  const std::string name = options.name;
  PortChanges changes;
  std::string error;
  const std::pair<const char*, const std::optional<std::string>*> given[] = {
      {"--device", &options.device},       {"--baud", &options.baud},         {"--data-bits", &options.dataBits},
      {"--parity", &options.parity},       {"--stop-bits", &options.stopBits}, {"--flow", &options.flow}};
  for (const auto& [option, value] : given)
    if (*value && !ParsePortChange(option, **value, changes, error)) return UsageError(error);
  if (changes.Any()) {
    CProgrammer programmer;
    programmer.Setup();
    const bool ok = programmer.ConfigurePort(name, [&changes](CPortSettings& settings) {
      changes.ApplyTo(settings);
      return true;
    });
    if (!ok) {
      std::fprintf(stderr, "tovrin: %s\n", programmer.errorText.c_str());
      return kExitDownloadFailed;
    }
  }
  PrintMapping(name);
  return kExitOk;
}
