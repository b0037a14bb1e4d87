// The device programmer: identifies a serial in-system programmer and sends hex files through
// it into the chip's Flash or, through its SRAM-loader mode, into the target's SRAM.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "download/serial.h"
#include "target/intellec_file.h"

// Bounds of the SRAM download's pacing delay, in milliseconds.
inline constexpr int kMinPacingDelayMs = 10;
inline constexpr int kMaxPacingDelayMs = 100;

class CProgrammer {
 public:
  CProgrammer() = default;
  virtual ~CProgrammer() = default;
  CProgrammer(const CProgrammer&) = delete;
  CProgrammer& operator=(const CProgrammer&) = delete;

  // Ring buffer of 1024 bytes, a 1000 ms read budget, "No Error".
  void Setup();
  // Opens the port and identifies the programmer; the port stays open either way.
  bool Connect(const std::string& portName);
  // Closes the port; called after every Connect.
  bool Disconnect();
  // Edits the stored settings of a port (see CSerial::Configure).
  bool ConfigurePort(const std::string& portName, const CSerial::SettingsEditor& edit);
  // Writes a hex file into Flash, word by word from the first record's address.
  bool DownloadFlash(const std::string& path, const std::string& shortName);
  // Loads a hex file into SRAM record by record, each verified by the programmer's sum.
  bool DownloadSram(const std::string& path, const std::string& shortName);

  // Asks Connect or a running download to stop at its next safe point (between SRAM blocks or
  // Flash words): it then leaves the programming mode with the protocol's own command, drains
  // and closes the port and fails with errorText "interrupted". Safe from a signal handler and
  // from another thread. The request stays until ClearStop.
  void RequestStop() { stopRequested.store(true, std::memory_order_relaxed); }
  bool StopRequested() const { return stopRequested.load(std::memory_order_relaxed); }
  void ClearStop() { stopRequested.store(false, std::memory_order_relaxed); }
  // True from Connect to Disconnect: a stop requested then ends the transfer cleanly. Safe
  // from a signal handler.
  bool InTransfer() const { return connected.load(std::memory_order_relaxed); }

  CSerial port;
  CIntellecFile hexFile;
  std::string programmerId = "<error>";  // the programmer's 7-character identification
  double softwareVersion = 0;
  double hardwareVersion = 0;
  int isOwnProgrammer = 0;               // 1 when the type query answered "F"
  std::string errorText;                 // the text of the last failure
  int pacingDelay = kMinPacingDelayMs;   // the SRAM download's current delay, milliseconds
  // How the last Connect or download ended when it failed: on RequestStop, or because the
  // programmer vanished (hang-up, I/O error, unplugged); errorText then says which, once.
  bool interrupted = false;
  bool lostProgrammer = false;
  int reachedAddress = -1;  // the SRAM or Flash byte address being sent; -1 before any

 private:
  // Writes the bytes one per call; false at the first failed write.
  bool Send(std::initializer_list<uint8_t> bytes);
  // Sends a command and reads its acknowledgement (0x01); false on a write failure or any other
  // answer. Leaves errorText alone: the caller words the failure.
  bool Command(std::initializer_list<uint8_t> bytes);
  // Sends the command and reads n answer bytes.
  bool Query(uint8_t command, uint8_t* answer, int n);
  // Discards whatever the line still holds from earlier exchanges.
  void Drain();
  uint8_t Synchronise();
  void OpenStatus(const std::string& statusLine);
  bool OpenHexFile(const std::string& path);
  // After a record: true with more to send, false at the end (failed says whether it failed).
  bool NextRecord(bool& failed);
  bool SendFlashRecords();
  bool SendSramRecord(std::vector<uint8_t>& image, std::vector<bool>& written);
  void Pace() const;
  // True (with errorText "interrupted") once a stop was requested.
  bool CheckStop();
  // True (with the one message that names port, device and address) once the line is gone.
  bool CheckLost();
  // errorText = text, unless the line is gone, which says more.
  void Fail(const std::string& text);
  // A closing command (leave a mode, abandon), unless there is nobody left to tell.
  void LeaveMode(std::initializer_list<uint8_t> leave);
  void DrainAfterStop();

  static_assert(std::atomic<bool>::is_always_lock_free, "RequestStop must be async-signal-safe");
  std::atomic<bool> stopRequested{false};
  std::atomic<bool> connected{false};
};
