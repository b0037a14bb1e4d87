#include "image/instruction_set.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/format.h"

namespace {

std::string List(std::vector<uint8_t> bytes) { return ListInstruction(bytes.data(), bytes.size()); }

// The enumeration and the table rows are kept apart; a row out of step would list
// one instruction under another's name.
TEST(InstructionSet, EnumerationAndTableAgreeAtFamilyBoundaries) {
#define ROW(op, number) {op, number, #op}
  struct Row {
    Opcode op;
    int number;
    const char* name;
  } rows[] = {ROW(OP_NOP, 0), ROW(OP_ASSIGN_BYTE, 3), ROW(OP_PUSH_BYTE, 9), ROW(OP_PUSH_BYTE_STACK, 13),
              ROW(OP_PUSH_ADDRESS_GLOBAL, 21), ROW(OP_ADD_BYTE, 25), ROW(OP_DIV_FUZZY, 40),
              ROW(OP_MOD_BYTE, 41), ROW(OP_XOR_INT, 54), ROW(OP_MIN_BYTE, 55), ROW(OP_GT_FUZZY, 86),
              ROW(OP_RSHIFT_INT, 90), ROW(OP_IDX_ADR_BYTE, 95), ROW(OP_IS_RULE, 100), ROW(OP_NEG_INT, 101),
              ROW(OP_BITNOT_INT, 107), ROW(OP_BYTE_TO_INT, 108), ROW(OP_FUZZY_TO_REAL, 119),
              ROW(OP_CALL, 120), ROW(OP_GOT_FUZZY, 126), ROW(OP_IF0, 127), ROW(OP_JUMP, 129),
              ROW(OP_OUT_CHAR, 132), ROW(OP_OUT_STRING, 137), ROW(OP_END, 138)};
#undef ROW
  for (const Row& row : rows) {
    EXPECT_EQ(static_cast<int>(row.op), row.number) << row.name;
    EXPECT_STREQ(FindOpcode(row.op)->name, row.name);
  }
  EXPECT_EQ(FindOpcode(kOpcodeCount), nullptr);
  EXPECT_EQ(FindOpcode(-1), nullptr);
}

// Every row's name suffix and listing tag tell the same type; names are unique.
TEST(InstructionSet, TypeSuffixesMatchListingTags) {
  const std::pair<const char*, const char*> tags[] = {
      {"_BYTE", "<byte>"}, {"_INT", "<int>"},     {"_ADDRESS", "<address>"},
      {"_REAL", "<real>"}, {"_FUZZY", "<fuzzy>"}, {"_FUNCTION", "<function>"}};
  std::set<std::string> names;
  for (int op = 0; op < kOpcodeCount; ++op) {
    std::string name = FindOpcode(op)->name;
    std::string listing = FindOpcode(op)->listing;
    EXPECT_TRUE(names.insert(name).second) << name;
    if (name.find("_TO_") != std::string::npos || name.starts_with("OP_GOT_") || name.starts_with("OP_OUT_")) {
      continue;
    }
    if (name.ends_with("_STACK") || name.ends_with("_GLOBAL")) name = name.substr(0, name.rfind('_'));
    for (auto [suffix, tag] : tags) {
      if (name.ends_with(suffix)) {
        EXPECT_NE(listing.find(tag), std::string::npos) << name;
      }
    }
  }
}

TEST(InstructionSet, ListingTextsWithOperands) {
  EXPECT_EQ(List({OP_OPEN, 1, 0xfc}), "OPEN +fc\n");
  EXPECT_EQ(List({OP_CLOSE, 1, 0x04}), "CLOSE +04\n");
  EXPECT_EQ(List({OP_PUSH_BYTE, 1, 0x05}), "PUSH<byte> 05\n");
  EXPECT_EQ(List({OP_PUSH_INT, 2, 0xff, 0xff}), "PUSH<int> -1\n");
  EXPECT_EQ(List({OP_PUSH_REAL, 3, 0x00, 0x20, 0x80}), "PUSH<real> 2000e80\n");
  EXPECT_EQ(List({OP_PUSH_FUZZY, 5, 0x80, 0x00, 0x00, 0x05, 0x00}), "PUSH<fuzzy> 0005.00@00.80\n");
  EXPECT_EQ(List({OP_PUSH_INT_STACK, 2, 0xfe, 0xff}), "PUSH<int> stack[0xfffffffe]\n");
  EXPECT_EQ(List({OP_PUSH_ADDRESS_GLOBAL, 2, 0x7e, 0x00}), "PUSH<address> global[0x7e]\n");
  EXPECT_EQ(List({OP_CALL, 2, 0x82, 0x00}), "CALL 82\n");
  EXPECT_EQ(List({OP_RETURN, 2, 0x03, 0xfa}), "RETURN: (pop 3) (return data BP-5)\n");
  EXPECT_EQ(List({OP_GOT_FUZZY, 0}), "GOT FUZZY \n");
  EXPECT_EQ(List({OP_IF, 3, 0x01, 0x34, 0x12}), "IF 01 jump 1234\n");
  EXPECT_EQ(List({OP_JUMP, 2, 0x00, 0x80}), "JUMP ffff8000\n");
  EXPECT_EQ(List({OP_BYTE_TO_INT, 0}), "<byte>TO<int>\n");
  EXPECT_EQ(List({OP_OUT_STRING, 4, '5', '%', 's', 0}), "OUT String[4] = \"5%s\"\n");
  EXPECT_EQ(List({OP_END, 0}), "*END*\n");
}

TEST(InstructionSet, ListingNeverReadsPastTheBytesGiven) {
  EXPECT_EQ(List({OP_PUSH_INT}), "PUSH<int> 0\n");
  EXPECT_EQ(List({OP_IF, 3, 0x07}), "IF 07 jump 0000\n");
  EXPECT_EQ(List({OP_OUT_STRING, 200, 'a', 'b'}), "OUT String[200] = \"ab\"\n");
  EXPECT_EQ(List({OP_OUT_STRING, 2, 'a', 'b', 'c', 0}), "OUT String[2] = \"ab\"\n");
  EXPECT_EQ(ListInstruction(nullptr, 0), "NOP\n");
  EXPECT_EQ(List({139, 0}), "??? 8b\n");
}

}  // namespace

namespace {

// A listed line is its address column and the instruction's text, for every opcode (with and
// without operands, a text with a percent sign, bytes cut short) and for a byte that is none.
TEST(InstructionSet, AddressedLinesAreTheAddressColumnAndTheInstruction) {
  for (int opcode = 0; opcode <= 255; ++opcode) {
    std::vector<uint8_t> bytes{static_cast<uint8_t>(opcode), 5, '%', 'd', 0x80, 0xff, 0x01, 0};
    for (size_t available : {bytes.size(), size_t{3}, size_t{1}}) {
      for (int address : {0, 0x60, 0xbeef, 0x12345}) {
        EXPECT_EQ(ListInstructionAt(address, bytes.data(), available),
                  Format("%04x: ", address) + ListInstruction(bytes.data(), available))
            << opcode << " " << available << " " << address;
      }
    }
  }
}

}  // namespace
