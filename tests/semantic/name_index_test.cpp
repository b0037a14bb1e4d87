#include "semantic/name_index.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/symbol.h"

namespace {

// Shadowing by level, the older chain, and closes that bring the shadowed names back, across
// enough names and owners that the table grows several times and reuses removed cells.
TEST(NameIndex, NewestFirstAndClosedLevelsForgotten) {
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) names.push_back("n" + std::to_string(i % 100));
  std::vector<CSymbol> owners(30);
  std::vector<CSymbol> outer(names.size()), inner(names.size());
  CNameIndex index;
  // Level 1: each (owner, name) once; level 2: the same keys again, shadowing them.
  for (size_t i = 0; i < names.size(); ++i) index.Add(&owners[i / 100], names[i], &outer[i], 1);
  for (int round = 0; round < 3; ++round) {
    for (size_t i = 0; i < names.size(); ++i) index.Add(&owners[i / 100], names[i], &inner[i], 2);
    for (size_t i = 0; i < names.size(); ++i) {
      const CNameIndex::Entry* newest = index.Find(&owners[i / 100], names[i]);
      ASSERT_NE(newest, nullptr);
      EXPECT_EQ(newest->symbol, &inner[i]);
      ASSERT_NE(index.Older(*newest), nullptr);
      EXPECT_EQ(index.Older(*newest)->symbol, &outer[i]);
      EXPECT_EQ(index.Older(*index.Older(*newest)), nullptr);
    }
    index.CloseLevel(2);
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(index.Find(&owners[i / 100], names[i])->symbol, &outer[i]);
  }
  EXPECT_EQ(index.Find(&owners[0], "n100"), nullptr);  // a name this owner never had
  EXPECT_EQ(index.Find(nullptr, "n1"), nullptr);
  index.CloseLevel(1);
  EXPECT_TRUE(index.empty());
  EXPECT_EQ(index.Find(&owners[0], "n0"), nullptr);
  index.Add(nullptr, "n0", &outer[0], 1);
  EXPECT_EQ(index.Find(nullptr, "n0")->symbol, &outer[0]);
}

}  // namespace
