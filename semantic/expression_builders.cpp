// Expression and type builders: leaves from literals and names, operator nodes, declared types.
#include <cstdint>
#include <limits>

#include "semantic/compiler.h"

namespace {

const char kUnsupported[] = "Expression value: Unsupported type.";
const char kBadSymbol[] = "Expression value:  Error in symbolic value. ";

// A fuzzy literal's weight is written 0 to 255 and means (w + 1) / 256.
constexpr float kWeightStep = 0.00390625f;

CValue Reference(TypeKind kind, CSymbol* symbol, CStatement* statement) {
  CValue reference;
  reference.kind = kind;
  reference.symbol = symbol;
  reference.statement = statement;
  return reference;
}

}  // namespace

CExpression* CCompiler::Built(CExpression* node, int made) {
  if (made != 0) return node;
  errorText = node->Error();
  return nullptr;
}

CExpression* CCompiler::NewValueExpression(const CValue& value) {
  CExpression* node = Nodes().Make<CExpression>();
  return Built(node, node->MakeLeaf(value));
}

CExpression* CCompiler::NewIntegerValue(TypeKind kind, int32_t value) {
  if (kind == TYPE_BYTE)
    return RememberLiteral(NewValueExpression(CValue::FromByte(static_cast<uint8_t>(value & 0xFF))));
  if (kind != TYPE_INTEGER) return Refuse(kUnsupported);
  if (value >= 0 && value <= 255)
    return RememberLiteral(NewValueExpression(CValue::FromByte(static_cast<uint8_t>(value))));
  return RememberLiteral(NewValueExpression(CValue::FromInteger(value)));
}

CExpression* CCompiler::NewRealValue(TypeKind kind, float value) {
  if (kind != TYPE_REAL) return Refuse(kUnsupported);
  return RememberLiteral(NewValueExpression(CValue::FromReal(value)));
}

CExpression* CCompiler::NewFuzzyValue(TypeKind kind, CExpression* value, CExpression* weight) {
  if (value == nullptr || weight == nullptr)
    return Refuse("Expression value:  Require valid Value and Weight.");
  if (value->op != EXPR_CONST || weight->op != EXPR_CONST)
    return Refuse("Fuzzy data:  Expressions do not evaluate to a constant. ");
  const bool valueReal = value->CastTo(TYPE_REAL) != 0;
  const bool weightReal = weight->CastTo(TYPE_REAL) != 0;
  if (!valueReal || !weightReal)
    return Refuse("Fuzzy data:  Values must be compatible with Real values.");
  if (kind != TYPE_FUZZY) return Refuse(kUnsupported);
  const float written = weight->value.AsReal();
  return NewValueExpression(
      CValue::FromFuzzy(value->value.AsReal(), (written + 1.0f) * kWeightStep));
}

CExpression* CCompiler::NewSymbolValue(CSymbol* symbol) {
  if (symbol == nullptr) return Refuse(kBadSymbol);
  // Constants are folded in where they are used.
  if (auto* constant = SymbolCast<CConstSymbol>(symbol))
    return NewValueExpression(constant->value);
  if (auto* variable = SymbolCast<CVarSymbol>(symbol)) {
    variable->used = true;
    if (variable->reference == nullptr) {
      // The shared leaf lives as long as its variable (a global's outlives the body naming it).
      CExpression* leaf = ArenaOf(variable).Make<CExpression>();
      variable->reference = Built(leaf, leaf->MakeLeaf(Reference(TYPE_VAR, symbol, nullptr)));
    }
    return variable->reference;
  }
  if (SymbolCast<CRangeSymbol>(symbol) != nullptr) {
    if (auto* table = dynamic_cast<CRangeStatement*>(symbol->statement))
      return NewValueExpression(Reference(TYPE_RANGE, symbol, table));
  }
  if (SymbolCast<CRuleSymbol>(symbol) != nullptr) {
    if (auto* table = dynamic_cast<CRuleStatement*>(symbol->statement))
      return NewValueExpression(Reference(TYPE_RULE, symbol, table));
  }
  return Refuse("Expression value: Invalid Identifier in expression.");
}

CExpression* CCompiler::NewCallValue(CStatement* statement) {
  if (statement == nullptr) return Refuse(kBadSymbol);
  auto* call = dynamic_cast<CCallStatement*>(statement);
  if (call == nullptr) return Refuse("Expression value: Invalid statement in expression.");
  // A call used as a value stands in no block: its leaf is where it is reached from.
  return NewValueExpression(Reference(TYPE_CALL, call->prototype, call));
}

CExpression* CCompiler::NewBinaryExpression(CExpression* left, ExprOp op, CExpression* right) {
  CExpression* node = Nodes().Make<CExpression>();
  return Built(node, node->MakeBinary(left, op, right));
}

CExpression* CCompiler::NewIsExpression(CExpression* left, CExpression* right) {
  CExpression* node = Nodes().Make<CExpression>();
  return Built(node, node->MakeIs(left, right));
}

CExpression* CCompiler::NewUnaryExpression(ExprOp op, CExpression* operand) {
  CExpression* node = Nodes().Make<CExpression>();
  return Built(node, node->MakeUnary(op, operand));
}

const CType* CCompiler::NewType(TypeKind kind, int32_t reference, uint32_t flags) {
  if (kind == TYPE_VAR) return nullptr;
  const bool plain = flags == 0 && (kind == TYPE_BYTE || kind == TYPE_INTEGER || kind == TYPE_REAL || kind == TYPE_FUZZY);
  if (plain && plainTypes[kind] != nullptr) return plainTypes[kind];
  // The shared plain types outlive every body.
  CType* type = (plain ? arena : Nodes()).Make<CType>();
  type->kind = kind;
  if (kind == TYPE_ADDRESS || kind == TYPE_ID) type->ref = reference;
  type->flags |= flags;
  if (plain) plainTypes[kind] = type;
  return type;
}

const CType* CCompiler::NewArrayType(const CType* element, const CExpression* subscript) {
  if (element == nullptr) return Refuse("Array: Requires valid data type.");
  if (subscript == nullptr) return Refuse("Array:  Requires valid subscript.");
  if (subscript->op != EXPR_CONST)
    return Refuse("Array:  Subscript does not evaluate to a constant. ");
  CValue count;
  count.Assign(subscript->value);
  const KindMatch match = CompareKinds(count.kind, TYPE_INTEGER);
  if (match != MATCH_SAME && match != MATCH_WIDEN_FIRST)
    return Refuse("Array:  Subscript must evaluate to an integer value.");
  count.ConvertTo(TYPE_INTEGER);
  // Sizes are 32-bit: an array whose byte count would not fit could never be placed anyway.
  const int64_t bytes = static_cast<int64_t>(KindSize(element->BaseKind())) * count.AsInteger();
  if (bytes > std::numeric_limits<int32_t>::max() || bytes < std::numeric_limits<int32_t>::min())
    return Refuse("Array:  Subscript is too large.");
  CType* array = Nodes().Make<CType>();
  array->Assign(*element);
  array->flags |= TYPE_FLAG_ARRAY;
  array->count = count.AsInteger();
  return array;
}
