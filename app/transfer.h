// One transfer of a hex file to the target, as the command line and the window both run it:
// check the file, connect, download or install, disconnect; one failure text at the end.
// Nothing is printed here: progress goes through the user interface, the rest to the caller.
#pragma once

#include <functional>
#include <string>

#include "download/hex_check.h"

class CProgrammer;

enum class TransferKind { Sram, Flash };

struct TransferRequest {
  TransferKind kind = TransferKind::Sram;
  std::string hexPath;
  std::string port;  // "COM1".."COM4" or a device path; the caller has checked it is not empty
};

enum class TransferOutcome {
  Done,            // every byte verified by the programmer
  BadFile,         // the hex file was refused before any port was opened
  Failed,          // the programmer's error text (port, connection, verification)
  Interrupted,     // RequestStop: the programmer was taken out of its mode, the port released
  LostProgrammer,  // the programmer vanished (hang-up, I/O error, unplugged)
};

struct TransferResult {
  TransferOutcome outcome = TransferOutcome::Failed;
  std::string errorText;  // the one failure message ("interrupted" when stopped)
  std::string detail;     // for a port that could not be opened: its device and the system's reason
  HexCheck check;         // what the file holds
};

// Hears about a transfer; every member may be left empty.
struct TransferListener {
  // The file passed its check; the port is opened next.
  std::function<void(const HexCheck&)> onChecked;
};

// Runs one transfer on programmer (set up by the caller). programmer.RequestStop(), from a
// signal handler or another thread, interrupts it; the request is cleared when it returns.
TransferResult RunTransfer(CProgrammer& programmer, const TransferRequest& request,
                           const TransferListener& listener = TransferListener());
