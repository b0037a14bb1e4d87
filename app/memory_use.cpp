#include "app/memory_use.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "frontend/parser.h"
#include "image/target.h"

namespace {

// The largest external RAM an image addresses (its addresses are 16 bits).
constexpr int kLargestExternalK = 64;
// OP_END and its operand-length byte, written after generation.
constexpr int kEndInstruction = 2;

}  // namespace

MemoryUse UseOf(const CTarget& image, bool finished) {
  MemoryUse use;
  use.data = std::max(0, image.dataCursor - image.dataStart);
  const int top = image.base + image.codeCursor;
  if (image.tableStart != 0) use.tables = (image.codeStart != 0 ? image.codeStart : top) - image.tableStart;
  if (image.codeStart != 0) use.code = top - image.codeStart;
  if (!finished) use.code += kEndInstruction;
  return use;
}

MemoryRoom RoomOf(const MemoryLayout& layout) {
  // The regions exactly as the image's allocators bound them.
  CTarget probe;
  probe.Initialize(layout.externalRamK, layout.codeLocation, layout.dataLocation);
  const int top = probe.end - probe.base;
  const int dataStart = probe.dataStart, codeStart = probe.codeCursor;
  auto room = [top](int start, int other) {
    int limit = start < other ? std::min(other, top) : top;
    return std::max(0, limit - start);
  };
  MemoryRoom result;
  result.shared = dataStart == codeStart;
  result.data = room(dataStart, codeStart);
  result.code = room(codeStart, dataStart);
  return result;
}

int Overflow(const MemoryUse& use, const MemoryRoom& room) {
  if (room.shared) return std::max(0, use.data + use.tables + use.code - room.code);
  return std::max(0, use.data - room.data) + std::max(0, use.tables + use.code - room.code);
}

std::optional<MemoryUse> MeasureProgram(const std::string& source) {
  // The trial build keeps its log in a folder of its own, removed afterwards.
  std::string folder = (std::filesystem::temp_directory_path() / "tovrin-measure-XXXXXX").string();
  if (!mkdtemp(folder.data())) return std::nullopt;
  std::error_code ignored;
  const std::filesystem::path start = std::filesystem::current_path(ignored);
  std::optional<MemoryUse> use;
  {
    CParser parser;
    parser.logPath = folder + "/tovrin.log";
    if (parser.Create(kLargestExternalK, 2, 2) && parser.OpenSource(source) && parser.Parse() == 0 &&
        parser.errorCount == 0 && parser.compiler.Generate() != 0)
      use = UseOf(parser.compiler, false);
  }
  // An aborted parse leaves the folder of the last file it opened.
  std::filesystem::current_path(start, ignored);
  std::filesystem::remove_all(folder, ignored);
  return use;
}

bool IsLargestLayout(const MemoryLayout& layout) {
  return layout.codeLocation != 1 && layout.dataLocation != 1 && layout.externalRamK >= kLargestExternalK;
}

bool IsLackOfRoom(const std::string& message) {
  for (const char* says : {"memory left", "Out of code memory", "Code memory full"})
    if (message.find(says) != std::string::npos) return true;
  return false;
}

std::optional<MemoryLayout> LayoutThatFits(const MemoryUse& use, const MemoryLayout& layout) {
  const MemoryLayout tries[] = {
      layout,
      {2, layout.dataLocation, layout.externalRamK},
      {layout.codeLocation, 2, layout.externalRamK},
      {2, 2, layout.externalRamK},
  };
  for (MemoryLayout candidate : tries) {
    for (int k = candidate.externalRamK; k <= kLargestExternalK; ++k) {
      candidate.externalRamK = k;
      if (Overflow(use, RoomOf(candidate)) == 0) return candidate;
    }
  }
  return std::nullopt;
}
