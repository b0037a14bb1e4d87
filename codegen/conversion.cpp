#include "codegen/conversion.h"

#include "image/target.h"

namespace {

// from (rows) -> to (columns): byte, int, real, fuzzy; OP_NOP marks "nothing".
constexpr Opcode kConversions[4][4] = {
    {OP_NOP, OP_BYTE_TO_INT, OP_BYTE_TO_REAL, OP_BYTE_TO_FUZZY},
    {OP_INT_TO_BYTE, OP_NOP, OP_INT_TO_REAL, OP_INT_TO_FUZZY},
    {OP_REAL_TO_BYTE, OP_REAL_TO_INT, OP_NOP, OP_REAL_TO_FUZZY},
    {OP_FUZZY_TO_BYTE, OP_FUZZY_TO_INT, OP_FUZZY_TO_REAL, OP_NOP},
};

}  // namespace

int KindColumn(TypeKind kind) {
  switch (kind) {
    case TYPE_BYTE:
    case TYPE_ADDRESS: return 0;
    case TYPE_INTEGER: return 1;
    case TYPE_REAL: return 2;
    case TYPE_FUZZY: return 3;
    default: return -1;
  }
}

bool EmitConversion(TypeKind from, TypeKind to, CTarget& target) {
  int row = KindColumn(from);
  int column = KindColumn(to);
  if (row < 0 || column < 0) return true;
  Opcode opcode = kConversions[row][column];
  if (opcode == OP_NOP) return true;
  return target.EmitInstruction(opcode) >= 0;
}
