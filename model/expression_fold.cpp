// Compile-time evaluation of operators whose operands are all constants.
#include <cstdint>
#include <limits>

#include "model/expression.h"

namespace {

const char kDivideByZero[] = "Binary operator:  Divide by Zero.";

// Comparisons yield 255 for true; the logical operators yield 1.
CValue Truth(bool condition) { return CValue::FromByte(condition ? 255 : 0); }
CValue Logical(bool condition) { return CValue::FromByte(condition ? 1 : 0); }

template <typename T>
bool Compare(ExprOp op, T l, T r, bool& handled) {
  handled = true;
  switch (op) {
    case EXPR_EQ:
      return l == r;
    case EXPR_NE:
      return l != r;
    case EXPR_LE:
      return l <= r;
    case EXPR_LT:
      return l < r;
    case EXPR_GE:
      return l >= r;
    case EXPR_GT:
      return l > r;
    default:
      handled = false;
      return false;
  }
}

// Byte arithmetic: unsigned, every result kept to 8 bits.
bool FoldByte(ExprOp op, uint32_t l, uint32_t r, CValue& out, const char*& message) {
  bool isComparison = false;
  const bool compared = Compare(op, l, r, isComparison);
  if (isComparison) {
    out = Truth(compared);
    return true;
  }
  uint32_t result = 0;
  switch (op) {
    case EXPR_ADD: result = l + r; break;
    case EXPR_SUB: result = l - r; break;
    case EXPR_MUL: result = l * r; break;
    case EXPR_DIV:
    case EXPR_MOD:
      if (r == 0) {
        message = kDivideByZero;
        return false;
      }
      result = op == EXPR_DIV ? l / r : l % r;
      break;
    case EXPR_BITAND: result = l & r; break;
    case EXPR_BITOR: result = l | r; break;
    case EXPR_BITXOR: result = l ^ r; break;
    case EXPR_AND: out = Logical(l != 0 && r != 0); return true;
    case EXPR_OR: out = Logical(l != 0 || r != 0); return true;
    case EXPR_XOR: out = Logical((l != 0) != (r != 0)); return true;
    case EXPR_MIN: result = r < l ? r : l; break;
    case EXPR_MAX: result = r > l ? r : l; break;
    case EXPR_SHL: result = l << (r & 31); break;  // counts 8 to 31 leave 0 in the byte
    case EXPR_SHR: result = l >> (r & 31); break;
    default: message = "Error, bad operator."; return false;
  }
  out = CValue::FromByte(static_cast<uint8_t>(result & 0xFF));
  return true;
}

// Integer arithmetic: 32 bits, wrapping; done on unsigned words where C++ would overflow.
bool FoldInteger(ExprOp op, int32_t l, int32_t r, CValue& out, const char*& message) {
  bool isComparison = false;
  const bool compared = Compare(op, l, r, isComparison);
  if (isComparison) {
    out = Truth(compared);
    return true;
  }
  const uint32_t ul = static_cast<uint32_t>(l);
  const uint32_t ur = static_cast<uint32_t>(r);
  int32_t result = 0;
  switch (op) {
    case EXPR_ADD: result = static_cast<int32_t>(ul + ur); break;
    case EXPR_SUB: result = static_cast<int32_t>(ul - ur); break;
    case EXPR_MUL: result = static_cast<int32_t>(ul * ur); break;
    case EXPR_DIV:
    case EXPR_MOD:
      if (r == 0) {
        message = kDivideByZero;
        return false;
      }
      // The most negative value divided by -1 wraps to itself, with remainder 0.
      if (l == std::numeric_limits<int32_t>::min() && r == -1) {
        result = op == EXPR_DIV ? l : 0;
      } else {
        result = op == EXPR_DIV ? l / r : l % r;
      }
      break;
    case EXPR_BITAND: result = l & r; break;
    case EXPR_BITOR: result = l | r; break;
    case EXPR_BITXOR: result = l ^ r; break;
    case EXPR_AND: out = Logical(l != 0 && r != 0); return true;
    case EXPR_OR: out = Logical(l != 0 || r != 0); return true;
    case EXPR_XOR: out = Logical((l != 0) != (r != 0)); return true;
    case EXPR_MIN: result = r < l ? r : l; break;
    case EXPR_MAX: result = r > l ? r : l; break;
    case EXPR_SHL: result = static_cast<int32_t>(ul << (ur & 31)); break;
    case EXPR_SHR: result = l >> (ur & 31); break;  // arithmetic: the sign fills in
    default: message = "Error, bad operator."; return false;
  }
  out = CValue::FromInteger(result);
  return true;
}

bool FoldReal(ExprOp op, float l, float r, CValue& out, const char*& message) {
  bool isComparison = false;
  const bool compared = Compare(op, l, r, isComparison);
  if (isComparison) {
    out = Truth(compared);
    return true;
  }
  switch (op) {
    case EXPR_ADD: out = CValue::FromReal(l + r); return true;
    case EXPR_SUB: out = CValue::FromReal(l - r); return true;
    case EXPR_MUL: out = CValue::FromReal(l * r); return true;
    case EXPR_DIV:
      if (r == 0.0f) {
        message = kDivideByZero;
        return false;
      }
      out = CValue::FromReal(l / r);
      return true;
    case EXPR_MIN: out = CValue::FromReal(r < l ? r : l); return true;
    case EXPR_MAX: out = CValue::FromReal(r > l ? r : l); return true;
    default: message = "Error, bad operator."; return false;
  }
}

// Fuzzy values add (weights too, also for subtraction), pick by weight, and compare
// by their crisp readings value / weight.
bool FoldFuzzy(ExprOp op, const CValue& l, const CValue& r, CValue& out, const char*& message) {
  bool isComparison = false;
  const bool compared = Compare(op, l.Crisp(), r.Crisp(), isComparison);
  if (isComparison) {
    out = Truth(compared);
    return true;
  }
  switch (op) {
    case EXPR_ADD: out = CValue::FromFuzzy(l.AsReal() + r.AsReal(), l.weight + r.weight); return true;
    case EXPR_SUB: out = CValue::FromFuzzy(l.AsReal() - r.AsReal(), l.weight + r.weight); return true;
    case EXPR_MIN: out = r.weight < l.weight ? r : l; return true;
    case EXPR_MAX: out = r.weight > l.weight ? r : l; return true;
    default: message = "Error, bad operator."; return false;
  }
}

}  // namespace

int CExpression::FoldBinary(ExprOp foldedOp, TypeKind common, const CValue& leftValue, const CValue& rightValue) {
  // Promotion has already converted both constants; the copies only make sure.
  const TypeKind computeKind = common == TYPE_ADDRESS ? TYPE_BYTE : common;
  CValue l = leftValue;
  CValue r = rightValue;
  l.ConvertTo(computeKind);
  r.ConvertTo(computeKind);
  CValue folded;
  const char* message = nullptr;
  bool ok = false;
  switch (computeKind) {
    case TYPE_BYTE: ok = FoldByte(foldedOp, l.AsByte(), r.AsByte(), folded, message); break;
    case TYPE_INTEGER: ok = FoldInteger(foldedOp, l.AsInteger(), r.AsInteger(), folded, message); break;
    case TYPE_REAL: ok = FoldReal(foldedOp, l.AsReal(), r.AsReal(), folded, message); break;
    case TYPE_FUZZY: ok = FoldFuzzy(foldedOp, l, r, folded, message); break;
    default: message = "Unknown operand data type."; break;
  }
  if (!ok) {
    Fail(message);
    return 0;
  }
  folded.flags = 0;
  folded.ref = -1;
  folded.symbol = nullptr;
  folded.statement = nullptr;
  BecomeConstant(folded);
  return 1;
}

void CExpression::FoldUnary(ExprOp foldedOp, TypeKind operandKind, const CValue& operandValue) {
  CValue folded;
  switch (operandKind == TYPE_ADDRESS ? TYPE_BYTE : operandKind) {
    case TYPE_BYTE: {
      const uint8_t byte = operandValue.AsByte();
      folded = foldedOp == EXPR_NOT ? CValue::FromByte(byte == 0 ? 1 : 0)
                                    : CValue::FromByte(static_cast<uint8_t>(~byte));
      break;
    }
    case TYPE_INTEGER: {
      const int32_t integer = operandValue.AsInteger();
      if (foldedOp == EXPR_NEG) {
        folded = CValue::FromInteger(static_cast<int32_t>(0u - static_cast<uint32_t>(integer)));
      } else if (foldedOp == EXPR_NOT) {
        folded = CValue::FromByte(integer == 0 ? 1 : 0);
      } else {
        folded = CValue::FromInteger(~integer);
      }
      break;
    }
    case TYPE_REAL:
      folded = CValue::FromReal(-operandValue.AsReal());
      break;
    case TYPE_FUZZY:
      folded = CValue::FromFuzzy(-operandValue.AsReal(), operandValue.weight);
      break;
    default:
      folded = operandValue;
      break;
  }
  BecomeConstant(folded);
}
