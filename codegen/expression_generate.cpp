// Byte code of expressions for the interpreter's stack machine: every node leaves exactly one
// value, operands are evaluated left before right and converted to the kind the operator
// computes in.  Trees of any depth, and calls nested in call arguments, are generated from an
// explicit work list.
#include <vector>

#include "codegen/code_generator.h"
#include "codegen/conversion.h"
#include "image/target.h"
#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "platform/format.h"

namespace {

// The operator's instruction for each column; -1 where the operator has none.
struct OperatorCodes {
  ExprOp op;
  int codes[4];
};

constexpr OperatorCodes kOperatorCodes[] = {
    {EXPR_ADD, {OP_ADD_BYTE, OP_ADD_INT, OP_ADD_REAL, OP_ADD_FUZZY}},
    {EXPR_SUB, {OP_SUB_BYTE, OP_SUB_INT, OP_SUB_REAL, OP_SUB_FUZZY}},
    {EXPR_MUL, {OP_MUL_BYTE, OP_MUL_INT, OP_MUL_REAL, OP_MUL_FUZZY}},
    {EXPR_DIV, {OP_DIV_BYTE, OP_DIV_INT, OP_DIV_REAL, OP_DIV_FUZZY}},
    {EXPR_MOD, {OP_MOD_BYTE, OP_MOD_INT, -1, -1}},
    {EXPR_BITAND, {OP_BITAND_BYTE, OP_BITAND_INT, -1, -1}},
    {EXPR_BITOR, {OP_BITOR_BYTE, OP_BITOR_INT, -1, -1}},
    {EXPR_BITXOR, {OP_BITXOR_BYTE, OP_BITXOR_INT, -1, -1}},
    {EXPR_AND, {OP_AND_BYTE, OP_AND_INT, -1, -1}},
    {EXPR_OR, {OP_OR_BYTE, OP_OR_INT, -1, -1}},
    {EXPR_XOR, {OP_XOR_BYTE, OP_XOR_INT, -1, -1}},
    {EXPR_MIN, {OP_MIN_BYTE, OP_MIN_INT, OP_MIN_REAL, OP_MIN_FUZZY}},
    {EXPR_MAX, {OP_MAX_BYTE, OP_MAX_INT, OP_MAX_REAL, OP_MAX_FUZZY}},
    {EXPR_EQ, {OP_EQ_BYTE, OP_EQ_INT, OP_EQ_REAL, OP_EQ_FUZZY}},
    {EXPR_NE, {OP_NE_BYTE, OP_NE_INT, OP_NE_REAL, OP_NE_FUZZY}},
    {EXPR_LE, {OP_LE_BYTE, OP_LE_INT, OP_LE_REAL, OP_LE_FUZZY}},
    {EXPR_LT, {OP_LT_BYTE, OP_LT_INT, OP_LT_REAL, OP_LT_FUZZY}},
    {EXPR_GE, {OP_GE_BYTE, OP_GE_INT, OP_GE_REAL, OP_GE_FUZZY}},
    {EXPR_GT, {OP_GT_BYTE, OP_GT_INT, OP_GT_REAL, OP_GT_FUZZY}},
    {EXPR_SHL, {OP_LSHIFT_BYTE, OP_LSHIFT_INT, -1, -1}},
    {EXPR_SHR, {OP_RSHIFT_BYTE, OP_RSHIFT_INT, -1, -1}},
    {EXPR_NEG, {-1, OP_NEG_INT, OP_NEG_REAL, OP_NEG_FUZZY}},
    {EXPR_NOT, {OP_NOT_BYTE, OP_NOT_INT, -1, -1}},
    {EXPR_BITNOT, {OP_BITNOT_BYTE, OP_BITNOT_INT, -1, -1}},
    {EXPR_INDEX, {OP_IDX_VAL_BYTE, OP_IDX_VAL_INT, OP_IDX_VAL_REAL, OP_IDX_VAL_FUZZY}},
};

int OperatorCode(ExprOp op, TypeKind kind) {
  const int column = KindColumn(kind);
  if (column < 0) return -1;
  for (const OperatorCodes& row : kOperatorCodes) {
    if (row.op == op) return row.codes[column];
  }
  return -1;
}

// The kind a node converts its operands to and picks its instruction by.
TypeKind OperandKind(const CExpression& node) {
  if (node.op == EXPR_IS) return TYPE_BYTE;
  const TypeKind base = node.value.BaseKind();
  switch (base) {
    case TYPE_VOID:
    case TYPE_ADDRESS:
    case TYPE_ID:
    case TYPE_VAR:
    case TYPE_RANGE:
    case TYPE_RULE:
    case TYPE_CALL: return node.value.kind;
    default: return base;
  }
}

// The instruction that fetches a call's result, by the method's result kind; -1 for none.
int ResultFetch(TypeKind kind) {
  switch (kind) {
    case TYPE_BYTE: return OP_GOT_BYTE;
    case TYPE_INTEGER: return OP_GOT_INT;
    case TYPE_REAL: return OP_GOT_REAL;
    case TYPE_FUZZY: return OP_GOT_FUZZY;
    default: return -1;
  }
}

std::string NameOf(const CSymbol* symbol) { return symbol == nullptr ? std::string("?") : symbol->QualifiedName(); }

class ExpressionGenerator {
 public:
  explicit ExpressionGenerator(CTarget& codeTarget) : target(codeTarget) {}

  int RunValue(const CExpression& root) { return Run({Task::Value, &root, nullptr}); }
  int RunAddress(const CExpression& root) { return Run({Task::Address, &root, nullptr}); }
  int RunCall(const CCallStatement& call) { return Run({Task::Call, nullptr, &call}); }

 private:
  struct Task {
    enum Kind { Value, Address, Convert, Operator, ElementAddress, Call, CallInstruction, Fetch } kind;
    const CExpression* node;
    const CCallStatement* call;
    TypeKind from = TYPE_VOID;  // Convert
    TypeKind to = TYPE_VOID;
    int opcode = 0;             // Fetch
  };

  int Run(Task root) {
    tasks.clear();
    tasks.push_back(root);
    while (!tasks.empty()) {
      const Task task = tasks.back();
      tasks.pop_back();
      if (!Perform(task)) return 0;
    }
    return 1;
  }

  bool Perform(const Task& task) {
    switch (task.kind) {
      case Task::Value: return Value(*task.node);
      case Task::Address: return Address(*task.node);
      case Task::Convert: return EmitConversion(task.from, task.to, target) || target.FailCodeFull() != 0;
      case Task::Operator: return Operator(*task.node);
      case Task::ElementAddress: return Instruction(OP_IDX_ADR_BYTE + KindColumn(task.node->value.kind));
      case Task::Call: return Call(*task.call);
      case Task::CallInstruction: return CallInstruction(*task.call);
      case Task::Fetch: return Instruction(task.opcode);
    }
    return false;
  }

  bool Fail(const std::string& message) {
    target.errorText = message;
    return false;
  }

  bool Emitted(int address) { return address >= 0 || target.FailCodeFull() != 0; }
  bool Instruction(int opcode, int operandLength = 0) {
    return Emitted(target.EmitInstruction(static_cast<Opcode>(opcode), operandLength));
  }

  void Push(Task::Kind kind, const CExpression* node) { tasks.push_back({kind, node, nullptr}); }
  void PushConversion(TypeKind from, TypeKind to) { tasks.push_back({Task::Convert, nullptr, nullptr, from, to}); }

  bool Value(const CExpression& node) {
    switch (node.op) {
      case EXPR_NOP: return Fail("EXPRESSION:  Incomplete expression; no code can be generated.");
      case EXPR_CONST: return Constant(node);
      case EXPR_VAR: return Variable(node, false);
      case EXPR_RANGE:
      case EXPR_RULE: return Table(node);
      case EXPR_CALL: return CallValue(node);
      default: break;
    }
    const TypeKind k = OperandKind(node);
    Push(Task::Operator, &node);
    if (node.right != nullptr) {
      PushConversion(node.right->kind, node.op == EXPR_INDEX ? TYPE_INTEGER : k);
      Push(Task::Value, node.right);
    }
    if (node.left != nullptr) {
      if (node.op == EXPR_INDEX) {
        Push(Task::Address, node.left);
      } else {
        PushConversion(node.left->kind, k);
        Push(Task::Value, node.left);
      }
    }
    return true;
  }

  bool Address(const CExpression& node) {
    if (node.op == EXPR_VAR) return Variable(node, true);
    if (node.op != EXPR_INDEX || node.left == nullptr || node.right == nullptr || KindColumn(node.value.kind) < 0) {
      return Fail("EXPRESSION:  Only a variable or an array element has an address.");
    }
    Push(Task::ElementAddress, &node);
    PushConversion(node.right->kind, TYPE_INTEGER);
    Push(Task::Value, node.right);
    Push(Task::Address, node.left);
    return true;
  }

  bool Constant(const CExpression& node) {
    const TypeKind k = OperandKind(node);
    const CValue& constant = node.value;
    switch (k) {
      case TYPE_BYTE:
        return Instruction(OP_PUSH_BYTE, KindSize(k)) && Emitted(target.EmitByte(constant.AsByte()));
      case TYPE_INTEGER:
        return Instruction(OP_PUSH_INT, KindSize(k)) && Emitted(target.EmitWord(constant.AsInteger() & 0xFFFF));
      case TYPE_REAL:
        return Instruction(OP_PUSH_REAL, KindSize(k)) && Emitted(target.EmitReal(constant.AsReal()));
      case TYPE_FUZZY:
        return Instruction(OP_PUSH_FUZZY, KindSize(k)) &&
               Emitted(target.EmitFuzzy(constant.AsReal(), constant.weight));
      default:
        return Fail(Format("EXPRESSION:  No constant of kind %s can be pushed.", KindName(k).c_str()));
    }
  }

  // A variable's value or address: globals by address, locals by their offset from the
  // current frame, memory-mapped bytes by their fixed address.
  bool Variable(const CExpression& node, bool address) {
    const auto* variable = SymbolCast<CVarSymbol>(node.value.symbol);
    if (variable == nullptr || variable->statement == nullptr) {
      return Fail(Format("VARIABLE:  '%s' has no storage.", NameOf(node.value.symbol).c_str()));
    }
    const TypeKind v = node.value.BaseKind();
    const int column = KindColumn(v);
    if (column < 0) return Fail(Format("VARIABLE:  '%s' holds no value.", std::string(variable->name).c_str()));
    static constexpr int kGlobal[4] = {OP_PUSH_BYTE_GLOBAL, OP_PUSH_INT_GLOBAL, OP_PUSH_REAL_GLOBAL,
                                       OP_PUSH_FUZZY_GLOBAL};
    static constexpr int kStack[4] = {OP_PUSH_BYTE_STACK, OP_PUSH_INT_STACK, OP_PUSH_REAL_STACK,
                                      OP_PUSH_FUZZY_STACK};
    const int a = variable->statement->address;
    int opcode = 0;
    int word = 0;
    if (variable->frameDepth == 0) {
      opcode = address ? OP_PUSH_ADDRESS_GLOBAL : kGlobal[column];
      word = a;
    } else if (v == TYPE_ADDRESS) {
      opcode = address ? OP_PUSH_ADDRESS_GLOBAL : OP_PUSH_BYTE_GLOBAL;
      word = variable->type.ref;
    } else {
      opcode = address ? OP_PUSH_ADDRESS_STACK : kStack[column];
      if (!target.StackOperand(variable->frameDepth, a, KindSize(v), variable->name, word)) return false;
    }
    return Instruction(opcode, KindSize(TYPE_ADDRESS)) && Emitted(target.EmitWord(word));
  }

  // A range or rule pushes the address of its table.
  bool Table(const CExpression& node) {
    if (node.value.statement == nullptr) {
      return Fail(Format("EXPRESSION:  '%s' has no table.", NameOf(node.value.symbol).c_str()));
    }
    return Instruction(OP_PUSH_INT, KindSize(TYPE_INTEGER)) && Emitted(target.EmitWord(node.value.statement->address));
  }

  bool CallValue(const CExpression& node) {
    const auto* call = dynamic_cast<const CCallStatement*>(node.value.statement);
    if (call == nullptr || call->prototype == nullptr) return Fail("CALL:  Call of an unknown method.");
    const int fetch = ResultFetch(call->prototype->returnType.kind);
    // Without a result the call would leave the stack one value short.
    if (fetch < 0) {
      return Fail(Format("CALL:  '%s' returns no value; it can not be used in an expression.",
                         call->prototype->QualifiedName().c_str()));
    }
    tasks.push_back({Task::Fetch, &node, nullptr, TYPE_VOID, TYPE_VOID, fetch});
    tasks.push_back({Task::Call, nullptr, call});
    return true;
  }

  // The arguments go last to first, so the last one is pushed onto the work list last.
  bool Call(const CCallStatement& call) {
    if (call.prototype == nullptr) return Fail("CALL:  Call of an unknown method.");
    const auto& parameters = call.prototype->parameters;
    const size_t count = call.arguments == nullptr ? 0 : call.arguments->statements.size();
    if (count != parameters.size()) {
      return Fail(Format("CALL:  '%s' takes %d arguments, not %d.", call.prototype->QualifiedName().c_str(),
                         static_cast<int>(parameters.size()), static_cast<int>(count)));
    }
    tasks.push_back({Task::CallInstruction, nullptr, &call});
    for (size_t i = 0; i < count; ++i) {
      const auto* argument = dynamic_cast<const CParamStatement*>(call.arguments->statements[i]);
      if (argument == nullptr || argument->expression == nullptr || parameters[i] == nullptr) {
        return Fail(Format("CALL:  Argument %d of '%s' is missing.", static_cast<int>(i) + 1,
                           call.prototype->QualifiedName().c_str()));
      }
      PushConversion(argument->expression->kind, parameters[i]->type.kind);
      Push(Task::Value, argument->expression);
    }
    return true;
  }

  // OP_CALL and the method's address; a method generated later leaves a fixup.
  bool CallInstruction(const CCallStatement& call) {
    if (!Instruction(OP_CALL, KindSize(TYPE_ADDRESS))) return false;
    auto* method = dynamic_cast<CMethodStatement*>(call.prototype->statement);
    if (method == nullptr) {
      return Fail(Format("CALL:  '%s' is declared but has no method body.", call.prototype->QualifiedName().c_str()));
    }
    if (method->address != 0) return Emitted(target.EmitWord(method->address));
    const int here = target.AllocateCode(0);
    if (!Emitted(target.EmitWord(0))) return false;
    target.AddFixup(here, &method->address);
    return true;
  }

  bool Operator(const CExpression& node) {
    int opcode = -1;
    if (node.op == EXPR_IS) {
      const TypeKind tested = node.right == nullptr ? TYPE_VOID : node.right->value.BaseKind();
      opcode = tested == TYPE_RANGE ? OP_IS_RANGE : tested == TYPE_RULE ? OP_IS_RULE : -1;
    } else {
      opcode = OperatorCode(node.op, OperandKind(node));
    }
    if (opcode < 0) {
      return Fail(Format("EXPRESSION:  No instruction for this operator on %s values.",
                         KindName(OperandKind(node)).c_str()));
    }
    return Instruction(opcode);
  }

  CTarget& target;
  std::vector<Task> tasks;
};

}  // namespace

// An empty node, or an address asked of a node that has none, emits nothing and fails.
int Generate(const CExpression& node, CTarget& target) { return ExpressionGenerator(target).RunValue(node); }

int GenerateAddress(const CExpression& node, CTarget& target) { return ExpressionGenerator(target).RunAddress(node); }

int GenerateCall(const CCallStatement& call, CTarget& target) { return ExpressionGenerator(target).RunCall(call); }
