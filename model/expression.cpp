#include "model/expression.h"

#include <utility>
#include <vector>

#include "model/statement.h"
#include "model/symbol.h"

namespace {

const char kTypeCastingMessage[] = "Type casting:  Types are not compatible.";

// Operators whose result has the kind they compute in.
bool ResultFollowsOperands(ExprOp op) {
  switch (op) {
    case EXPR_ADD:
    case EXPR_SUB:
    case EXPR_MUL:
    case EXPR_DIV:
    case EXPR_MOD:
    case EXPR_BITAND:
    case EXPR_BITOR:
    case EXPR_BITXOR:
    case EXPR_MIN:
    case EXPR_MAX:
    case EXPR_SHL:
    case EXPR_SHR:
    case EXPR_NEG:
    case EXPR_BITNOT:
      return true;
    default:
      return false;
  }
}

// Kind of an operator node recomputed from its children's kinds.
TypeKind ChildrenKind(const CExpression& node) {
  if (node.left != nullptr && node.right != nullptr) {
    switch (CompareKinds(node.left->kind, node.right->kind)) {
      case MATCH_SAME:
      case MATCH_WIDEN_SECOND:
        return node.left->kind;
      case MATCH_WIDEN_FIRST:
        return node.right->kind;
      case MATCH_NONE:
        return TYPE_VOID;
    }
  }
  if (node.left != nullptr) return node.left->kind;
  if (node.right != nullptr) return node.right->kind;
  return TYPE_VOID;
}

// The check of one operator for Real or Fuzzy operands: null when it passes.
const char* RealOrFuzzyMessage(ExprOp op, bool fuzzy) {
  switch (op) {
    case EXPR_ADD:
    case EXPR_SUB:
    case EXPR_MIN:
    case EXPR_MAX:
    case EXPR_EQ:
    case EXPR_NE:
    case EXPR_LE:
    case EXPR_LT:
    case EXPR_GE:
    case EXPR_GT:
    case EXPR_INDEX:
    case EXPR_NEG:
      return nullptr;
    case EXPR_MUL:
      return fuzzy ? "Binary operator: Multiplication is not defined for Fuzzy values." : nullptr;
    case EXPR_DIV:
      return fuzzy ? "Binary operator: Division is not defined for Fuzzy values." : nullptr;
    case EXPR_MOD:
      return fuzzy ? "Binary operator:  Can not take the modulo of Fuzzy values."
                   : "Binary operator:  Can not take the modulo of Real values.";
    case EXPR_BITAND:
    case EXPR_BITOR:
    case EXPR_BITXOR:
      return fuzzy ? "Binary operator:  Can not perform Bit operations on Fuzzy values."
                   : "Binary operator:  Can not perform Bit operations on Real values.";
    case EXPR_AND:
    case EXPR_OR:
    case EXPR_XOR:
      return fuzzy ? "Binary operator:  Can not perform Boolean operations on Fuzzy values."
                   : "Binary operator:  Can not perform Boolean operations on Real values.";
    case EXPR_SHL:
    case EXPR_SHR:
      return fuzzy ? "Binary operator:  Can not perform Shift operations on Fuzzy values."
                   : "Binary operator:  Can not perform Shift operations on Real values.";
    case EXPR_NOT:
      return fuzzy ? "Error: Boolean operation on Fuzzy data type." : "Error: Boolean operation on Real data type.";
    case EXPR_BITNOT:
      return fuzzy ? "Error: Binary operation on Fuzzy data type." : "Error: Binary operation on Real data type.";
    default:
      return "Error, bad operator.";
  }
}

// The check of one operator without touching any node: null when it passes.
const char* OperatorMessage(ExprOp op, TypeKind kind) {
  if (op < EXPR_ADD || op > EXPR_BITNOT) return "Error, bad operator.";
  switch (kind) {
    case TYPE_BYTE:
    case TYPE_ADDRESS:
      if (op == EXPR_NEG) return "Error: Signed operation on Unsigned data type.";
      return op == EXPR_IS ? "Error, bad operator." : nullptr;
    case TYPE_INTEGER:
      return op == EXPR_IS ? "Error, bad operator." : nullptr;
    case TYPE_REAL:
      return RealOrFuzzyMessage(op, false);
    case TYPE_FUZZY:
      return RealOrFuzzyMessage(op, true);
    default:
      return "Unknown operand data type.";
  }
}

// The latest failure: which node, and its message.
struct Failure {
  const CExpression* node = nullptr;
  std::string_view message;
};
thread_local Failure lastFailure;

}  // namespace

std::string_view CExpression::Error() const {
  return lastFailure.node == this ? lastFailure.message : std::string_view();
}

void CExpression::Fail(std::string_view message) { lastFailure = {this, message}; }

void CExpression::ForgetError() {
  if (lastFailure.node == this) lastFailure = {};
}

TypeKind ResultKind(ExprOp op, TypeKind kind) {
  switch (op) {
    case EXPR_AND:
    case EXPR_OR:
    case EXPR_XOR:
    case EXPR_EQ:
    case EXPR_NE:
    case EXPR_LE:
    case EXPR_LT:
    case EXPR_GE:
    case EXPR_GT:
    case EXPR_NOT:
      return TYPE_BYTE;
    default:
      return kind;
  }
}

int CExpression::MakeLeaf(const CValue& leaf) {
  op = EXPR_NOP;
  switch (leaf.kind) {
    case TYPE_BYTE:
    case TYPE_INTEGER:
    case TYPE_REAL:
    case TYPE_FUZZY:
      // A constant takes the kind and the bits only.
      value = CValue();
      value.kind = leaf.kind;
      value.value = leaf.value;
      value.weight = leaf.weight;
      op = EXPR_CONST;
      break;
    case TYPE_VAR:
    case TYPE_RANGE:
    case TYPE_RULE:
    case TYPE_CALL:
      value = CValue();
      value.Assign(leaf);
      op = leaf.kind == TYPE_VAR     ? EXPR_VAR
           : leaf.kind == TYPE_RANGE ? EXPR_RANGE
           : leaf.kind == TYPE_RULE  ? EXPR_RULE
                                     : EXPR_CALL;
      break;
    default:
      Fail("Expression: Unsupported data type.");
      return 0;
  }
  kind = value.BaseKind();
  left = nullptr;
  right = nullptr;
  return 1;
}

int CExpression::MakeBinary(CExpression* leftOperand, ExprOp binaryOp, CExpression* rightOperand) {
  op = EXPR_NOP;
  if (leftOperand == nullptr || rightOperand == nullptr) {
    Fail("Binary operator:  Requires two valid operands.");
    return 0;
  }
  CExpression& l = *leftOperand;
  CExpression& r = *rightOperand;
  TypeKind common = TYPE_VOID;
  if (binaryOp == EXPR_INDEX) {
    const KindMatch index = r.value.Compatible(TYPE_INTEGER);
    if (index != MATCH_SAME && index != MATCH_WIDEN_FIRST) {
      Fail("Index operator:  Array index must be compatible with Int type.");
      return 0;
    }
    r.CastTo(TYPE_INTEGER);
    if (l.op != EXPR_VAR) {
      Fail("Index operator:  Array must be assocatiated with a variable.");
      return 0;
    }
    if ((l.value.Resolved().flags & TYPE_FLAG_ARRAY) == 0) {
      Fail("Index operator:  Attempting to index a non-array variable.");
      return 0;
    }
    common = l.value.Resolved().BaseKind();
  } else {
    common = Promote(l, r);
    if (common == TYPE_VOID) {
      Fail("Binary operator: Types are not compatible.");
      return 0;
    }
  }
  if (CheckOperator(binaryOp, common) == 0) return 0;

  if (l.op == EXPR_CONST && r.op == EXPR_CONST && binaryOp != EXPR_INDEX) {
    // The folded operands are no longer part of any tree.
    return FoldBinary(binaryOp, common, l.value, r.value);
  }
  value = CValue();
  value.kind = common;
  kind = ResultKind(binaryOp, common);
  op = binaryOp;
  left = leftOperand;
  right = rightOperand;
  return 1;
}

int CExpression::MakeIs(CExpression* tested, CExpression* rangeOrRule) {
  op = EXPR_NOP;
  if (tested == nullptr || rangeOrRule == nullptr) {
    Fail("Fuzzy operator:  Requires two valid operands.");
    return 0;
  }
  if (tested->value.Compatible(TYPE_REAL) == MATCH_NONE) {
    Fail("Fuzzy operator: Left operand must be compatible with Real value.");
    return 0;
  }
  if (rangeOrRule->op != EXPR_RANGE && rangeOrRule->op != EXPR_RULE) {
    Fail("Fuzzy operator:  Right operand must be a Range or Rule.");
    return 0;
  }
  value = CValue();
  value.kind = tested->value.BaseKind();
  kind = rangeOrRule->op == EXPR_RANGE ? TYPE_BYTE : TYPE_FUZZY;
  op = EXPR_IS;
  left = tested;
  right = rangeOrRule;
  return 1;
}

int CExpression::MakeUnary(ExprOp unaryOp, CExpression* operand) {
  op = EXPR_NOP;
  if (operand == nullptr) {
    Fail("Unary operator:  Requires a valid operand.");
    return 0;
  }
  TypeKind operandKind = operand->kind;
  if (CheckOperator(unaryOp, operandKind) == 0) {
    // A minus in front of a Byte constant makes it a (negative) Integer.
    if (operand->op != EXPR_CONST || operand->kind != TYPE_BYTE) return 0;
    operandKind = operand->CastTo(TYPE_INTEGER);
    if (CheckOperator(unaryOp, operandKind) == 0) return 0;
    ForgetError();
  }
  if (operand->op != EXPR_CONST) {
    kind = ResultKind(unaryOp, operandKind);
    value = CValue();
    value.kind = operandKind;
    op = unaryOp;
    left = nullptr;
    right = operand;
    return 1;
  }
  FoldUnary(unaryOp, operandKind, operand->value);
  return 1;
}

TypeKind CExpression::Promote(CExpression& a, CExpression& b) {
  switch (CompareKinds(a.kind, b.kind)) {
    case MATCH_SAME:
      return a.kind;
    case MATCH_WIDEN_FIRST:
      return a.CastTo(b.kind);
    case MATCH_WIDEN_SECOND:
      return b.CastTo(a.kind);
    case MATCH_NONE:
      break;
  }
  Fail("Value promotion:  Types are not compatible.");
  return TYPE_VOID;
}

bool CExpression::CastWithoutChildren(TypeKind target, TypeKind& result) {
  switch (op) {
    case EXPR_CONST: {
      result = value.ConvertTo(target);
      // A refused conversion leaves the constant as it was.
      if (result != TYPE_VOID) kind = result;
      return true;
    }
    case EXPR_VAR:
    case EXPR_CALL:
      result = value.ConvertTo(target);
      return true;
    case EXPR_NOP:
    case EXPR_RANGE:
    case EXPR_RULE:
    case EXPR_IS:
      // Nothing here can become a plain value of another kind.
      Fail(kTypeCastingMessage);
      result = TYPE_VOID;
      return true;
    default:
      break;
  }
  // An element read, or an operator that would not compute in the wider kind (it
  // narrows, or has no instruction for the kind), keeps its kind; the parent converts.
  const bool widens = CompareKinds(kind, target) == MATCH_WIDEN_FIRST;
  const bool keepsKind = op == EXPR_INDEX || op < EXPR_CONST || op > EXPR_BITNOT ||
                         (ResultFollowsOperands(op) && (!widens || OperatorMessage(op, target) != nullptr));
  if (!keepsKind) return false;
  result = CompareKinds(kind, target) == MATCH_NONE ? TYPE_VOID : target;
  if (result == TYPE_VOID) Fail(kTypeCastingMessage);
  return true;
}

TypeKind CExpression::FinishCast(TypeKind target, TypeKind childResult) {
  if (childResult == TYPE_VOID) Fail(kTypeCastingMessage);
  const TypeKind computed = ChildrenKind(*this);
  if (!ResultFollowsOperands(op)) {
    kind = ResultKind(op, computed);
    return ResultKind(op, childResult);
  }
  // The node computes in the kind it reports, so its code pushes what it claims.  Its
  // children's kind is that kind unless the operator has no instruction for it (a child
  // that could not widen, say a rule test under a product); the cast's own kind, which
  // was checked before the children were touched, then serves.
  const bool usable = computed != TYPE_VOID && OperatorMessage(op, computed) == nullptr;
  value.kind = usable ? computed : target;
  kind = value.kind;
  return childResult;
}

TypeKind CExpression::CastTo(TypeKind target) {
  // Every node of a widening path is cast to the same kind, children first; an
  // explicit stack keeps deep trees off the call stack.
  struct Frame {
    CExpression* node;
    int stage;         // 0: not started, 1: left handled, 2: children handled
    bool awaiting;     // the frame just above was one of this node's children
    TypeKind childResult;
  };
  // Its room is kept from one cast to the next (a cast never starts another).
  static thread_local std::vector<Frame> stack;
  stack.clear();
  stack.push_back({this, 0, false, TYPE_VOID});
  TypeKind result = TYPE_VOID;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    CExpression* node = frame.node;
    if (frame.awaiting) {
      frame.awaiting = false;
      frame.childResult = result;
      if (result == TYPE_VOID) frame.stage = 2;  // stop at the first child that fails
    }
    if (frame.stage == 0) {
      if (node->CastWithoutChildren(target, result)) {
        stack.pop_back();
        continue;
      }
      frame.stage = 1;
      if (node->left != nullptr) {
        frame.awaiting = true;
        stack.push_back({node->left, 0, false, TYPE_VOID});
        continue;
      }
    }
    if (frame.stage == 1) {
      frame.stage = 2;
      if (node->right != nullptr) {
        frame.awaiting = true;
        stack.push_back({node->right, 0, false, TYPE_VOID});
        continue;
      }
    }
    result = node->FinishCast(target, frame.childResult);
    stack.pop_back();
  }
  return result;
}

int CExpression::CheckOperator(ExprOp checkedOp, TypeKind operandKind) {
  const char* message = OperatorMessage(checkedOp, operandKind);
  if (message == nullptr) return 1;
  Fail(message);
  return 0;
}

void CExpression::BecomeConstant(const CValue& folded) {
  value = folded;
  op = EXPR_CONST;
  kind = value.BaseKind();
  left = nullptr;
  right = nullptr;
}
