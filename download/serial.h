// The serial port: the byte channel to the device programmer, with short fixed time-outs and a
// ring buffer that collects what the line delivers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "download/port_settings.h"

// Per-call time-outs of the port, in milliseconds.
inline constexpr int kReadCallTimeoutMs = 50;
inline constexpr int kWriteCallTimeoutMs = 50;

class CSerial {
 public:
  // Edits a port's settings in place; false when the user cancels.
  using SettingsEditor = std::function<bool(CPortSettings&)>;

  CSerial() = default;
  virtual ~CSerial();
  CSerial(const CSerial&) = delete;
  CSerial& operator=(const CSerial&) = delete;

  // Allocates an n-byte ring buffer and empties it; false when n is not positive.
  bool SetBufferSize(int n);
  // Sets portName and lets edit change the port's stored settings; saves them unless edit
  // cancels. Works on a closed port: the next Open applies them.
  bool Configure(const std::string& name, const SettingsEditor& edit);
  // Opens portName exclusively with its stored line settings; shows the system error on failure.
  bool Open();
  // Closes the port when open; always true.
  bool Close();
  // Writes n bytes within one write time-out. Failure, including a write the port accepts only
  // in part, shows the system error and returns false.
  bool Write(const uint8_t* bytes, int n);
  // Hands out n bytes once the ring buffer holds them, pumping at most timeout / 100 + 1 times;
  // false (no message) when they do not come. Late bytes stay for the next Read.
  bool Read(uint8_t* dest, int n);
  // Moves what the line has ready into the ring buffer, waiting one read time-out when nothing is
  // there. Past the capacity the oldest unread bytes are dropped.
  void Pump();
  // The system's text for an error code, in a message box without caption.
  void ReportSystemError(int code);

  bool IsOpen() const { return handle >= 0; }
  // True once the line has gone (hang-up, I/O error, unplugged adapter) since the last Open:
  // from then on reads and writes fail at once and show nothing.
  bool Lost() const { return lostError != 0; }
  // Bytes received and not yet handed out.
  int Unread() const;

  int handle = -1;        // the open port; -1 when closed
  std::string portName;   // "COM1" .. "COM4" or a device path
  CPortSettings config;   // line settings last read from the settings
  int bufferSize = 0;     // ring buffer capacity
  std::unique_ptr<uint8_t[]> buffer;
  int readIndex = -1;     // next byte to hand out
  int writeIndex = -1;    // next free slot
  int timeout = 0;        // read time budget in milliseconds
  int openError = 0;      // errno of the last failed Open (0 after a good one)
  // Whether Open shows its failure itself. A caller that names the device and the reason in
  // its own report (from openError) turns it off, so the user reads the reason once.
  bool showOpenFailure = true;
  int lostError = 0;      // errno that showed the line gone; 0 while it works
  std::string settingsError;  // why the last Configure could not store the settings

 private:
  void Store(uint8_t byte);
  // Notes whether a failed call's errno means the device is gone; true when it does.
  bool NoteLost(int error);
};
