// The check a hex file passes before any port is opened: every record well formed and summed
// right, some data before the end record, and for SRAM every byte where SRAM can take it.
#pragma once

#include <string>

// Where a hex file is going.
enum class HexDestination { Sram, Flash };

// The first address of an SRAM image: below it lie the chip's registers and I/O space.
inline constexpr unsigned kSramImageBase = 0x0060;
// One past the last address a 16-bit record can reach.
inline constexpr unsigned kAddressSpace = 0x10000;

struct HexCheck {
  bool ok = false;
  std::string message;  // why the file is refused: "FILE:LINE: what" (or "FILE: what")
  int records = 0;      // data records before the end record
  int dataBytes = 0;    // bytes those records hold
  int sentBytes = 0;    // bytes an SRAM download sends (a one-byte record goes as two)
  unsigned lowest = 0;  // lowest and one past the highest address written
  unsigned highest = 0;
};

// Reads the whole file as the download would and says whether it may be sent.
HexCheck CheckHexFile(const std::string& path, HexDestination destination);

// About how long an SRAM download of the checked file takes at the given line speed: the
// programmer needs a pause after every byte (10 ms at best), so the bytes, not the baud rate,
// set the pace.
int EstimatedSramMilliseconds(const HexCheck& check, int baud);
