// The byte-code instruction set: opcode numbers, operand shapes, listing texts and the image header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Opcode numbers. The interpreter on the chip decodes these values: the order is a
// contract. Families run byte, int, real, fuzzy (or byte, int; or byte, int, address,
// function, real, fuzzy for assignment and variable reads).
enum Opcode : uint8_t {
  OP_NOP = 0,
  OP_OPEN = 1,
  OP_CLOSE = 2,
  OP_ASSIGN_BYTE = 3,
  OP_ASSIGN_INT = 4,
  OP_ASSIGN_ADDRESS = 5,
  OP_ASSIGN_FUNCTION = 6,
  OP_ASSIGN_REAL = 7,
  OP_ASSIGN_FUZZY = 8,
  OP_PUSH_BYTE = 9,
  OP_PUSH_INT = 10,
  OP_PUSH_REAL = 11,
  OP_PUSH_FUZZY = 12,
  OP_PUSH_BYTE_STACK = 13,
  OP_PUSH_INT_STACK = 14,
  OP_PUSH_ADDRESS_STACK = 15,
  OP_PUSH_FUNCTION_STACK = 16,
  OP_PUSH_REAL_STACK = 17,
  OP_PUSH_FUZZY_STACK = 18,
  OP_PUSH_BYTE_GLOBAL = 19,
  OP_PUSH_INT_GLOBAL = 20,
  OP_PUSH_ADDRESS_GLOBAL = 21,
  OP_PUSH_FUNCTION_GLOBAL = 22,
  OP_PUSH_REAL_GLOBAL = 23,
  OP_PUSH_FUZZY_GLOBAL = 24,
  OP_ADD_BYTE = 25,
  OP_ADD_INT = 26,
  OP_ADD_REAL = 27,
  OP_ADD_FUZZY = 28,
  OP_SUB_BYTE = 29,
  OP_SUB_INT = 30,
  OP_SUB_REAL = 31,
  OP_SUB_FUZZY = 32,
  OP_MUL_BYTE = 33,
  OP_MUL_INT = 34,
  OP_MUL_REAL = 35,
  OP_MUL_FUZZY = 36,
  OP_DIV_BYTE = 37,
  OP_DIV_INT = 38,
  OP_DIV_REAL = 39,
  OP_DIV_FUZZY = 40,
  OP_MOD_BYTE = 41,
  OP_MOD_INT = 42,
  OP_BITAND_BYTE = 43,
  OP_BITAND_INT = 44,
  OP_BITOR_BYTE = 45,
  OP_BITOR_INT = 46,
  OP_BITXOR_BYTE = 47,
  OP_BITXOR_INT = 48,
  OP_AND_BYTE = 49,
  OP_AND_INT = 50,
  OP_OR_BYTE = 51,
  OP_OR_INT = 52,
  OP_XOR_BYTE = 53,
  OP_XOR_INT = 54,
  OP_MIN_BYTE = 55,
  OP_MIN_INT = 56,
  OP_MIN_REAL = 57,
  OP_MIN_FUZZY = 58,
  OP_MAX_BYTE = 59,
  OP_MAX_INT = 60,
  OP_MAX_REAL = 61,
  OP_MAX_FUZZY = 62,
  OP_EQ_BYTE = 63,
  OP_EQ_INT = 64,
  OP_EQ_REAL = 65,
  OP_EQ_FUZZY = 66,
  OP_NE_BYTE = 67,
  OP_NE_INT = 68,
  OP_NE_REAL = 69,
  OP_NE_FUZZY = 70,
  OP_LE_BYTE = 71,
  OP_LE_INT = 72,
  OP_LE_REAL = 73,
  OP_LE_FUZZY = 74,
  OP_LT_BYTE = 75,
  OP_LT_INT = 76,
  OP_LT_REAL = 77,
  OP_LT_FUZZY = 78,
  OP_GE_BYTE = 79,
  OP_GE_INT = 80,
  OP_GE_REAL = 81,
  OP_GE_FUZZY = 82,
  OP_GT_BYTE = 83,
  OP_GT_INT = 84,
  OP_GT_REAL = 85,
  OP_GT_FUZZY = 86,
  OP_LSHIFT_BYTE = 87,
  OP_LSHIFT_INT = 88,
  OP_RSHIFT_BYTE = 89,
  OP_RSHIFT_INT = 90,
  OP_IDX_VAL_BYTE = 91,
  OP_IDX_VAL_INT = 92,
  OP_IDX_VAL_REAL = 93,
  OP_IDX_VAL_FUZZY = 94,
  OP_IDX_ADR_BYTE = 95,
  OP_IDX_ADR_INT = 96,
  OP_IDX_ADR_REAL = 97,
  OP_IDX_ADR_FUZZY = 98,
  OP_IS_RANGE = 99,
  OP_IS_RULE = 100,
  OP_NEG_INT = 101,
  OP_NEG_REAL = 102,
  OP_NEG_FUZZY = 103,
  OP_NOT_BYTE = 104,
  OP_NOT_INT = 105,
  OP_BITNOT_BYTE = 106,
  OP_BITNOT_INT = 107,
  OP_BYTE_TO_INT = 108,
  OP_BYTE_TO_REAL = 109,
  OP_BYTE_TO_FUZZY = 110,
  OP_INT_TO_BYTE = 111,
  OP_INT_TO_REAL = 112,
  OP_INT_TO_FUZZY = 113,
  OP_REAL_TO_BYTE = 114,
  OP_REAL_TO_INT = 115,
  OP_REAL_TO_FUZZY = 116,
  OP_FUZZY_TO_BYTE = 117,
  OP_FUZZY_TO_INT = 118,
  OP_FUZZY_TO_REAL = 119,
  OP_CALL = 120,
  OP_RETURN = 121,
  OP_RETURN_INTERRUPT = 122,
  OP_GOT_BYTE = 123,
  OP_GOT_INT = 124,
  OP_GOT_REAL = 125,
  OP_GOT_FUZZY = 126,
  OP_IF0 = 127,
  OP_IF = 128,
  OP_JUMP = 129,
  OP_SET_WEIGHT = 130,
  OP_CLEAR = 131,
  OP_OUT_CHAR = 132,
  OP_OUT_BYTE = 133,
  OP_OUT_INT = 134,
  OP_OUT_REAL = 135,
  OP_OUT_FUZZY = 136,
  OP_OUT_STRING = 137,
  OP_END = 138,
};

inline constexpr int kOpcodeCount = 139;

// What follows the length byte of an instruction.
enum class OperandShape {
  None,         // no operand
  Byte,         // one unsigned byte
  Word,         // 16-bit little-endian, listed signed
  Address,      // word holding an absolute data address (jump, call, global)
  StackOffset,  // word holding a signed offset from the run-time frame
  Real,         // 3-byte real encoding
  Fuzzy,        // 5-byte fuzzy encoding
  Return,       // parameter bytes to pop, then (-(return size) - 4) mod 256
  ByteAddress,  // a byte, then an address
  String,       // the text and a terminating zero
};

struct OpcodeInfo {
  const char* name;      // the enumerator's name
  OperandShape shape;
  const char* listing;   // printf format of the listing line (after the address column)
};

// The table shared by the emitters, the listing and the tests, indexed by opcode;
// nullptr for a byte that is no opcode.
const OpcodeInfo* FindOpcode(int opcode);
// Operand bytes of a shape; -1 for String, whose length is the text's plus one.
int OperandLength(OperandShape shape);

// The listing line of the instruction at bytes[0] (opcode, length byte, operands).
// Bytes at or beyond `available` read as 0, so any position of an image can be listed.
std::string ListInstruction(const uint8_t* bytes, size_t available);
// The same line behind its address column ("%04x: ").
std::string ListInstructionAt(int address, const uint8_t* bytes, size_t available);

// Image header: the CODE and START words, then one word per interrupt vector.
inline constexpr int kImageBase = 0x60;
inline constexpr int kCodeWordOffset = 0;
inline constexpr int kStartWordOffset = 2;
inline constexpr int kVectorOffset = 4;
inline constexpr int kVectorCount = 13;
inline constexpr int kHeaderSize = kVectorOffset + 2 * kVectorCount;  // 30 bytes

// The vectors' names as the listing prints them, by vector number.
extern const char* const kVectorNames[kVectorCount];
