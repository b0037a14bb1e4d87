// How full the chip is: the bytes a build puts in each region, the room its layout gives
// them, and the smallest change of layout that makes a program fit.
#pragma once

#include <optional>
#include <string>

class CTarget;

struct MemoryUse {
  int data = 0;    // global data
  int tables = 0;  // range and rule tables
  int code = 0;    // byte code, the end instruction included
};

// Where code and data go (1 on-chip, else external RAM) and the external RAM in kilobytes.
struct MemoryLayout {
  int codeLocation = 1;
  int dataLocation = 1;
  int externalRamK = 0;
};

// The room each region holds under a layout. When code and data share one region,
// both numbers are that region's room.
struct MemoryRoom {
  int data = 0;
  int code = 0;  // tables and code together
  bool shared = false;
};

// What the image holds now. `finished`: the end instruction has been written.
MemoryUse UseOf(const CTarget& image, bool finished);
MemoryRoom RoomOf(const MemoryLayout& layout);
// How many bytes use passes the room by; 0 when it fits.
int Overflow(const MemoryUse& use, const MemoryRoom& room);

// Builds source in memory with the largest layout (code and data in 64 K of external RAM),
// writing nothing the user keeps: what the program needs wherever it goes. Empty when it does
// not build even there.
std::optional<MemoryUse> MeasureProgram(const std::string& source);

// True for code and data both in the most external RAM there is: no setting gives more room.
bool IsLargestLayout(const MemoryLayout& layout);
// True when a build's message says that memory ran out (data, tables or code).
bool IsLackOfRoom(const std::string& message);

// The smallest change of layout from `layout` that fits use: the same places with more
// external RAM, else code, then data, then both in external RAM. Empty when none does.
std::optional<MemoryLayout> LayoutThatFits(const MemoryUse& use, const MemoryLayout& layout);
