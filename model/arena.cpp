#include "model/arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Blocks grow to this size and stay there: big enough that a large program takes few of
// them, small enough that the last one wastes little.
constexpr std::size_t kLargestBlock = 1 << 20;

// A block's memory is made present this much at a time: one call instead of a page fault
// for every page, which is most of what filling a fresh page costs.
constexpr std::uintptr_t kPopulateStep = 128 * 1024;
constexpr std::uintptr_t kPage = 4096;

}  // namespace

CArena::~CArena() {
  while (blocks != nullptr) {
    Block* previous = blocks->previous;
    std::free(blocks);
    blocks = previous;
  }
}

void CArena::Populate(std::uintptr_t end) {
  const std::uintptr_t from = limit & ~(kPage - 1);
  const std::uintptr_t to = std::min(blockEnd, ((end + kPage - 1) & ~(kPage - 1)) + kPopulateStep);
#ifdef MADV_POPULATE_WRITE
  // Where the kernel cannot, the pages simply arrive one fault at a time.
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#endif
  limit = to;
}

void* CArena::AllocateSlow(std::size_t size, std::size_t alignment) {
  const std::uintptr_t aligned = (cursor + alignment - 1) & ~(alignment - 1);
  if (blocks != nullptr && aligned + size <= blockEnd) {
    Populate(aligned + size);
    cursor = aligned + size;
    return reinterpret_cast<void*>(aligned);
  }
  std::size_t header = (sizeof(Block) + alignment - 1) & ~(alignment - 1);
  std::size_t blockSize = nextBlockSize;
  // A piece larger than a quarter of a block gets a block of its own, so the current
  // block keeps serving the small ones.
  const bool own = size > blockSize / 4;
  if (own) blockSize = header + size;
  auto* block = static_cast<Block*>(std::malloc(blockSize));
  if (block == nullptr) throw std::bad_alloc();
  block->size = blockSize;
  reserved += blockSize;
  if (own && blocks != nullptr) {
    // Chained behind the current block, which stays current.
    block->previous = blocks->previous;
    blocks->previous = block;
  } else {
    block->previous = blocks;
    blocks = block;
    if (nextBlockSize < kLargestBlock) nextBlockSize *= 2;
  }
  std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block) + header;
  if (own) return reinterpret_cast<void*>(start);
  cursor = start + size;
  blockEnd = reinterpret_cast<std::uintptr_t>(block) + blockSize;
  limit = start;
  Populate(cursor);
  return reinterpret_cast<void*>(start);
}

bool CArena::Owns(const void* object) const {
  const auto at = reinterpret_cast<std::uintptr_t>(object);
  for (const Block* block = blocks; block != nullptr; block = block->previous) {
    const auto first = reinterpret_cast<std::uintptr_t>(block);
    if (at >= first && at < first + block->size) return true;
  }
  return false;
}

void CArena::Reset() {
  if (blocks == nullptr) return;
  Block* older = blocks->previous;
  while (older != nullptr) {
    Block* previous = older->previous;
    std::free(older);
    older = previous;
  }
  blocks->previous = nullptr;
  reserved = blocks->size;
  // The pages up to `limit` stay present: the next objects land in memory already touched.
  cursor = reinterpret_cast<std::uintptr_t>(blocks) + sizeof(Block);
}
