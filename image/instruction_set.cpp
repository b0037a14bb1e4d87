#include "image/instruction_set.h"

#include <string>
#include <vector>

#include "platform/format.h"

namespace {

const OpcodeInfo kOpcodes[kOpcodeCount] = {
    {"OP_NOP", OperandShape::None, "NOP\n"},
    {"OP_OPEN", OperandShape::Byte, "OPEN +%02x\n"},
    {"OP_CLOSE", OperandShape::Byte, "CLOSE +%02x\n"},
    {"OP_ASSIGN_BYTE", OperandShape::None, "ASSIGN<byte>\n"},
    {"OP_ASSIGN_INT", OperandShape::None, "ASSIGN<int>\n"},
    {"OP_ASSIGN_ADDRESS", OperandShape::None, "ASSIGN<address>\n"},
    {"OP_ASSIGN_FUNCTION", OperandShape::None, "ASSIGN<function>\n"},
    {"OP_ASSIGN_REAL", OperandShape::None, "ASSIGN<real>\n"},
    {"OP_ASSIGN_FUZZY", OperandShape::None, "ASSIGN<fuzzy>\n"},
    {"OP_PUSH_BYTE", OperandShape::Byte, "PUSH<byte> %02x\n"},
    {"OP_PUSH_INT", OperandShape::Word, "PUSH<int> %d\n"},
    {"OP_PUSH_REAL", OperandShape::Real, "PUSH<real> %02x%02xe%02x\n"},
    {"OP_PUSH_FUZZY", OperandShape::Fuzzy, "PUSH<fuzzy> %02x%02x.%02x@%02x.%02x\n"},
    {"OP_PUSH_BYTE_STACK", OperandShape::StackOffset, "PUSH<byte> stack[0x%x]\n"},
    {"OP_PUSH_INT_STACK", OperandShape::StackOffset, "PUSH<int> stack[0x%x]\n"},
    {"OP_PUSH_ADDRESS_STACK", OperandShape::StackOffset, "PUSH<address> stack[0x%x]\n"},
    {"OP_PUSH_FUNCTION_STACK", OperandShape::StackOffset, "PUSH<function> stack[0x%x]\n"},
    {"OP_PUSH_REAL_STACK", OperandShape::StackOffset, "PUSH<real> stack[0x%x]\n"},
    {"OP_PUSH_FUZZY_STACK", OperandShape::StackOffset, "PUSH<fuzzy> stack[0x%x]\n"},
    {"OP_PUSH_BYTE_GLOBAL", OperandShape::Address, "PUSH<byte> global[0x%x]\n"},
    {"OP_PUSH_INT_GLOBAL", OperandShape::Address, "PUSH<int> global[0x%x]\n"},
    {"OP_PUSH_ADDRESS_GLOBAL", OperandShape::Address, "PUSH<address> global[0x%x]\n"},
    {"OP_PUSH_FUNCTION_GLOBAL", OperandShape::Address, "PUSH<function> global[0x%x]\n"},
    {"OP_PUSH_REAL_GLOBAL", OperandShape::Address, "PUSH<real> global[0x%x]\n"},
    {"OP_PUSH_FUZZY_GLOBAL", OperandShape::Address, "PUSH<fuzzy> global[0x%x]\n"},
    {"OP_ADD_BYTE", OperandShape::None, "ADD<byte>\n"},
    {"OP_ADD_INT", OperandShape::None, "ADD<int>\n"},
    {"OP_ADD_REAL", OperandShape::None, "ADD<real>\n"},
    {"OP_ADD_FUZZY", OperandShape::None, "ADD<fuzzy>\n"},
    {"OP_SUB_BYTE", OperandShape::None, "SUB<byte>\n"},
    {"OP_SUB_INT", OperandShape::None, "SUB<int>\n"},
    {"OP_SUB_REAL", OperandShape::None, "SUB<real>\n"},
    {"OP_SUB_FUZZY", OperandShape::None, "SUB<fuzzy>\n"},
    {"OP_MUL_BYTE", OperandShape::None, "MUL<byte>\n"},
    {"OP_MUL_INT", OperandShape::None, "MUL<int>\n"},
    {"OP_MUL_REAL", OperandShape::None, "MUL<real>\n"},
    {"OP_MUL_FUZZY", OperandShape::None, "MUL<fuzzy>\n"},
    {"OP_DIV_BYTE", OperandShape::None, "DIV<byte>\n"},
    {"OP_DIV_INT", OperandShape::None, "DIV<int>\n"},
    {"OP_DIV_REAL", OperandShape::None, "DIV<real>\n"},
    {"OP_DIV_FUZZY", OperandShape::None, "DIV<fuzzy>\n"},
    {"OP_MOD_BYTE", OperandShape::None, "MOD<byte>\n"},
    {"OP_MOD_INT", OperandShape::None, "MOD<int>\n"},
    {"OP_BITAND_BYTE", OperandShape::None, "BITAND<byte>\n"},
    {"OP_BITAND_INT", OperandShape::None, "BITAND<int>\n"},
    {"OP_BITOR_BYTE", OperandShape::None, "BITOR<byte>\n"},
    {"OP_BITOR_INT", OperandShape::None, "BITOR<int>\n"},
    {"OP_BITXOR_BYTE", OperandShape::None, "BITXOR<byte>\n"},
    {"OP_BITXOR_INT", OperandShape::None, "BITXOR<int>\n"},
    {"OP_AND_BYTE", OperandShape::None, "AND<byte>\n"},
    {"OP_AND_INT", OperandShape::None, "AND<int>\n"},
    {"OP_OR_BYTE", OperandShape::None, "OR<byte>\n"},
    {"OP_OR_INT", OperandShape::None, "OR<int>\n"},
    {"OP_XOR_BYTE", OperandShape::None, "XOR<byte>\n"},
    {"OP_XOR_INT", OperandShape::None, "XOR<int>\n"},
    {"OP_MIN_BYTE", OperandShape::None, "MIN<byte>\n"},
    {"OP_MIN_INT", OperandShape::None, "MIN<int>\n"},
    {"OP_MIN_REAL", OperandShape::None, "MIN<real>\n"},
    {"OP_MIN_FUZZY", OperandShape::None, "MIN<fuzzy>\n"},
    {"OP_MAX_BYTE", OperandShape::None, "MAX<byte>\n"},
    {"OP_MAX_INT", OperandShape::None, "MAX<int>\n"},
    {"OP_MAX_REAL", OperandShape::None, "MAX<real>\n"},
    {"OP_MAX_FUZZY", OperandShape::None, "MAX<fuzzy>\n"},
    {"OP_EQ_BYTE", OperandShape::None, "EQ<byte>\n"},
    {"OP_EQ_INT", OperandShape::None, "EQ<int>\n"},
    {"OP_EQ_REAL", OperandShape::None, "EQ<real>\n"},
    {"OP_EQ_FUZZY", OperandShape::None, "EQ<fuzzy>\n"},
    {"OP_NE_BYTE", OperandShape::None, "NE<byte>\n"},
    {"OP_NE_INT", OperandShape::None, "NE<int>\n"},
    {"OP_NE_REAL", OperandShape::None, "NE<real>\n"},
    {"OP_NE_FUZZY", OperandShape::None, "NE<fuzzy>\n"},
    {"OP_LE_BYTE", OperandShape::None, "LE<byte>\n"},
    {"OP_LE_INT", OperandShape::None, "LE<int>\n"},
    {"OP_LE_REAL", OperandShape::None, "LE<real>\n"},
    {"OP_LE_FUZZY", OperandShape::None, "LE<fuzzy>\n"},
    {"OP_LT_BYTE", OperandShape::None, "LT<byte>\n"},
    {"OP_LT_INT", OperandShape::None, "LT<int>\n"},
    {"OP_LT_REAL", OperandShape::None, "LT<real>\n"},
    {"OP_LT_FUZZY", OperandShape::None, "LT<fuzzy>\n"},
    {"OP_GE_BYTE", OperandShape::None, "GE<byte>\n"},
    {"OP_GE_INT", OperandShape::None, "GE<int>\n"},
    {"OP_GE_REAL", OperandShape::None, "GE<real>\n"},
    {"OP_GE_FUZZY", OperandShape::None, "GE<fuzzy>\n"},
    {"OP_GT_BYTE", OperandShape::None, "GT<byte>\n"},
    {"OP_GT_INT", OperandShape::None, "GT<int>\n"},
    {"OP_GT_REAL", OperandShape::None, "GT<real>\n"},
    {"OP_GT_FUZZY", OperandShape::None, "GT<fuzzy>\n"},
    {"OP_LSHIFT_BYTE", OperandShape::None, "LSHIFT<byte>\n"},
    {"OP_LSHIFT_INT", OperandShape::None, "LSHIFT<int>\n"},
    {"OP_RSHIFT_BYTE", OperandShape::None, "RSHIFT<byte>\n"},
    {"OP_RSHIFT_INT", OperandShape::None, "RSHIFT<int>\n"},
    {"OP_IDX_VAL_BYTE", OperandShape::None, "IDX_VAL<byte>\n"},
    {"OP_IDX_VAL_INT", OperandShape::None, "IDX_VAL<int>\n"},
    {"OP_IDX_VAL_REAL", OperandShape::None, "IDX_VAL<real>\n"},
    {"OP_IDX_VAL_FUZZY", OperandShape::None, "IDX_VAL<fuzzy>\n"},
    {"OP_IDX_ADR_BYTE", OperandShape::None, "IDX_ADR<byte>\n"},
    {"OP_IDX_ADR_INT", OperandShape::None, "IDX_ADR<int>\n"},
    {"OP_IDX_ADR_REAL", OperandShape::None, "IDX_ADR<real>\n"},
    {"OP_IDX_ADR_FUZZY", OperandShape::None, "IDX_ADR<fuzzy>\n"},
    {"OP_IS_RANGE", OperandShape::None, "IS<range>\n"},
    {"OP_IS_RULE", OperandShape::None, "IS<rule>\n"},
    {"OP_NEG_INT", OperandShape::None, "NEG<int>\n"},
    {"OP_NEG_REAL", OperandShape::None, "NEG<real>\n"},
    {"OP_NEG_FUZZY", OperandShape::None, "NEG<fuzzy>\n"},
    {"OP_NOT_BYTE", OperandShape::None, "NOT<byte>\n"},
    {"OP_NOT_INT", OperandShape::None, "NOT<int>\n"},
    {"OP_BITNOT_BYTE", OperandShape::None, "BITNOT<byte>\n"},
    {"OP_BITNOT_INT", OperandShape::None, "BITNOT<int>\n"},
    {"OP_BYTE_TO_INT", OperandShape::None, "<byte>TO<int>\n"},
    {"OP_BYTE_TO_REAL", OperandShape::None, "<byte>TO<real>\n"},
    {"OP_BYTE_TO_FUZZY", OperandShape::None, "<byte>TO<fuzzy>\n"},
    {"OP_INT_TO_BYTE", OperandShape::None, "<int>TO<byte>\n"},
    {"OP_INT_TO_REAL", OperandShape::None, "<int>TO<real>\n"},
    {"OP_INT_TO_FUZZY", OperandShape::None, "<int>TO<fuzzy>\n"},
    {"OP_REAL_TO_BYTE", OperandShape::None, "<real>TO<byte>\n"},
    {"OP_REAL_TO_INT", OperandShape::None, "<real>TO<int>\n"},
    {"OP_REAL_TO_FUZZY", OperandShape::None, "<real>TO<fuzzy>\n"},
    {"OP_FUZZY_TO_BYTE", OperandShape::None, "<fuzzy>TO<byte>\n"},
    {"OP_FUZZY_TO_INT", OperandShape::None, "<fuzzy>TO<int>\n"},
    {"OP_FUZZY_TO_REAL", OperandShape::None, "<fuzzy>TO<real>\n"},
    {"OP_CALL", OperandShape::Address, "CALL %02x\n"},
    {"OP_RETURN", OperandShape::Return, "RETURN: (pop %d) (return data BP-%d)\n"},
    {"OP_RETURN_INTERRUPT", OperandShape::None, "RETURN from INTERRUPT\n"},
    {"OP_GOT_BYTE", OperandShape::None, "GOT BYTE\n"},
    {"OP_GOT_INT", OperandShape::None, "GOT INT\n"},
    {"OP_GOT_REAL", OperandShape::None, "GOT REAL\n"},
    {"OP_GOT_FUZZY", OperandShape::None, "GOT FUZZY \n"},
    {"OP_IF0", OperandShape::Address, "IF0 jump %04x\n"},
    {"OP_IF", OperandShape::ByteAddress, "IF %02x jump %04x\n"},
    {"OP_JUMP", OperandShape::Address, "JUMP %04x\n"},
    {"OP_SET_WEIGHT", OperandShape::None, "SET WEIGHT\n"},
    {"OP_CLEAR", OperandShape::None, "CLEAR\n"},
    {"OP_OUT_CHAR", OperandShape::None, "OUT Char\n"},
    {"OP_OUT_BYTE", OperandShape::None, "OUT Byte\n"},
    {"OP_OUT_INT", OperandShape::None, "OUT Int\n"},
    {"OP_OUT_REAL", OperandShape::None, "OUT Real\n"},
    {"OP_OUT_FUZZY", OperandShape::None, "OUT Fuzzy\n"},
    {"OP_OUT_STRING", OperandShape::String, "OUT String[%d] = \"%s\"\n"},
    {"OP_END", OperandShape::None, "*END*\n"},
};

// An operand byte of the instruction at bytes[0]; 0 past the available bytes.
unsigned OperandByte(const uint8_t* bytes, size_t available, size_t index) {
  size_t at = 2 + index;
  return at < available ? bytes[at] : 0u;
}

// A little-endian operand word, sign-extended to 32 bits as the listing shows it.
int32_t OperandWord(const uint8_t* bytes, size_t available, size_t index) {
  unsigned low = OperandByte(bytes, available, index);
  unsigned high = OperandByte(bytes, available, index + 1);
  return static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low));
}

std::string OperandText(const uint8_t* bytes, size_t available, unsigned length) {
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    unsigned c = OperandByte(bytes, available, i);
    if (c == 0) break;
    text += static_cast<char>(c);
  }
  return text;
}

}  // namespace

const char* const kVectorNames[kVectorCount] = {
    "RESET",        "INT-0",          "INT-1",        "T1 Capture", "T1 Compare A",
    "T1 Compare B", "T1 Overflow",    "T0 Overflow",  "SPI Done",   "UART Rx Done",
    "UART UDR Empty", "UART Tx Done", "Comparator",
};

const OpcodeInfo* FindOpcode(int opcode) {
  if (opcode < 0 || opcode >= kOpcodeCount) return nullptr;
  return &kOpcodes[opcode];
}

int OperandLength(OperandShape shape) {
  switch (shape) {
    case OperandShape::None: return 0;
    case OperandShape::Byte: return 1;
    case OperandShape::Word:
    case OperandShape::Address:
    case OperandShape::StackOffset:
    case OperandShape::Return: return 2;
    case OperandShape::Real:
    case OperandShape::ByteAddress: return 3;
    case OperandShape::Fuzzy: return 5;
    case OperandShape::String: return -1;
  }
  return 0;
}

// The formats hold printf conversions; each shape passes exactly the arguments
// its formats ask for, after the `lead` arguments (the address column) when there are any.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
namespace {

template <typename... Lead>
std::string ListOperands(const char* format, OperandShape shape, const uint8_t* bytes, size_t available,
                         Lead... lead) {
  auto at = [&](size_t index) { return OperandByte(bytes, available, index); };
  switch (shape) {
    case OperandShape::None:
      return Format(format, lead...);
    case OperandShape::Byte:
      return Format(format, lead..., at(0));
    case OperandShape::Word:
      return Format(format, lead..., OperandWord(bytes, available, 0));
    case OperandShape::Address:
    case OperandShape::StackOffset:
      return Format(format, lead..., static_cast<unsigned>(OperandWord(bytes, available, 0)));
    case OperandShape::Real:
      return Format(format, lead..., at(1), at(0), at(2));
    case OperandShape::Fuzzy:
      return Format(format, lead..., at(4), at(3), at(2), at(1), at(0));
    case OperandShape::Return:
      return Format(format, lead..., static_cast<int>(at(0)), 255 - static_cast<int>(at(1)));
    case OperandShape::ByteAddress:
      return Format(format, lead..., at(0), static_cast<unsigned>(OperandWord(bytes, available, 1)));
    case OperandShape::String: {
      unsigned length = available > 1 ? bytes[1] : 0u;
      return Format(format, lead..., static_cast<int>(length), OperandText(bytes, available, length).c_str());
    }
  }
  return std::string();
}

// Each row's listing format behind the address column, so a listed line is one Format.
// A row without operands is listed as its text, never read as a format.
const std::string& AddressedFormat(int opcode) {
  static const std::vector<std::string> formats = [] {
    std::vector<std::string> all;
    all.reserve(kOpcodeCount);
    for (const OpcodeInfo& info : kOpcodes)
      all.push_back(info.shape == OperandShape::None ? std::string("%04x: %s") : std::string("%04x: ") + info.listing);
    return all;
  }();
  return formats[static_cast<size_t>(opcode)];
}

}  // namespace

std::string ListInstruction(const uint8_t* bytes, size_t available) {
  unsigned opcode = available > 0 ? bytes[0] : 0u;
  const OpcodeInfo* info = FindOpcode(static_cast<int>(opcode));
  if (info == nullptr) return Format("??? %02x\n", opcode);
  if (info->shape == OperandShape::None) return Format("%s", info->listing);
  return ListOperands(info->listing, info->shape, bytes, available);
}

std::string ListInstructionAt(int address, const uint8_t* bytes, size_t available) {
  unsigned opcode = available > 0 ? bytes[0] : 0u;
  const OpcodeInfo* info = FindOpcode(static_cast<int>(opcode));
  if (info == nullptr) return Format("%04x: ??? %02x\n", address, opcode);
  const char* format = AddressedFormat(static_cast<int>(opcode)).c_str();
  if (info->shape == OperandShape::None) return Format(format, address, info->listing);
  return ListOperands(format, info->shape, bytes, available, address);
}
#pragma GCC diagnostic pop
