#include "semantic/recycling_resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory_resource>
#include <string>
#include <unordered_map>

namespace {

// Given-back room serves the next request of its size class only; large or over-aligned
// pieces are never recycled; every piece is aligned as asked.
TEST(RecyclingResource, ReusesRoomBySizeOnly) {
  CRecyclingResource memory;
  void* small = memory.allocate(24, 8);
  void* other = memory.allocate(100, 8);
  memory.deallocate(small, 24, 8);
  EXPECT_NE(memory.allocate(100, 8), small);  // another size class
  EXPECT_EQ(memory.allocate(20, 8), small);   // same class: 17..32 bytes
  EXPECT_NE(memory.allocate(24, 8), small);   // taken again already
  memory.deallocate(other, 100, 8);
  EXPECT_EQ(memory.allocate(100, 8), other);

  void* large = memory.allocate(4096, 8);
  memory.deallocate(large, 4096, 8);
  EXPECT_NE(memory.allocate(4096, 8), large);
  for (std::size_t alignment : {1u, 2u, 8u, 16u, 64u}) {
    void* piece = memory.allocate(40, alignment);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece) % alignment, 0u) << alignment;
  }
}

// A hash map whose entries come and go keeps exactly what an ordinary map keeps.
TEST(RecyclingResource, BacksAMapThroughInsertsAndErases) {
  CRecyclingResource memory;
  std::pmr::unordered_map<int, std::pmr::string> map{&memory};
  std::map<int, std::string> expected;
  for (int round = 0; round < 2000; ++round) {
    const int key = (round * 7919) % 613;
    if (round % 3 == 2) {
      map.erase(key);
      expected.erase(key);
    } else {
      const std::string text(static_cast<std::size_t>(round % 90), static_cast<char>('a' + round % 26));
      map[key] = std::pmr::string(text, &memory);
      expected[key] = text;
    }
  }
  ASSERT_EQ(map.size(), expected.size());
  for (const auto& [key, text] : expected) EXPECT_EQ(std::string(map.at(key)), text) << key;
}

}  // namespace
