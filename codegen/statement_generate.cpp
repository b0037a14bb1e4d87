// Byte code of statements: control flow with forward jumps patched once their target is known,
// method frames and returns, calls, assignments, output, WEIGHT, CLEAR and the fuzzy tables.
#include <string>

#include "codegen/code_generator.h"
#include "codegen/conversion.h"
#include "image/target.h"
#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "platform/format.h"

namespace {

// A text's length byte counts the terminating zero.
constexpr size_t kMaxText = 254;
// OP_RETURN pops the parameters by a one-byte count.
constexpr int kMaxParameterBytes = 255;
// A rule's table starts with a one-byte entry count.
constexpr size_t kMaxRuleEntries = 255;
// The interrupt vectors in the image header.
constexpr int kVectorTable = kImageBase + kVectorOffset;

int Here(CTarget& target) { return target.AllocateCode(0); }

int Fail(CTarget& target, const std::string& message) {
  target.errorText = message;
  return 0;
}

// A forward jump: the opcode, then a placeholder word; returns the placeholder's address.
int EmitForwardJump(CTarget& target, Opcode opcode) {
  target.EmitInstruction(opcode, 2);
  const int placeholder = Here(target);
  target.EmitWord(0);
  return placeholder;
}

bool IsInterrupt(const CType& type) {
  return type.kind == TYPE_ADDRESS && (type.flags & TYPE_FLAG_INTERRUPT) != 0;
}

// The instruction of a kind's family (byte and address share the first); -1 for other kinds.
int ByKind(TypeKind kind, int byteCode, int intCode, int realCode, int fuzzyCode) {
  switch (kind) {
    case TYPE_BYTE:
    case TYPE_ADDRESS: return byteCode;
    case TYPE_INTEGER: return intCode;
    case TYPE_REAL: return realCode;
    case TYPE_FUZZY: return fuzzyCode;
    default: return -1;
  }
}

// The statement's main instruction; its address becomes the statement's address.
int EmitMain(CTarget& target, int opcode, int32_t& address) {
  const int at = target.EmitInstruction(static_cast<Opcode>(opcode));
  if (at < 0) return target.FailCodeFull();
  address = at;
  return 1;
}

// One step of a statement, by its kind. The statements around inner blocks take several steps
// (see CCodeGenerator); the others generate in one.
class StatementStep final : public CStatementVisitor {
 public:
  StatementStep(CCodeGenerator& driver, GenerationStep& state)
      : generator(driver), target(driver.target), step(state) {}

  // A kind without its own generator fails the build.
  int Visit(CStatement&) override { return 0; }
  int Visit(CBlockStatement& statement) override;
  int Visit(CDecideStatement& statement) override;
  int Visit(CLoopStatement& statement) override;
  int Visit(CMethodStatement& statement) override;
  int Visit(CCallStatement& statement) override { return GenerateCall(statement, target); }
  int Visit(CParamStatement& statement) override;
  int Visit(CAssignStatement& statement) override;
  int Visit(COutStatement& statement) override;
  int Visit(CWithStatement& statement) override;
  int Visit(CClearStatement& statement) override;
  int Visit(CVarStatement&) override { return 1; }
  int Visit(CClassStatement&) override { return 1; }
  int Visit(CRangeStatement& statement) override;
  int Visit(CRuleStatement& statement) override;

 private:
  CCodeGenerator& generator;
  CTarget& target;
  GenerationStep& step;
};

}  // namespace

// ---- Blocks and control flow ----

int StatementStep::Visit(CBlockStatement& statement) {
  if (step.step++ == 0) return generator.Then(statement.block, false);
  return step.inner;
}

// saved[0]: the IF0's placeholder; saved[1]: the JUMP's past the ELSE part; saved[2]: where the
// ELSEIF or ELSE code starts (or the end, without one).
int StatementStep::Visit(CDecideStatement& statement) {
  const bool hasElse = statement.elseIf != nullptr || !statement.elseBlock.IsEmpty();
  switch (step.step) {
    case 0:
      if (statement.condition == nullptr || Generate(*statement.condition, target) == 0) return 0;
      step.saved[0] = EmitForwardJump(target, OP_IF0);
      step.step = 1;
      return generator.Then(statement.thenBlock, false);
    case 1:
      if (hasElse) step.saved[1] = EmitForwardJump(target, OP_JUMP);
      step.saved[2] = Here(target);
      if (step.inner == 0) return 0;
      if (hasElse) {
        step.step = 2;
        return statement.elseIf != nullptr ? generator.Then(*statement.elseIf)
                                           : generator.Then(statement.elseBlock, false);
      }
      target.PatchWord(step.saved[0], step.saved[2]);
      return step.inner;
    default:
      if (step.inner == 0) return 0;
      target.PatchWord(step.saved[1], Here(target));
      target.PatchWord(step.saved[0], step.saved[2]);
      return step.inner;
  }
}

// address: the condition's first instruction, where each pass jumps back to; saved[0]: the
// IF0's placeholder, patched to the end.
int StatementStep::Visit(CLoopStatement& statement) {
  if (step.step == 0) {
    const int start = Here(target);
    if (start < 0) return target.FailCodeFull();
    statement.address = start;
    if (statement.condition == nullptr || Generate(*statement.condition, target) == 0) return 0;
    step.saved[0] = EmitForwardJump(target, OP_IF0);
    step.step = 1;
    return generator.Then(statement.body, false);
  }
  if (step.inner != 0) {
    target.EmitInstruction(OP_JUMP, 2);
    target.EmitWord(statement.address);
    target.PatchWord(step.saved[0], Here(target));
  }
  return step.inner;
}

// start is where the program begins: no forced frame and no return.  Every other method opens a
// frame of at least one byte and returns, popping its parameters; an interrupt method enters
// its address in its vector and returns from the interrupt.
int StatementStep::Visit(CMethodStatement& statement) {
  const CProtoSymbol* prototype = statement.prototype;
  if (prototype == nullptr) return Fail(target, "METHOD:  Error; missing method.");
  const bool isStart = prototype->name == "start";
  const CType& result = prototype->returnType;
  if (step.step == 0) {
    if (prototype->parameterBytes < 0 || prototype->parameterBytes > kMaxParameterBytes) {
      return Fail(target, Format("METHOD:  '%s' has %d bytes of parameters; at most %d can be passed.",
                                 prototype->QualifiedName().c_str(), prototype->parameterBytes, kMaxParameterBytes));
    }
    if (IsInterrupt(result) && (result.ref < 0 || result.ref >= kVectorCount)) {
      return Fail(target, Format("METHOD:  Interrupt number %d of '%s' is not one of 0 to %d.", result.ref,
                                 prototype->QualifiedName().c_str(), kVectorCount - 1));
    }
    statement.address = Here(target);
    if (isStart) target.startAddress = statement.address;
    step.step = 1;
    return generator.Then(statement.body, !isStart);
  }
  if (isStart) return step.inner;
  if (IsInterrupt(result)) {
    target.PatchWord(kVectorTable + 2 * result.ref, statement.address);
    target.EmitInstruction(OP_RETURN_INTERRUPT);
  } else {
    target.EmitInstruction(OP_RETURN, 2);
    target.EmitByte(prototype->parameterBytes & 0xFF);
    target.EmitByte((252 - result.Size()) & 0xFF);
  }
  return step.inner;
}

// ---- Calls ----

int StatementStep::Visit(CParamStatement& statement) {
  if (statement.expression == nullptr) return Fail(target, "CALL:  Missing argument.");
  return Generate(*statement.expression, target);
}

// ---- Data statements ----

int StatementStep::Visit(CAssignStatement& statement) {
  const TypeKind kind = statement.kind;
  if (statement.target == nullptr || GenerateAddress(*statement.target, target) == 0) return 0;
  if (statement.value == nullptr || Generate(*statement.value, target) == 0) return 0;
  EmitConversion(statement.value->kind, kind, target);
  const int opcode = ByKind(kind, OP_ASSIGN_BYTE, OP_ASSIGN_INT, OP_ASSIGN_REAL, OP_ASSIGN_FUZZY);
  if (opcode < 0) return Fail(target, Format("ASSIGN:  No assignment of %s values.", KindName(kind).c_str()));
  return EmitMain(target, opcode, statement.address);
}

int StatementStep::Visit(COutStatement& statement) {
  const auto& text = statement.text;
  const auto& expression = statement.expression;
  if (text.has_value()) {
    // The length byte counts the text and its zero: a longer text would wrap it.
    if (text->size() > kMaxText) {
      return Fail(target, Format("OUT:  Text of %d characters is too long; at most %d can be written.",
                                 static_cast<int>(text->size()), static_cast<int>(kMaxText)));
    }
    const int at = target.EmitInstruction(OP_OUT_STRING, static_cast<int>(text->size()) + 1);
    if (at < 0) return target.FailCodeFull();
    statement.address = at;
    for (char c : *text) target.EmitByte(static_cast<unsigned char>(c));
    target.EmitByte(0);
    return 1;
  }
  if (expression == nullptr) return Fail(target, "OUT:  Nothing to write.");
  if (Generate(*expression, target) == 0) return 0;
  int opcode = OP_OUT_CHAR;
  if (statement.asChar != 0) {
    EmitConversion(expression->kind, TYPE_BYTE, target);
  } else {
    opcode = ByKind(expression->kind, OP_OUT_BYTE, OP_OUT_INT, OP_OUT_REAL, OP_OUT_FUZZY);
    if (opcode < 0) return Fail(target, Format("OUT:  No output of %s values.", KindName(expression->kind).c_str()));
  }
  return EmitMain(target, opcode, statement.address);
}

int StatementStep::Visit(CWithStatement& statement) {
  const auto& expression = statement.expression;
  if (expression == nullptr || Generate(*expression, target) == 0) return 0;
  EmitConversion(expression->kind, TYPE_BYTE, target);
  return EmitMain(target, OP_SET_WEIGHT, statement.address);
}

int StatementStep::Visit(CClearStatement& statement) {
  const CVarSymbol* symbol = statement.symbol;
  if (symbol == nullptr || symbol->statement == nullptr) return Fail(target, "CLEAR:  Missing variable.");
  const int storage = symbol->statement->address;
  int word = storage;
  Opcode opcode = OP_PUSH_ADDRESS_GLOBAL;
  if (symbol->frameDepth > 0) {
    if (!target.StackOperand(symbol->frameDepth, storage, KindSize(TYPE_FUZZY), symbol->name, word)) return 0;
    opcode = OP_PUSH_ADDRESS_STACK;
  }
  target.EmitInstruction(opcode, 2);
  target.EmitWord(word);
  return EmitMain(target, OP_CLEAR, statement.address);
}

// ---- Tables: filled in place, before the code ----

int StatementStep::Visit(CRangeStatement& statement) {
  const CRangeSymbol* symbol = statement.symbol;
  const int address = statement.address;
  if (symbol == nullptr) return Fail(target, "RANGE:  Missing range.");
  target.PatchByte(address, symbol->center);
  target.PatchByte(address + 1, symbol->edge);
  target.PatchByte(address + 2, symbol->plateau);
  return 1;
}

int StatementStep::Visit(CRuleStatement& statement) {
  const CRuleSymbol* symbol = statement.symbol;
  const int address = statement.address;
  if (symbol == nullptr) return Fail(target, "RULE:  Missing rule.");
  const size_t count = symbol->entries.size();
  // The count byte would wrap, and the table would read as a shorter rule.
  if (count > kMaxRuleEntries) {
    return Fail(target, Format("RULE:  '%s' has %d entries; a rule holds at most %d.", std::string(symbol->name).c_str(),
                               static_cast<int>(count), static_cast<int>(kMaxRuleEntries)));
  }
  target.PatchByte(address, static_cast<int>(count));
  int at = address + 1;
  for (const auto& entry : symbol->entries) {
    if (entry == nullptr || entry->range == nullptr) return Fail(target, "RULE:  Range not found.");
    target.PatchByte(at, entry->range->center);
    target.PatchByte(at + 1, entry->range->edge);
    target.PatchByte(at + 2, entry->range->plateau);
    target.PatchByte(at + 3, entry->result);
    at += 4;
  }
  return 1;
}

int CCodeGenerator::Step(CStatement& statement, GenerationStep& step) {
  StatementStep visitor(*this, step);
  return statement.Accept(visitor);
}
