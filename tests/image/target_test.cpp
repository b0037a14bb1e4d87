#include "image/target.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "codegen/conversion.h"

namespace {

std::vector<int> Bytes(const CTarget& target, int address, int count) {
  std::vector<int> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(target.GetByte(address - target.base + i));
  return bytes;
}

TEST(TargetLayout, RegionsAndLimitsOfEachPlacement) {
  CTarget onChip;
  ASSERT_TRUE(onChip.Initialize(0, 1, 1));
  EXPECT_EQ(onChip.end, 607);
  EXPECT_EQ(onChip.AllocateCode(480), 0x7e);
  EXPECT_EQ(onChip.AllocateCode(2), -1);         // would end past 607
  EXPECT_EQ(onChip.AllocateCode(1), 0x7e + 480);  // ends exactly at 607
  EXPECT_EQ(onChip.AllocateCode(0), 607);

  CTarget dataExternal;
  ASSERT_TRUE(dataExternal.Initialize(8, 1, 2));
  EXPECT_EQ(dataExternal.end, 8192);
  EXPECT_EQ(dataExternal.AllocateData(2), 0x260);
  EXPECT_EQ(dataExternal.AllocateCode(1), 0x7e);

  CTarget codeExternal;
  ASSERT_TRUE(codeExternal.Initialize(1, 0, 1));
  EXPECT_EQ(codeExternal.AllocateData(1), 0x7e);
  EXPECT_EQ(codeExternal.AllocateTable(3), 0x260);
  EXPECT_EQ(codeExternal.AllocateCode(2), 0x263);
  EXPECT_EQ(codeExternal.tableStart, 0x260);
  EXPECT_EQ(codeExternal.codeStart, 0x263);

  // K = 0: an external region has no room at all, not even "here".
  CTarget none;
  ASSERT_TRUE(none.Initialize(0, 2, 2));
  EXPECT_EQ(none.AllocateData(0), -1);
  EXPECT_EQ(none.AllocateTable(1), -1);
  EXPECT_EQ(none.AllocateCode(0), -1);

  // K = 64: the whole 16-bit address space, the last word at 0xfffe.
  CTarget top;
  ASSERT_TRUE(top.Initialize(64, 2, 2));
  EXPECT_EQ(top.end, 0x10000);
  EXPECT_EQ(top.AllocateCode(0x10000 - 0x260 - 2), 0x260);
  EXPECT_EQ(top.EmitWord(0x8123), 0xfffe);
  EXPECT_EQ(top.EmitByte(1), -1);
  EXPECT_EQ(top.GetWord(0xfffe - 0x60), static_cast<int16_t>(0x8123));
}

TEST(TargetLayout, ExternalRamAboveSixtyFourKilobytesIsRefused) {
  CTarget target;
  EXPECT_FALSE(target.Initialize(65, 2, 2));
  EXPECT_EQ(target.errorText, "External RAM of 65 kilobytes is more than the 64 kilobytes the target can address.");
  EXPECT_TRUE(target.image.empty());
  EXPECT_EQ(target.AllocateData(1), -1);
  EXPECT_EQ(target.EmitByte(0), -1);
  CTarget huge;
  EXPECT_FALSE(huge.Initialize(INT_MAX, 1, 1));
  EXPECT_EQ(huge.GetMemoryMap(false).programLast, 607);
}

TEST(TargetAllocation, WorkedExampleByteThenRange) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  EXPECT_EQ(target.AllocateData(1), 0x7e);
  EXPECT_EQ(target.codeCursor, 31);
  EXPECT_EQ(target.AllocateTable(3), 0x7f);
  EXPECT_EQ(target.EmitInstruction(OP_END), 0x82);
  EXPECT_EQ(target.tableStart, 0x7f);
  EXPECT_EQ(target.codeStart, 0x82);
  EXPECT_EQ(target.SuccessSummary(),
            "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x2000\n"
            "     Data memory:\t0x007e ... 0x007e\n     Code memory:\t0x007f ... 0x0083\n\n"
            "Prepare to Download...\n");
  EXPECT_EQ(target.FailureSummary(),
            "Tovrin: BUILD FAILED\r\n\r\nProgram memory:\t0x0060 ... 0x2000\r\n"
            "   Data memory:\t0x007e ... 0x007e\r\n   Code memory:\t0x007f ... 0x0084\r\n");
}

TEST(TargetAllocation, DataNeverOverlapsTablesOrCode) {
  CTarget shared;
  ASSERT_TRUE(shared.Initialize(0, 1, 1));
  EXPECT_EQ(shared.AllocateData(2), 0x7e);
  EXPECT_EQ(shared.AllocateTable(3), 0x80);
  EXPECT_EQ(shared.AllocateData(1), -1);
  EXPECT_EQ(shared.AllocateData(0), 0x80);  // an empty request still names the data address

  // Split placements: the lower region ends where the other begins.
  CTarget codeLow;
  ASSERT_TRUE(codeLow.Initialize(8, 1, 2));
  EXPECT_EQ(codeLow.AllocateCode(512 - 30), 0x7e);
  EXPECT_EQ(codeLow.AllocateCode(1), -1);
  CTarget dataLow;
  ASSERT_TRUE(dataLow.Initialize(8, 2, 1));
  EXPECT_EQ(dataLow.AllocateData(512 - 30), 0x7e);
  EXPECT_EQ(dataLow.AllocateData(1), -1);
}

TEST(TargetAllocation, BadRequestsChangeNothing) {
  CTarget target;
  EXPECT_EQ(target.AllocateCode(0), -1);  // before Initialize
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  for (int size : {-1, INT_MAX}) {
    EXPECT_EQ(target.AllocateData(size), -1);
    EXPECT_EQ(target.AllocateTable(size), -1);
    EXPECT_EQ(target.AllocateCode(size), -1);
  }
  EXPECT_EQ(target.AllocateCode(0), 0x7e);  // "here" does not start the code
  EXPECT_EQ(target.codeStart, 0);
  EXPECT_EQ(target.AllocateCode(1), 0x7e);
  EXPECT_EQ(target.AllocateTable(1), -1);  // no table after the first code byte
  EXPECT_EQ(target.dataCursor, 30);
  EXPECT_EQ(target.codeCursor, 31);
}

TEST(TargetFrames, NestedParseTimeFrames) {
  CTarget target;
  EXPECT_FALSE(target.CloseFrame());
  EXPECT_TRUE(target.OpenFrame());
  EXPECT_EQ(target.AllocateLocal(2), 0);
  EXPECT_EQ(target.AllocateLocal(5), 2);
  EXPECT_TRUE(target.OpenFrame());
  EXPECT_EQ(target.AllocateLocal(1), 0);
  EXPECT_EQ(target.AllocateLocal(-1), -1);
  EXPECT_TRUE(target.CloseFrame());
  EXPECT_EQ(target.AllocateLocal(0), 7);
  EXPECT_EQ(target.AllocateLocal(INT_MAX), -1);
}

TEST(TargetEmission, GoldenBytes) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  int x = target.AllocateData(1);
  int first = target.EmitInstruction(OP_PUSH_ADDRESS_GLOBAL, 2);
  target.EmitWord(x);
  target.EmitInstruction(OP_PUSH_BYTE, 1);
  target.EmitByte(5);
  target.EmitInstruction(OP_ASSIGN_BYTE);
  EXPECT_EQ(Bytes(target, first, 9), (std::vector<int>{0x15, 0x02, 0x7e, 0x00, 0x09, 0x01, 0x05, 0x03, 0x00}));

  const std::pair<float, std::vector<int>> reals[] = {
      {1.0f, {0x00, 0x00, 0x7f}},   {-1.0f, {0x00, 0x80, 0x7f}}, {2.5f, {0x00, 0x20, 0x80}},
      {100.0f, {0x00, 0x48, 0x85}}, {0.0f, {0x00, 0x00, 0x00}},  {-0.5f, {0x00, 0x80, 0x7e}}};
  for (const auto& [value, bytes] : reals) EXPECT_EQ(Bytes(target, target.EmitReal(value), 3), bytes) << value;
  EXPECT_EQ(Bytes(target, target.EmitFuzzy(10.0f, 1.0f), 5), (std::vector<int>{0x00, 0x01, 0x00, 0x0a, 0x00}));
  EXPECT_EQ(Bytes(target, target.EmitFuzzy(10.0f, 0.5f), 5), (std::vector<int>{0x80, 0x00, 0x00, 0x05, 0x00}));
  EXPECT_EQ(Bytes(target, target.EmitFuzzy(-3.0f, 1.0f), 5), (std::vector<int>{0x00, 0x01, 0x00, 0xfd, 0xff}));

  // A forward jump: placeholder at "here", patched with the later address.
  int jump = target.EmitInstruction(OP_IF0, 2);
  int here = target.AllocateCode(0);
  target.EmitWord(0);
  target.PatchWord(here, target.AllocateCode(0));
  EXPECT_EQ(Bytes(target, jump, 4), (std::vector<int>{OP_IF0, 2, (jump + 4) & 0xff, 0}));
}

TEST(TargetEmission, FullRegionLeavesTheImageUntouched) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  ASSERT_EQ(target.AllocateCode(480), 0x7e);  // one byte left
  std::vector<uint8_t> before = target.image;
  EXPECT_EQ(target.EmitReal(1.0f), -1);
  EXPECT_EQ(target.EmitFuzzy(1.0f, 1.0f), -1);
  EXPECT_EQ(target.EmitWord(0xbbbb), -1);
  EXPECT_EQ(target.EmitInstruction(OP_END), -1);  // never half an instruction
  EXPECT_EQ(target.image, before);
  target.PatchByte(-1, 7);
  target.PatchByte(608, 7);
  target.PatchWord(607, 0x1234);  // only the low byte lies inside
  before.back() = 0x34;
  EXPECT_EQ(target.image, before);
  EXPECT_EQ(target.GetWord(INT_MAX), 0);
}

TEST(TargetFixups, ResolvedNewestFirst) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  int first = 0, second = 0;
  int at1 = target.AllocateCode(2), at2 = target.AllocateCode(2), at3 = target.AllocateCode(2);
  target.AddFixup(at1, &first);
  target.AddFixup(at2, &second);
  target.AddFixup(at3, nullptr);
  target.AddFixup(at1, &second);  // newer record for the same word: the older one lands last
  first = 0x1234;
  second = -2;
  target.ResolveFixups();
  EXPECT_TRUE(target.fixups.empty());
  EXPECT_EQ(target.GetWord(at1 - 0x60), 0x1234);
  EXPECT_EQ(target.GetWord(at2 - 0x60), -2);
  EXPECT_EQ(target.GetWord(at3 - 0x60), 0);
  target.ResolveFixups();
}

TEST(Conversion, EveryPairOfKinds) {
  const TypeKind kinds[] = {TYPE_BYTE, TYPE_INTEGER, TYPE_ADDRESS, TYPE_REAL, TYPE_FUZZY, TYPE_RANGE, TYPE_CALL};
  // Rows from, columns to, in the order of `kinds`; -1: nothing emitted.
  const int expected[7][7] = {
      {-1, OP_BYTE_TO_INT, -1, OP_BYTE_TO_REAL, OP_BYTE_TO_FUZZY, -1, -1},
      {OP_INT_TO_BYTE, -1, OP_INT_TO_BYTE, OP_INT_TO_REAL, OP_INT_TO_FUZZY, -1, -1},
      {-1, OP_BYTE_TO_INT, -1, OP_BYTE_TO_REAL, OP_BYTE_TO_FUZZY, -1, -1},
      {OP_REAL_TO_BYTE, OP_REAL_TO_INT, OP_REAL_TO_BYTE, -1, OP_REAL_TO_FUZZY, -1, -1},
      {OP_FUZZY_TO_BYTE, OP_FUZZY_TO_INT, OP_FUZZY_TO_BYTE, OP_FUZZY_TO_REAL, -1, -1, -1},
      {-1, -1, -1, -1, -1, -1, -1},
      {-1, -1, -1, -1, -1, -1, -1},
  };
  for (int from = 0; from < 7; ++from) {
    for (int to = 0; to < 7; ++to) {
      CTarget target;
      ASSERT_TRUE(target.Initialize(0, 1, 1));
      EXPECT_TRUE(EmitConversion(kinds[from], kinds[to], target));
      std::vector<int> bytes;
      if (expected[from][to] >= 0) bytes = {expected[from][to], 0};
      EXPECT_EQ(Bytes(target, 0x7e, target.codeCursor - 30), bytes) << from << "->" << to;
    }
  }
  CTarget full;
  ASSERT_TRUE(full.Initialize(0, 1, 1));
  full.AllocateCode(480);
  EXPECT_FALSE(EmitConversion(TYPE_BYTE, TYPE_INTEGER, full));
}

}  // namespace
