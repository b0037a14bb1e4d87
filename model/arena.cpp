#include "model/arena.h"

#include <cstdlib>

namespace {

// Blocks grow to this size and stay there: big enough that a large program takes few of
// them, small enough that the last one wastes little.
constexpr std::size_t kLargestBlock = 1 << 20;

}  // namespace

CArena::~CArena() {
  while (blocks != nullptr) {
    Block* previous = blocks->previous;
    std::free(blocks);
    blocks = previous;
  }
}

void* CArena::AllocateSlow(std::size_t size, std::size_t alignment) {
  std::size_t header = (sizeof(Block) + alignment - 1) & ~(alignment - 1);
  std::size_t blockSize = nextBlockSize;
  // A piece larger than a quarter of a block gets a block of its own, so the current
  // block keeps serving the small ones.
  const bool own = size > blockSize / 4;
  if (own) blockSize = header + size;
  auto* block = static_cast<Block*>(std::malloc(blockSize));
  if (block == nullptr) throw std::bad_alloc();
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
  limit = reinterpret_cast<std::uintptr_t>(block) + blockSize;
  return reinterpret_cast<void*>(start);
}
