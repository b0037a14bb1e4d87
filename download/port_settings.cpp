#include "download/port_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/format.h"
#include "platform/settings_file.h"

namespace {

const char kDeviceName[] = "Device";
const char kBaudName[] = "Baud Rate";
const char kDataBitsName[] = "Data Bits";
const char kParityName[] = "Parity";
const char kStopBitsName[] = "Stop Bits";
const char kFlowName[] = "Flow Control";

struct SpeedEntry {
  int baud;
  speed_t speed;
};

const SpeedEntry kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800}, {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000},
};

tcflag_t DataBitsFlag(int bits) {
  switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Compares runs of digits by value, everything else by character.
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t endA = i, endB = j;
      while (endA < a.size() && IsDigit(a[endA])) ++endA;
      while (endB < b.size() && IsDigit(b[endB])) ++endB;
      // Leading zeros aside, the longer run is the larger number.
      while (i + 1 < endA && a[i] == '0') ++i;
      while (j + 1 < endB && b[j] == '0') ++j;
      const std::string numberA = a.substr(i, endA - i), numberB = b.substr(j, endB - j);
      if (numberA.size() != numberB.size()) return numberA.size() < numberB.size();
      if (numberA != numberB) return numberA < numberB;
      i = endA;
      j = endB;
      continue;
    }
    if (a[i] != b[j]) return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

std::vector<std::string> SortedEntries(const std::string& folder, bool needDriver) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code missing;
    if (needDriver && !fs::exists(it->path() / "device" / "driver", missing)) continue;
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

}  // namespace

std::vector<std::string> ListSerialDevices() {
  std::vector<std::string> devices;
  for (const std::string& name : SortedEntries("/dev/serial/by-id", false))
    devices.push_back("/dev/serial/by-id/" + name);
  for (const std::string& name : SortedEntries("/sys/class/tty", true)) devices.push_back("/dev/" + name);
  return devices;
}

int ComPortNumber(const std::string& name) {
  if (name.size() != 4 || name.compare(0, 3, "COM") != 0) return 0;
  if (name[3] < '1' || name[3] > '4') return 0;
  return name[3] - '0';
}

bool ParsePortName(const std::string& typed, std::string& port, std::string& error) {
  std::string upper;
  for (char c : typed) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ComPortNumber(upper)) {
    port = upper;
    return true;
  }
  if (typed.find('/') != std::string::npos) {
    port = typed;
    return true;
  }
  error = Format("'%s' is no port: give COM1, COM2, COM3 or COM4 (any case), or a device path such as "
                 "/dev/ttyUSB0 or ./pty ('tovrin ports' lists the devices found)",
                 typed.c_str());
  // A bare device name is most likely meant under /dev.
  std::error_code ignored;
  if (!typed.empty() && std::filesystem::exists("/dev/" + typed, ignored))
    error += Format("; did you mean /dev/%s?", typed.c_str());
  return false;
}

CPortSettings DefaultPortSettings(const std::string& name) {
  CPortSettings settings;
  int number = ComPortNumber(name);
  settings.device = number ? Format("/dev/ttyS%d", number - 1) : name;
  return settings;
}

std::string PortSettingsKey(const std::string& name) {
  return Format("SOFTWARE\\Halvery\\Tovrin\\Ports\\%s", name.c_str());
}

const char* ParityText(Parity parity) {
  switch (parity) {
    case Parity::Odd: return "odd";
    case Parity::Even: return "even";
    default: return "none";
  }
}

const char* FlowControlText(FlowControl flow) {
  switch (flow) {
    case FlowControl::Hardware: return "hardware";
    case FlowControl::Software: return "software";
    default: return "none";
  }
}

bool ParseParity(const std::string& text, Parity& parity) {
  for (Parity candidate : {Parity::None, Parity::Odd, Parity::Even}) {
    if (text == ParityText(candidate)) {
      parity = candidate;
      return true;
    }
  }
  return false;
}

bool ParseFlowControl(const std::string& text, FlowControl& flow) {
  for (FlowControl candidate : {FlowControl::None, FlowControl::Hardware, FlowControl::Software}) {
    if (text == FlowControlText(candidate)) {
      flow = candidate;
      return true;
    }
  }
  return false;
}

bool ParseBoundedInt(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  if (result < low || result > high) return false;
  value = result;
  return true;
}

bool BaudToSpeed(int baud, speed_t& speed) {
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.baud == baud) {
      speed = entry.speed;
      return true;
    }
  }
  return false;
}

bool ValidPortSettings(const CPortSettings& settings) {
  speed_t speed;
  return !settings.device.empty() && BaudToSpeed(settings.baud, speed) && settings.dataBits >= 5 &&
         settings.dataBits <= 8 && (settings.stopBits == 1 || settings.stopBits == 2);
}

CPortSettings LoadPortSettings(const std::string& name, std::vector<std::string>* notes) {
  CPortSettings settings = DefaultPortSettings(name);
  if (!ComPortNumber(name)) return settings;
  const CSettingsFile file;
  const std::string key = PortSettingsKey(name);
  // Each value is taken only when it makes sense; a damaged one keeps its default, said so.
  auto note = [&](const char* value, const std::string& text, const char* wanted, const std::string& used) {
    if (notes)
      notes->push_back(Format("setting \"%s\" of %s is \"%s\", not %s; using %s", value, name.c_str(),
                              text.c_str(), wanted, used.c_str()));
  };
  std::string text;
  if (file.Read(key, kDeviceName, text) && !text.empty()) settings.device = text;
  int number = 0;
  speed_t speed;
  if (file.Read(key, kBaudName, text)) {
    if (ParseBoundedInt(text, 1, 99999999, number) && BaudToSpeed(number, speed))
      settings.baud = number;
    else
      note(kBaudName, text, "a speed this system supports", Format("%d", settings.baud));
  }
  if (file.Read(key, kDataBitsName, text)) {
    if (ParseBoundedInt(text, 5, 8, number))
      settings.dataBits = number;
    else
      note(kDataBitsName, text, "5 to 8", Format("%d", settings.dataBits));
  }
  if (file.Read(key, kParityName, text) && !ParseParity(text, settings.parity))
    note(kParityName, text, "none, odd or even", ParityText(settings.parity));
  if (file.Read(key, kStopBitsName, text)) {
    if (ParseBoundedInt(text, 1, 2, number))
      settings.stopBits = number;
    else
      note(kStopBitsName, text, "1 or 2", Format("%d", settings.stopBits));
  }
  if (file.Read(key, kFlowName, text) && !ParseFlowControl(text, settings.flow))
    note(kFlowName, text, "none, hardware or software", FlowControlText(settings.flow));
  return settings;
}

bool SavePortSettings(const std::string& name, const CPortSettings& settings, std::string* error) {
  if (!ComPortNumber(name) || !ValidPortSettings(settings)) return false;
  CSettingsFile file;
  const std::string key = PortSettingsKey(name);
  const bool ok = file.Write(key, kDeviceName, settings.device) &&
                  file.Write(key, kBaudName, Format("%d", settings.baud)) &&
                  file.Write(key, kDataBitsName, Format("%d", settings.dataBits)) &&
                  file.Write(key, kParityName, ParityText(settings.parity)) &&
                  file.Write(key, kStopBitsName, Format("%d", settings.stopBits)) &&
                  file.Write(key, kFlowName, FlowControlText(settings.flow));
  if (!ok && error) *error = file.WriteErrorText();
  return ok;
}

std::string DescribePortSettings(const CPortSettings& settings) {
  const char parity = settings.parity == Parity::None ? 'N' : settings.parity == Parity::Odd ? 'O' : 'E';
  return Format("%s %d %d%c%d flow %s", settings.device.c_str(), settings.baud, settings.dataBits,
                parity, settings.stopBits, FlowControlText(settings.flow));
}

bool ApplyLineSettings(const CPortSettings& settings, termios& tio) {
  speed_t speed;
  if (!ValidPortSettings(settings) || !BaudToSpeed(settings.baud, speed)) return false;
  cfmakeraw(&tio);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  tio.c_cflag |= DataBitsFlag(settings.dataBits) | CLOCAL | CREAD;
  if (settings.parity != Parity::None) tio.c_cflag |= PARENB;
  if (settings.parity == Parity::Odd) tio.c_cflag |= PARODD;
  if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (settings.flow == FlowControl::Hardware) tio.c_cflag |= CRTSCTS;
  if (settings.flow == FlowControl::Software) tio.c_iflag |= IXON | IXOFF;
  // Reads never block in the driver: the port's read time-out is a poll.
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0;
}
