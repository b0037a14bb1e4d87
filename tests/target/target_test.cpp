#include "target/target.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "model/conversion.h"

namespace {

std::vector<int> Bytes(const CTarget& target, int address, int count) {
  std::vector<int> bytes;
  for (int i = 0; i < count; ++i) bytes.push_back(target.GetByte(address - target.base + i));
  return bytes;
}

CTarget& OnChip(CTarget& target, int kb = 0) {
  EXPECT_TRUE(target.Initialize(kb, 1, 1));
  return target;
}

TEST(TargetLayout, RegionsOfEachPlacement) {
  CTarget both;
  OnChip(both);
  EXPECT_EQ(both.base, 0x60);
  EXPECT_EQ(both.end, 607);
  EXPECT_EQ(both.image.size(), 607u - 0x60 + 1);
  EXPECT_EQ(both.AllocateData(0), 0x7e);
  EXPECT_EQ(both.AllocateCode(0), 0x7e);

  CTarget dataExternal;
  ASSERT_TRUE(dataExternal.Initialize(8, 1, 2));
  EXPECT_EQ(dataExternal.end, 8192);
  EXPECT_EQ(dataExternal.AllocateData(2), 0x260);
  EXPECT_EQ(dataExternal.AllocateCode(1), 0x7e);
  EXPECT_EQ(dataExternal.tableStart, 0x7e);

  CTarget codeExternal;
  ASSERT_TRUE(codeExternal.Initialize(1, 0, 1));
  EXPECT_EQ(codeExternal.end, 1024);
  EXPECT_EQ(codeExternal.AllocateData(1), 0x7e);
  EXPECT_EQ(codeExternal.AllocateTable(3), 0x260);
  EXPECT_EQ(codeExternal.AllocateCode(2), 0x263);
  EXPECT_EQ(codeExternal.tableStart, 0x260);
  EXPECT_EQ(codeExternal.codeStart, 0x263);

  // Without external RAM an external region has no room at all, not even "here".
  CTarget none;
  ASSERT_TRUE(none.Initialize(0, 2, 2));
  EXPECT_EQ(none.AllocateData(0), -1);
  EXPECT_EQ(none.AllocateData(1), -1);
  EXPECT_EQ(none.AllocateTable(1), -1);
  EXPECT_EQ(none.AllocateCode(0), -1);
  EXPECT_EQ(none.EmitByte(OP_END), -1);

  CTarget negative;
  ASSERT_TRUE(negative.Initialize(-3, 1, 1));
  EXPECT_EQ(negative.end, 607);
}

TEST(TargetLayout, OnChipLimitIsTheLastAddressBelowEnd) {
  CTarget target;
  OnChip(target);
  // 96 + 30 + 481 = 607: the last allowed allocation ends exactly at `end`.
  EXPECT_EQ(target.AllocateCode(480), 0x7e);
  EXPECT_EQ(target.AllocateCode(2), -1);
  EXPECT_EQ(target.AllocateCode(1), 0x7e + 480);
  EXPECT_EQ(target.AllocateCode(1), -1);
  EXPECT_EQ(target.AllocateCode(0), 607);
  EXPECT_EQ(target.codeCursor, 511);
}

TEST(TargetLayout, SixtyFourKilobytesReachTheTopOfTheAddressSpace) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  EXPECT_EQ(target.end, 0x10000);
  EXPECT_EQ(target.image.size(), 0x10000u - 0x60 + 1);
  int size = 0x10000 - 0x260 - 2;
  EXPECT_EQ(target.AllocateCode(size), 0x260);
  EXPECT_EQ(target.EmitWord(0x8123), 0xfffe);
  EXPECT_EQ(target.EmitByte(1), -1);
  EXPECT_EQ(target.GetWord(0xfffe - 0x60), static_cast<int16_t>(0x8123));
}

TEST(TargetLayout, ExternalRamAboveSixtyFourKilobytesIsRefused) {
  CTarget target;
  EXPECT_FALSE(target.Initialize(65, 2, 2));
  EXPECT_EQ(target.errorText,
            "External RAM of 65 kilobytes is more than the 64 kilobytes the target can address.");
  EXPECT_TRUE(target.image.empty());
  EXPECT_EQ(target.AllocateData(1), -1);
  EXPECT_EQ(target.AllocateCode(0), -1);
  EXPECT_EQ(target.EmitByte(0), -1);
  CTarget huge;
  EXPECT_FALSE(huge.Initialize(INT_MAX, 1, 1));
  // Nothing allocated: the summary still shows sane on-chip numbers.
  EXPECT_EQ(huge.GetMemoryMap(false).programLast, 607);
}

TEST(TargetLayout, UninitialisedTargetRefusesEverything) {
  CTarget target;
  EXPECT_EQ(target.AllocateData(0), -1);
  EXPECT_EQ(target.AllocateTable(0), -1);
  EXPECT_EQ(target.AllocateCode(0), -1);
  target.PatchWord(0x60, 5);
  EXPECT_EQ(target.GetByte(0), 0);
}

TEST(TargetAllocation, WorkedExampleByteThenRange) {
  CTarget target;
  OnChip(target);
  EXPECT_EQ(target.AllocateData(1), 0x7e);
  EXPECT_EQ(target.dataCursor, 31);
  EXPECT_EQ(target.codeCursor, 31);
  EXPECT_EQ(target.AllocateTable(3), 0x7f);
  EXPECT_EQ(target.tableStart, 0x7f);
  EXPECT_EQ(target.EmitInstruction(OP_END), 0x82);
  EXPECT_EQ(target.codeStart, 0x82);
  MemoryMap map = target.GetMemoryMap(true);
  EXPECT_EQ(map.dataFirst, 0x7e);
  EXPECT_EQ(map.dataLast, 0x7e);
  EXPECT_EQ(map.codeFirst, 0x7f);
  EXPECT_EQ(map.codeLast, 0x83);
}

TEST(TargetAllocation, DataNeverOverlapsTablesOrCode) {
  CTarget shared;
  OnChip(shared);
  EXPECT_EQ(shared.AllocateData(2), 0x7e);
  EXPECT_EQ(shared.AllocateTable(3), 0x80);
  EXPECT_EQ(shared.AllocateData(1), -1);
  EXPECT_EQ(shared.dataCursor, 32);
  // An empty request still names the current data address.
  EXPECT_EQ(shared.AllocateData(0), 0x80);

  CTarget afterCode;
  OnChip(afterCode);
  afterCode.EmitByte(OP_NOP);
  EXPECT_EQ(afterCode.AllocateData(1), -1);

  // Split placements: the region below ends where the other region begins.
  CTarget codeLow;
  ASSERT_TRUE(codeLow.Initialize(8, 1, 2));
  EXPECT_EQ(codeLow.AllocateCode(512 - 30), 0x7e);
  EXPECT_EQ(codeLow.AllocateCode(1), -1);
  EXPECT_EQ(codeLow.AllocateData(100), 0x260);

  CTarget dataLow;
  ASSERT_TRUE(dataLow.Initialize(8, 2, 1));
  EXPECT_EQ(dataLow.AllocateData(512 - 30), 0x7e);
  EXPECT_EQ(dataLow.AllocateData(1), -1);
  EXPECT_EQ(dataLow.AllocateTable(3), 0x260);
}

TEST(TargetAllocation, BadSizesAndLateTablesChangeNothing) {
  CTarget target;
  OnChip(target, 8);
  EXPECT_EQ(target.AllocateData(-1), -1);
  EXPECT_EQ(target.AllocateTable(-1), -1);
  EXPECT_EQ(target.AllocateCode(-1), -1);
  EXPECT_EQ(target.AllocateData(INT_MAX), -1);
  EXPECT_EQ(target.AllocateCode(INT_MAX), -1);
  EXPECT_EQ(target.AllocateTable(INT_MAX), -1);
  EXPECT_EQ(target.dataCursor, 30);
  EXPECT_EQ(target.codeCursor, 30);

  // "Here" before any code does not start the code.
  EXPECT_EQ(target.AllocateCode(0), 0x7e);
  EXPECT_EQ(target.codeStart, 0);
  EXPECT_EQ(target.AllocateTable(0), 0x7e);
  EXPECT_EQ(target.tableStart, 0);
  EXPECT_EQ(target.AllocateCode(1), 0x7e);
  EXPECT_EQ(target.tableStart, 0x7e);
  EXPECT_EQ(target.AllocateTable(1), -1);
  EXPECT_EQ(target.codeCursor, 31);
}

TEST(TargetFrames, NestedParseTimeFrames) {
  CTarget target;
  OnChip(target);
  EXPECT_FALSE(target.CloseFrame());
  EXPECT_TRUE(target.OpenFrame());
  EXPECT_EQ(target.AllocateLocal(2), 0);
  EXPECT_EQ(target.AllocateLocal(5), 2);
  EXPECT_TRUE(target.OpenFrame());
  EXPECT_EQ(target.AllocateLocal(1), 0);
  EXPECT_EQ(target.AllocateLocal(0), 1);
  EXPECT_EQ(target.AllocateLocal(-1), -1);
  EXPECT_TRUE(target.CloseFrame());
  EXPECT_EQ(target.AllocateLocal(0), 7);
  EXPECT_TRUE(target.CloseFrame());
  EXPECT_EQ(target.frameSize, 0);
  EXPECT_EQ(target.AllocateLocal(INT_MAX), 0);
  EXPECT_EQ(target.AllocateLocal(1), -1);
}

TEST(TargetEmission, AssignmentOfFiveToAGlobalByte) {
  CTarget target;
  OnChip(target);
  int x = target.AllocateData(1);
  ASSERT_EQ(x, 0x7e);
  int first = target.EmitInstruction(OP_PUSH_ADDRESS_GLOBAL, 2);
  target.EmitWord(x);
  target.EmitInstruction(OP_PUSH_BYTE, 1);
  target.EmitByte(5);
  target.EmitInstruction(OP_ASSIGN_BYTE);
  EXPECT_EQ(first, 0x7f);
  EXPECT_EQ(Bytes(target, first, 9), (std::vector<int>{0x15, 0x02, 0x7e, 0x00, 0x09, 0x01, 0x05, 0x03, 0x00}));
  EXPECT_EQ(target.codeCursor, 31 + 9);
}

TEST(TargetEmission, RealAndFuzzyConstants) {
  struct RealCase {
    float value;
    std::vector<int> bytes;
  } reals[] = {
      {1.0f, {0x00, 0x00, 0x7f}},  {-1.0f, {0x00, 0x80, 0x7f}}, {2.5f, {0x00, 0x20, 0x80}},
      {100.0f, {0x00, 0x48, 0x85}}, {0.0f, {0x00, 0x00, 0x00}}, {-0.5f, {0x00, 0x80, 0x7e}},
  };
  CTarget target;
  OnChip(target);
  for (const RealCase& c : reals) {
    int at = target.EmitReal(c.value);
    EXPECT_EQ(Bytes(target, at, 3), c.bytes) << c.value;
  }
  struct FuzzyCase {
    float value, weight;
    std::vector<int> bytes;
  } fuzzies[] = {
      {10.0f, 1.0f, {0x00, 0x01, 0x00, 0x0a, 0x00}},
      {10.0f, 0.5f, {0x80, 0x00, 0x00, 0x05, 0x00}},
      {-3.0f, 1.0f, {0x00, 0x01, 0x00, 0xfd, 0xff}},
  };
  for (const FuzzyCase& c : fuzzies) {
    int at = target.EmitFuzzy(c.value, c.weight);
    EXPECT_EQ(Bytes(target, at, 5), c.bytes) << c.value << "@" << c.weight;
  }
  EXPECT_EQ(target.codeCursor, 30 + 6 * 3 + 3 * 5);
}

TEST(TargetEmission, FullRegionLeavesTheImageUntouched) {
  CTarget target;
  OnChip(target);
  ASSERT_EQ(target.AllocateCode(479), 0x7e);  // two bytes left
  std::vector<uint8_t> before = target.image;
  EXPECT_EQ(target.EmitReal(1.0f), -1);
  EXPECT_EQ(target.EmitFuzzy(1.0f, 1.0f), -1);
  EXPECT_EQ(target.EmitInstruction(OP_OUT_STRING, 9) >= 0, true);
  EXPECT_EQ(target.EmitInstruction(OP_END), -1);
  EXPECT_EQ(target.EmitByte(0xaa), -1);
  EXPECT_EQ(target.EmitWord(0xbbbb), -1);
  before[static_cast<size_t>(30 + 479)] = OP_OUT_STRING;
  before[static_cast<size_t>(30 + 480)] = 9;
  EXPECT_EQ(target.image, before);
}

TEST(TargetEmission, ForwardJumpPatchedWithTheLaterAddress) {
  CTarget target;
  OnChip(target);
  target.EmitInstruction(OP_IF0, 2);
  int here = target.AllocateCode(0);
  EXPECT_EQ(target.EmitWord(0), here);
  target.EmitInstruction(OP_CLEAR);
  target.PatchWord(here, target.AllocateCode(0));
  EXPECT_EQ(Bytes(target, 0x7e, 6), (std::vector<int>{OP_IF0, 2, 0x84, 0x00, OP_CLEAR, 0}));
}

TEST(TargetEmission, PatchAndReadBackStayInsideTheImage) {
  CTarget target;
  OnChip(target);
  target.PatchByte(-1, 7);
  target.PatchWord(-2, 7);
  target.PatchByte(0x5f, 7);
  target.PatchByte(608, 7);
  target.PatchWord(607, 0x1234);  // only the low byte lies inside
  EXPECT_EQ(target.GetByte(607 - 0x60), 0x34);
  EXPECT_EQ(target.GetByte(-1), 0);
  EXPECT_EQ(target.GetByte(100000), 0);
  EXPECT_EQ(target.GetWord(INT_MAX), 0);
  target.PatchWord(0x70, 0xfffe);
  EXPECT_EQ(target.GetWord(0x10), -2);
  target.PatchWord(0x70, 0x7fff);
  EXPECT_EQ(target.GetWord(0x10), 0x7fff);
}

TEST(TargetFixups, ResolvedNewestFirstWithTheFinalAddresses) {
  CTarget target;
  OnChip(target);
  int first = 0, second = 0;
  target.EmitInstruction(OP_CALL, 2);
  int at1 = target.EmitWord(0);
  target.AddFixup(at1, &first);
  target.EmitInstruction(OP_CALL, 2);
  int at2 = target.EmitWord(0);
  target.AddFixup(at2, &second);
  target.AddFixup(at2 + 2, nullptr);  // never patched
  target.AddFixup(at1, &second);      // older record for the same word: newest wins last
  first = 0x1234;
  second = 0x0456;
  target.ResolveFixups();
  EXPECT_TRUE(target.fixups.empty());
  // Walked from the newest: the record made first is applied last.
  EXPECT_EQ(target.GetWord(at1 - 0x60), 0x1234);
  EXPECT_EQ(target.GetWord(at2 - 0x60), 0x0456);
  EXPECT_EQ(target.GetWord(at2 + 2 - 0x60), 0);
  target.ResolveFixups();
  EXPECT_EQ(target.GetWord(at1 - 0x60), 0x1234);
}

TEST(TargetSummary, SuccessAndFailureTexts) {
  CTarget target;
  OnChip(target, 8);
  target.AllocateData(1);
  target.AllocateTable(3);
  target.EmitInstruction(OP_END);
  EXPECT_EQ(target.SuccessSummary(),
            "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x2000\n"
            "     Data memory:\t0x007e ... 0x007e\n     Code memory:\t0x007f ... 0x0083\n\n"
            "Prepare to Download...\n");
  EXPECT_EQ(target.FailureSummary(),
            "Tovrin: BUILD FAILED\r\n\r\nProgram memory:\t0x0060 ... 0x2000\r\n"
            "   Data memory:\t0x007e ... 0x007e\r\n   Code memory:\t0x007f ... 0x0084\r\n");

  // No data: the data line starts one above its end.
  CTarget empty;
  ASSERT_TRUE(empty.Initialize(0, 1, 2));
  MemoryMap map = empty.GetMemoryMap(false);
  EXPECT_EQ(map.dataFirst, 0x260);
  EXPECT_EQ(map.dataLast, 0x25f);
  EXPECT_EQ(map.codeFirst, 0);
  EXPECT_EQ(map.codeLast, 0x7e);
}

TEST(Conversion, EveryPairOfKinds) {
  const TypeKind kinds[] = {TYPE_BYTE, TYPE_INTEGER, TYPE_ADDRESS, TYPE_REAL, TYPE_FUZZY};
  // Rows: from; columns: to, in the order of `kinds`; -1 for no instruction.
  const int expected[5][5] = {
      {-1, OP_BYTE_TO_INT, -1, OP_BYTE_TO_REAL, OP_BYTE_TO_FUZZY},
      {OP_INT_TO_BYTE, -1, OP_INT_TO_BYTE, OP_INT_TO_REAL, OP_INT_TO_FUZZY},
      {-1, OP_BYTE_TO_INT, -1, OP_BYTE_TO_REAL, OP_BYTE_TO_FUZZY},
      {OP_REAL_TO_BYTE, OP_REAL_TO_INT, OP_REAL_TO_BYTE, -1, OP_REAL_TO_FUZZY},
      {OP_FUZZY_TO_BYTE, OP_FUZZY_TO_INT, OP_FUZZY_TO_BYTE, OP_FUZZY_TO_REAL, -1},
  };
  for (int from = 0; from < 5; ++from) {
    for (int to = 0; to < 5; ++to) {
      CTarget target;
      OnChip(target);
      EXPECT_TRUE(EmitConversion(kinds[from], kinds[to], target));
      if (expected[from][to] < 0) {
        EXPECT_EQ(target.codeCursor, 30) << from << "->" << to;
      } else {
        EXPECT_EQ(Bytes(target, 0x7e, 2), (std::vector<int>{expected[from][to], 0})) << from << "->" << to;
        EXPECT_EQ(target.codeCursor, 32);
      }
    }
  }
}

TEST(Conversion, ReferenceKindsEmitNothingAndFullCodeFails) {
  CTarget target;
  OnChip(target);
  const TypeKind others[] = {TYPE_VOID, TYPE_ID, TYPE_VAR, TYPE_RANGE, TYPE_RULE, TYPE_CALL,
                             static_cast<TypeKind>(42)};
  for (TypeKind other : others) {
    EXPECT_TRUE(EmitConversion(other, TYPE_BYTE, target));
    EXPECT_TRUE(EmitConversion(TYPE_FUZZY, other, target));
  }
  EXPECT_EQ(target.codeCursor, 30);
  ASSERT_GE(target.AllocateCode(480), 0);
  EXPECT_FALSE(EmitConversion(TYPE_BYTE, TYPE_INTEGER, target));
  EXPECT_TRUE(EmitConversion(TYPE_BYTE, TYPE_ADDRESS, target));
}

}  // namespace
