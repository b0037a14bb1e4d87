#include "download/programmer.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/format.h"
#include "platform/system_error.h"
#include "platform/user_interface.h"

namespace {

// Command letters and fixed argument bytes of the programmer.
constexpr uint8_t kSynchronise = 'X';
constexpr uint8_t kSyncArgument = 0x01;
constexpr uint8_t kAbandonArgument = 0x08;
constexpr uint8_t kIdentify = 'I';
constexpr uint8_t kSoftwareVersion = 'V';
constexpr uint8_t kHardwareVersion = 'v';
constexpr uint8_t kProgrammerType = 'y';
constexpr uint8_t kSelectDevice = 'T';
constexpr uint8_t kDeviceCode = 0x13;
constexpr uint8_t kEnterProgramming = 'P';
constexpr uint8_t kLeaveProgramming = 'p';
constexpr uint8_t kEnterSramLoader = 'L';
constexpr uint8_t kLeaveSramLoader = 'l';
constexpr uint8_t kErase = 'E';
constexpr uint8_t kSetAddress = 'A';
constexpr uint8_t kWriteFlashWord = 'F';
constexpr uint8_t kWriteSramBlock = 'R';
constexpr uint8_t kAck = 0x01;
constexpr uint8_t kOwnProgrammerType = 'F';

constexpr int kIdLength = 7;
constexpr int kSyncTries = 3;
constexpr int kSyncReads = 3;
constexpr int kSramAttempts = 5;
// A line that never stops talking must not keep the drain going for ever.
constexpr int kMaxDrainBytes = 4096;

constexpr const char* kInvalidReturnCode = "Invalid return code";
constexpr const char* kInterrupted = "interrupted";

uint8_t High(unsigned value) { return static_cast<uint8_t>(value >> 8 & 0xFF); }
uint8_t Low(unsigned value) { return static_cast<uint8_t>(value & 0xFF); }

double Version(const uint8_t bytes[2]) { return bytes[0] + bytes[1] * 0.01; }

}  // namespace

void CProgrammer::Setup() {
  port.SetBufferSize(1024);
  port.timeout = 1000;
  errorText = "No Error";
}

bool CProgrammer::Send(std::initializer_list<uint8_t> bytes) {
  for (uint8_t byte : bytes)
    if (!port.Write(&byte, 1)) return false;
  return true;
}

bool CProgrammer::Command(std::initializer_list<uint8_t> bytes) {
  if (!Send(bytes)) return false;
  uint8_t answer = 0;
  return port.Read(&answer, 1) && answer == kAck;
}

bool CProgrammer::Query(uint8_t command, uint8_t* answer, int n) {
  return Send({command}) && port.Read(answer, n);
}

void CProgrammer::Drain() {
  uint8_t discarded = 0;
  for (int i = 0; i < kMaxDrainBytes && port.Read(&discarded, 1); ++i) {
  }
}

uint8_t CProgrammer::Synchronise() {
  uint8_t answer = 0;
  for (int attempt = 0; attempt < kSyncTries && !StopRequested() && !port.Lost(); ++attempt) {
    Drain();
    answer = 0;
    if (Send({kSynchronise, kSyncArgument})) {
      for (int read = 0; read < kSyncReads; ++read) {
        uint8_t byte = 0;
        if (port.Read(&byte, 1)) {
          answer = byte;
          break;
        }
      }
    }
    if (answer == kAck) break;
  }
  return answer;
}

bool CProgrammer::Connect(const std::string& portName) {
  connected.store(true, std::memory_order_relaxed);
  interrupted = lostProgrammer = false;
  reachedAddress = -1;
  if (CheckStop()) return false;
  port.portName = portName;
  if (!port.Open()) {
    errorText = Format("Failed to open port '%s'", portName.c_str());
    return false;
  }
  const uint8_t answer = Synchronise();
  if (CheckStop() || CheckLost()) return false;
  if (answer == 0) {
    errorText = "Connection timed out; problem with programmer or connection settings.";
    return false;
  }
  if (answer != kAck) {
    errorText = "Garbled Connection; problem with programmer or connection.";
    return false;
  }

  char id[kIdLength + 1] = {};
  if (!Query(kIdentify, reinterpret_cast<uint8_t*>(id), kIdLength)) {
    Fail("Error retrieving programmer ID.");
    return false;
  }
  programmerId = id;  // as text: a NUL ends it

  uint8_t version[2] = {};
  if (!Query(kSoftwareVersion, version, 2)) {
    softwareVersion = 0;
    Fail("Error retrieving software version #.");
    return false;
  }
  softwareVersion = Version(version);
  if (!Query(kHardwareVersion, version, 2)) {
    hardwareVersion = 0;
    Fail("Error retrieving hardware version #.");
    return false;
  }
  hardwareVersion = Version(version);

  uint8_t type = 0;
  if (!Query(kProgrammerType, &type, 1)) {
    Fail("Error retrieving programmer type.");
    return false;
  }
  isOwnProgrammer = type == kOwnProgrammerType;
  return !CheckStop();
}

bool CProgrammer::CheckStop() {
  if (!StopRequested()) return false;
  if (!interrupted && !lostProgrammer) errorText = kInterrupted;
  interrupted = true;
  return true;
}

bool CProgrammer::CheckLost() {
  if (!port.Lost()) return false;
  if (lostProgrammer) return true;
  lostProgrammer = true;
  const std::string where = port.config.device.empty() || port.config.device == port.portName
                                ? port.portName
                                : Format("%s (%s)", port.portName.c_str(), port.config.device.c_str());
  const std::string reached = reachedAddress < 0 ? std::string("while connecting")
                                                 : Format("at address 0x%04x", reachedAddress);
  errorText = Format("Lost the programmer on %s %s: %s", where.c_str(), reached.c_str(),
                     SystemErrorText(port.lostError).c_str());
  return true;
}

void CProgrammer::Fail(const std::string& text) {
  if (!CheckLost()) errorText = text;
}

void CProgrammer::LeaveMode(std::initializer_list<uint8_t> leave) {
  if (!port.Lost()) Command(leave);
}

void CProgrammer::DrainAfterStop() {
  // A stopped transfer ends between blocks or words; an answer still on its way must not be
  // taken for the acknowledgement of the leave command.
  if (interrupted && !port.Lost()) Drain();
}

bool CProgrammer::Disconnect() {
  connected.store(false, std::memory_order_relaxed);
  if (!port.Close()) {
    errorText = "Failed to close port.";
    return false;
  }
  return true;
}

bool CProgrammer::ConfigurePort(const std::string& portName, const CSerial::SettingsEditor& edit) {
  if (!port.Configure(portName, edit)) {
    errorText = Format("Failed to configure port '%s'", portName.c_str());
    return false;
  }
  return true;
}

void CProgrammer::OpenStatus(const std::string& statusLine) {
  CUserInterface& ui = UserInterface();
  ui.OpenStatusWindow();
  ui.SetStatusText(StatusField::StatusLine, statusLine);
  ui.SetStatusText(StatusField::Identification, programmerId);
  ui.SetStatusText(StatusField::ProgrammerKind,
                   isOwnProgrammer ? "  Tovrin Programmer" : "  Atmel Programmer");
  ui.SetStatusText(StatusField::SoftwareVersion, Format("%3.2f", softwareVersion));
  ui.SetStatusText(StatusField::HardwareVersion, Format("%3.2f", hardwareVersion));
}

bool CProgrammer::OpenHexFile(const std::string& path) {
  if (hexFile.Open(path)) {
    UserInterface().SetProgressRange(0, hexFile.FileSize());
    return true;
  }
  // The reader's words replace the preset text whenever it has any.
  if (!hexFile.message.empty()) errorText = hexFile.message;
  return false;
}

bool CProgrammer::NextRecord(bool& failed) {
  failed = false;
  if (hexFile.ReadRecord()) return true;
  if (!hexFile.stopped) {
    errorText = hexFile.message;
    failed = true;
  }
  return false;
}

void CProgrammer::Pace() const { std::this_thread::sleep_for(std::chrono::milliseconds(pacingDelay)); }

bool CProgrammer::DownloadFlash(const std::string& path, const std::string& shortName) {
  errorText = "Problems reading file.";
  interrupted = lostProgrammer = false;
  reachedAddress = -1;
  OpenStatus(Format("Download %s to Flash", shortName.c_str()));
  bool ok = false;
  if (OpenHexFile(path) && !CheckStop()) {
    reachedAddress = hexFile.address & 0xFFFE;
    if (!Command({kSelectDevice, kDeviceCode})) {
      Fail("Failed to specify device type.");
    } else if (!Command({kEnterProgramming})) {
      Fail("Failed to enter programming mode.");
    } else {
      if (!Command({kErase}))
        Fail("Failed to erase memory.");
      else if (!Command({kSetAddress, High(hexFile.address / 2u), Low(hexFile.address / 2u)}))
        Fail(kInvalidReturnCode);
      else
        ok = SendFlashRecords();
      if (ok) UserInterface().SetProgressPosition(hexFile.FileSize());
      // Once in programming mode the programmer is always taken out of it.
      DrainAfterStop();
      LeaveMode({kLeaveProgramming});
      if (!ok) LeaveMode({kSynchronise, kAbandonArgument});
    }
  }
  hexFile.Close();
  UserInterface().CloseStatusWindow();
  return ok;
}

bool CProgrammer::SendFlashRecords() {
  CUserInterface& ui = UserInterface();
  // Records follow each other at consecutive word addresses, whatever their own addresses.
  unsigned wordAddress = hexFile.address / 2u;
  for (;;) {
    ui.SetProgressPosition(hexFile.Position());
    const std::vector<uint8_t>& data = hexFile.data;
    const size_t count = std::min<size_t>(hexFile.count, data.size());
    for (size_t i = 0; i < count; i += 2, wordAddress = (wordAddress + 1) & 0xFFFF) {
      ui.PumpMessages();
      if (CheckStop()) return false;
      reachedAddress = static_cast<int>(wordAddress * 2 & 0xFFFF);
      // An odd last byte is paired with the erased state of Flash.
      const uint8_t high = i + 1 < count ? data[i + 1] : 0xFF;
      if (Command({kWriteFlashWord, high, data[i]})) continue;
      // A vanished programmer verified nothing: no abandon, no verify message.
      if (CheckLost()) return false;
      Command({kSynchronise, kAbandonArgument});
      errorText = Format("ERROR VERIFYING DATA\naddress 0x%04x (0x%04x)", wordAddress, wordAddress * 2);
      ui.SetStatusText(StatusField::StatusLine, errorText);
      return false;
    }
    bool failed = false;
    if (!NextRecord(failed)) return !failed;
  }
}

bool CProgrammer::DownloadSram(const std::string& path, const std::string& shortName) {
  errorText = "Problems reading file.";
  interrupted = lostProgrammer = false;
  reachedAddress = -1;
  pacingDelay = kMinPacingDelayMs;
  OpenStatus(Format("Download %s to SRAM", shortName.c_str()));
  bool ok = false;
  if (OpenHexFile(path) && !CheckStop()) {
    reachedAddress = hexFile.address;
    if (!Command({kSelectDevice, kDeviceCode})) {
      Fail("Failed to specify device type.");
    } else if (!Command({kEnterSramLoader})) {
      Fail("Failed to enter SRAM Loader mode.");
    } else {
      // What the records have written so far, for the filler of one-byte records.
      std::vector<uint8_t> image(0x10000, 0);
      std::vector<bool> written(0x10000, false);
      for (;;) {
        if (!SendSramRecord(image, written)) break;
        bool failed = false;
        if (!NextRecord(failed)) {
          ok = !failed;
          break;
        }
      }
      if (ok) UserInterface().SetProgressPosition(hexFile.FileSize());
    }
  }
  DrainAfterStop();
  LeaveMode({kLeaveSramLoader, static_cast<uint8_t>(ok ? 1 : 0)});
  if (!ok) LeaveMode({kSynchronise, kAbandonArgument});
  hexFile.Close();
  UserInterface().CloseStatusWindow();
  return ok;
}

bool CProgrammer::SendSramRecord(std::vector<uint8_t>& image, std::vector<bool>& written) {
  CUserInterface& ui = UserInterface();
  const unsigned address = hexFile.address;
  reachedAddress = static_cast<int>(address);
  std::vector<uint8_t> block(hexFile.data.begin(),
                             hexFile.data.begin() + std::min<size_t>(hexFile.count, hexFile.data.size()));
  if (block.size() == 1) {
    // The programmer takes blocks of two or more: the second byte keeps what memory should hold.
    const unsigned next = (address + 1) & 0xFFFF;
    block.push_back(written[next] ? image[next] : 0);
  }
  const uint8_t n = static_cast<uint8_t>(block.size());

  for (int attempt = 0; attempt < kSramAttempts; ++attempt) {
    // A block once begun is always finished: the programmer counts its bytes.
    if (CheckStop()) return false;
    if (!Command({kSetAddress, High(address), Low(address)})) {
      if (CheckLost()) return false;
      errorText = kInvalidReturnCode;
      continue;
    }
    ui.SetProgressPosition(hexFile.Position());
    bool sent = Send({kWriteSramBlock, n});
    if (sent) Pace();
    uint8_t sum = 0;
    for (size_t i = 0; sent && i < block.size(); ++i) {
      ui.PumpMessages();
      sent = Send({block[i]});
      sum = static_cast<uint8_t>(sum + block[i]);
      if (sent) Pace();
    }
    // No answer within the budget is a failed attempt, whatever the block's sum.
    uint8_t answer = 0;
    if (sent && port.Read(&answer, 1) && answer == sum) {
      if (pacingDelay > kMinPacingDelayMs) --pacingDelay;
      for (size_t i = 0; i < block.size(); ++i) {
        const unsigned at = (address + i) & 0xFFFF;
        image[at] = block[i];
        written[at] = true;
      }
      return true;
    }
    // A vanished programmer verified nothing: no more attempts, no verify message.
    if (CheckLost()) return false;
    errorText = "Incorrect checksum";
    pacingDelay = std::min(pacingDelay + 5, kMaxPacingDelayMs);
  }
  Command({kSynchronise, kAbandonArgument});
  errorText = Format("ERROR VERIFYING DATA\naddress 0x%04x .. 0x%04x", address, address + n);
  ui.SetStatusText(StatusField::StatusLine, errorText);
  return false;
}
