#include "target/instruction_set.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string List(std::vector<uint8_t> bytes) { return ListInstruction(bytes.data(), bytes.size()); }

// The enumerator and its table row must agree: a row out of step with the
// enumeration would list one instruction under another's name.
#define EXPECT_ROW(op, number)                  \
  do {                                          \
    EXPECT_EQ(static_cast<int>(op), number);    \
    ASSERT_NE(FindOpcode(op), nullptr);         \
    EXPECT_STREQ(FindOpcode(op)->name, #op);    \
  } while (0)

TEST(InstructionSet, NumbersAtEveryFamilyBoundary) {
  EXPECT_ROW(OP_NOP, 0);
  EXPECT_ROW(OP_OPEN, 1);
  EXPECT_ROW(OP_CLOSE, 2);
  EXPECT_ROW(OP_ASSIGN_BYTE, 3);
  EXPECT_ROW(OP_ASSIGN_FUZZY, 8);
  EXPECT_ROW(OP_PUSH_BYTE, 9);
  EXPECT_ROW(OP_PUSH_FUZZY, 12);
  EXPECT_ROW(OP_PUSH_BYTE_STACK, 13);
  EXPECT_ROW(OP_PUSH_FUZZY_STACK, 18);
  EXPECT_ROW(OP_PUSH_BYTE_GLOBAL, 19);
  EXPECT_ROW(OP_PUSH_ADDRESS_GLOBAL, 21);
  EXPECT_ROW(OP_PUSH_FUZZY_GLOBAL, 24);
  EXPECT_ROW(OP_ADD_BYTE, 25);
  EXPECT_ROW(OP_SUB_BYTE, 29);
  EXPECT_ROW(OP_MUL_BYTE, 33);
  EXPECT_ROW(OP_DIV_FUZZY, 40);
  EXPECT_ROW(OP_MOD_BYTE, 41);
  EXPECT_ROW(OP_BITAND_BYTE, 43);
  EXPECT_ROW(OP_BITOR_BYTE, 45);
  EXPECT_ROW(OP_BITXOR_BYTE, 47);
  EXPECT_ROW(OP_AND_BYTE, 49);
  EXPECT_ROW(OP_OR_BYTE, 51);
  EXPECT_ROW(OP_XOR_INT, 54);
  EXPECT_ROW(OP_MIN_BYTE, 55);
  EXPECT_ROW(OP_MAX_BYTE, 59);
  EXPECT_ROW(OP_EQ_BYTE, 63);
  EXPECT_ROW(OP_NE_BYTE, 67);
  EXPECT_ROW(OP_LE_BYTE, 71);
  EXPECT_ROW(OP_LT_BYTE, 75);
  EXPECT_ROW(OP_GE_BYTE, 79);
  EXPECT_ROW(OP_GT_FUZZY, 86);
  EXPECT_ROW(OP_LSHIFT_BYTE, 87);
  EXPECT_ROW(OP_RSHIFT_INT, 90);
  EXPECT_ROW(OP_IDX_VAL_BYTE, 91);
  EXPECT_ROW(OP_IDX_ADR_BYTE, 95);
  EXPECT_ROW(OP_IS_RANGE, 99);
  EXPECT_ROW(OP_IS_RULE, 100);
  EXPECT_ROW(OP_NEG_INT, 101);
  EXPECT_ROW(OP_NOT_BYTE, 104);
  EXPECT_ROW(OP_BITNOT_INT, 107);
  EXPECT_ROW(OP_BYTE_TO_INT, 108);
  EXPECT_ROW(OP_INT_TO_BYTE, 111);
  EXPECT_ROW(OP_REAL_TO_BYTE, 114);
  EXPECT_ROW(OP_FUZZY_TO_REAL, 119);
  EXPECT_ROW(OP_CALL, 120);
  EXPECT_ROW(OP_RETURN, 121);
  EXPECT_ROW(OP_RETURN_INTERRUPT, 122);
  EXPECT_ROW(OP_GOT_BYTE, 123);
  EXPECT_ROW(OP_GOT_FUZZY, 126);
  EXPECT_ROW(OP_IF0, 127);
  EXPECT_ROW(OP_IF, 128);
  EXPECT_ROW(OP_JUMP, 129);
  EXPECT_ROW(OP_SET_WEIGHT, 130);
  EXPECT_ROW(OP_CLEAR, 131);
  EXPECT_ROW(OP_OUT_CHAR, 132);
  EXPECT_ROW(OP_OUT_FUZZY, 136);
  EXPECT_ROW(OP_OUT_STRING, 137);
  EXPECT_ROW(OP_END, 138);
  EXPECT_EQ(FindOpcode(139), nullptr);
  EXPECT_EQ(FindOpcode(-1), nullptr);
}

// Every row's name suffix and listing type tag tell the same type, and names are unique.
TEST(InstructionSet, TypeSuffixesMatchListingTags) {
  const std::pair<const char*, const char*> tags[] = {
      {"_BYTE", "<byte>"}, {"_INT", "<int>"},   {"_ADDRESS", "<address>"},
      {"_REAL", "<real>"}, {"_FUZZY", "<fuzzy>"}, {"_FUNCTION", "<function>"}};
  std::set<std::string> names;
  for (int op = 0; op < kOpcodeCount; ++op) {
    const OpcodeInfo* info = FindOpcode(op);
    ASSERT_NE(info, nullptr);
    std::string name = info->name;
    std::string listing = info->listing;
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_EQ(listing.back(), '\n') << name;
    if (name.find("_TO_") != std::string::npos || name.rfind("OP_GOT_", 0) == 0 ||
        name.rfind("OP_OUT_", 0) == 0) {
      continue;
    }
    for (auto [suffix, tag] : tags) {
      std::string base = name;
      if (base.size() > 6 && (base.ends_with("_STACK") || base.ends_with("_GLOBAL"))) {
        base = base.substr(0, base.rfind('_'));
      }
      if (base.ends_with(suffix)) {
        EXPECT_NE(listing.find(tag), std::string::npos) << name;
      }
    }
  }
  EXPECT_EQ(names.size(), 139u);
}

TEST(InstructionSet, OperandLengthsOfEachShape) {
  EXPECT_EQ(OperandLength(FindOpcode(OP_NOP)->shape), 0);
  EXPECT_EQ(OperandLength(FindOpcode(OP_OPEN)->shape), 1);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_BYTE)->shape), 1);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_INT)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_REAL)->shape), 3);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_FUZZY)->shape), 5);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_REAL_STACK)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_PUSH_FUZZY_GLOBAL)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_CALL)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_RETURN)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_IF)->shape), 3);
  EXPECT_EQ(OperandLength(FindOpcode(OP_JUMP)->shape), 2);
  EXPECT_EQ(OperandLength(FindOpcode(OP_OUT_STRING)->shape), -1);
  int withOperands = 0;
  for (int op = 0; op < kOpcodeCount; ++op) {
    if (FindOpcode(op)->shape != OperandShape::None) ++withOperands;
  }
  // OPEN, CLOSE, four PUSH constants, twelve variable reads, CALL, RETURN, IF0, IF, JUMP, OUT String.
  EXPECT_EQ(withOperands, 24);
}

TEST(InstructionSet, ListingTextsWithOperands) {
  EXPECT_EQ(List({OP_NOP, 0}), "NOP\n");
  EXPECT_EQ(List({OP_OPEN, 1, 0xfc}), "OPEN +fc\n");
  EXPECT_EQ(List({OP_CLOSE, 1, 0x04}), "CLOSE +04\n");
  EXPECT_EQ(List({OP_PUSH_BYTE, 1, 0x05}), "PUSH<byte> 05\n");
  EXPECT_EQ(List({OP_PUSH_INT, 2, 0x2c, 0x01}), "PUSH<int> 300\n");
  EXPECT_EQ(List({OP_PUSH_INT, 2, 0xff, 0xff}), "PUSH<int> -1\n");
  EXPECT_EQ(List({OP_PUSH_REAL, 3, 0x00, 0x00, 0x7f}), "PUSH<real> 0000e7f\n");
  EXPECT_EQ(List({OP_PUSH_REAL, 3, 0x00, 0x20, 0x80}), "PUSH<real> 2000e80\n");
  EXPECT_EQ(List({OP_PUSH_FUZZY, 5, 0x80, 0x00, 0x00, 0x05, 0x00}), "PUSH<fuzzy> 0005.00@00.80\n");
  EXPECT_EQ(List({OP_PUSH_INT_STACK, 2, 0xfe, 0xff}), "PUSH<int> stack[0xfffffffe]\n");
  EXPECT_EQ(List({OP_PUSH_BYTE_STACK, 2, 0x03, 0x00}), "PUSH<byte> stack[0x3]\n");
  EXPECT_EQ(List({OP_PUSH_ADDRESS_GLOBAL, 2, 0x7e, 0x00}), "PUSH<address> global[0x7e]\n");
  EXPECT_EQ(List({OP_PUSH_FUNCTION_GLOBAL, 2, 0x00, 0x90}), "PUSH<function> global[0xffff9000]\n");
  EXPECT_EQ(List({OP_CALL, 2, 0x82, 0x00}), "CALL 82\n");
  EXPECT_EQ(List({OP_RETURN, 2, 0x03, 0xfa}), "RETURN: (pop 3) (return data BP-5)\n");
  EXPECT_EQ(List({OP_RETURN_INTERRUPT, 0}), "RETURN from INTERRUPT\n");
  EXPECT_EQ(List({OP_GOT_FUZZY, 0}), "GOT FUZZY \n");
  EXPECT_EQ(List({OP_IF0, 2, 0x9a, 0x00}), "IF0 jump 009a\n");
  EXPECT_EQ(List({OP_IF, 3, 0x01, 0x34, 0x12}), "IF 01 jump 1234\n");
  EXPECT_EQ(List({OP_JUMP, 2, 0x00, 0x80}), "JUMP ffff8000\n");
  EXPECT_EQ(List({OP_BYTE_TO_INT, 0}), "<byte>TO<int>\n");
  EXPECT_EQ(List({OP_IS_RULE, 0}), "IS<rule>\n");
  EXPECT_EQ(List({OP_OUT_CHAR, 0}), "OUT Char\n");
  EXPECT_EQ(List({OP_OUT_STRING, 3, 'h', 'i', 0}), "OUT String[3] = \"hi\"\n");
  EXPECT_EQ(List({OP_OUT_STRING, 4, '5', '%', 's', 0}), "OUT String[4] = \"5%s\"\n");
  EXPECT_EQ(List({OP_END, 0}), "*END*\n");
}

TEST(InstructionSet, ListingNeverReadsPastTheBytesGiven) {
  // Operands beyond the end read as zero; a string without its zero stops at the end.
  EXPECT_EQ(List({OP_PUSH_INT}), "PUSH<int> 0\n");
  EXPECT_EQ(List({OP_IF, 3, 0x07}), "IF 07 jump 0000\n");
  EXPECT_EQ(List({OP_OUT_STRING, 200, 'a', 'b'}), "OUT String[200] = \"ab\"\n");
  EXPECT_EQ(List({OP_OUT_STRING, 2, 'a', 'b', 'c', 0}), "OUT String[2] = \"ab\"\n");
  EXPECT_EQ(ListInstruction(nullptr, 0), "NOP\n");
  EXPECT_EQ(List({0xff, 0}), "??? ff\n");
  EXPECT_EQ(List({139, 0}), "??? 8b\n");
}

TEST(InstructionSet, HeaderAndVectorNames) {
  EXPECT_EQ(kHeaderSize, 30);
  EXPECT_STREQ(kVectorNames[0], "RESET");
  EXPECT_STREQ(kVectorNames[3], "T1 Capture");
  EXPECT_STREQ(kVectorNames[10], "UART UDR Empty");
  EXPECT_STREQ(kVectorNames[12], "Comparator");
}

}  // namespace
