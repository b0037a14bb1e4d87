// Statement builders: each checks its operands, makes the statement and appends it to the current block.
#include <utility>

#include "semantic/compiler.h"

namespace {

const char kNoBlock[] = "(no block in scope)";

// The variable an assignment target stands for: the leaf of a variable, or the array leaf
// of an indexed element; null for anything else.
CVarSymbol* AssignedVariable(const CExpression& target) {
  const CExpression* leaf = &target;
  if (target.op == EXPR_INDEX) leaf = target.left.get();
  if (leaf == nullptr || leaf->op != EXPR_VAR) return nullptr;
  return dynamic_cast<CVarSymbol*>(leaf->value.symbol);
}

}  // namespace

CStatement* CCompiler::Append(std::unique_ptr<CStatement> statement, bool standsAlone) {
  CStatement* appended = statement.get();
  if (standsAlone)
    detached.push_back(std::move(statement));
  else
    currentBlock->Add(std::move(statement));
  return appended;
}

std::unique_ptr<CStatement> CCompiler::TakeDetached(CStatement* statement) {
  for (auto it = detached.rbegin(); it != detached.rend(); ++it) {
    if (it->get() != statement) continue;
    std::unique_ptr<CStatement> taken = std::move(*it);
    detached.erase(std::next(it).base());
    return taken;
  }
  return nullptr;
}

CBlock* CCompiler::NewArgumentBlock() {
  argumentBlocks.push_back(std::make_unique<CBlock>());
  return argumentBlocks.back().get();
}

std::unique_ptr<CBlock> CCompiler::TakeArgumentBlock(CBlock* block) {
  for (auto it = argumentBlocks.rbegin(); it != argumentBlocks.rend(); ++it) {
    if (it->get() != block) continue;
    std::unique_ptr<CBlock> taken = std::move(*it);
    argumentBlocks.erase(std::next(it).base());
    return taken;
  }
  return nullptr;
}

CBlock* CCompiler::NewDiscardedBody() {
  auto holder = std::make_unique<CBlockStatement>();
  CBlock* body = &holder->block;
  detached.push_back(std::move(holder));
  return body;
}

CClassStatement* CCompiler::NewClassStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("CLASS:  Error; missing method name.");
  auto* classSymbol = dynamic_cast<CClassSymbol*>(symbol);
  if (classSymbol == nullptr)
    return Refuse("CLASS:  Error; attempting to declare a non-variable symbol as a variable. Huh?");
  auto* statement =
      static_cast<CClassStatement*>(Append(std::make_unique<CClassStatement>(classSymbol), false));
  classSymbol->statement = statement;
  return statement;
}

CRangeStatement* CCompiler::NewRangeStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("RANGE:  Error; missing symbol name.");
  auto* range = dynamic_cast<CRangeSymbol*>(symbol);
  if (range == nullptr)
    return Refuse("RANGE:  Error; attempting to declare a non-range symbol as a range. Huh?");
  auto* statement =
      static_cast<CRangeStatement*>(Append(std::make_unique<CRangeStatement>(range), false));
  range->statement = statement;
  return statement;
}

CRuleStatement* CCompiler::NewRuleStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("RULE:  Error; missing symbol name.");
  auto* rule = dynamic_cast<CRuleSymbol*>(symbol);
  if (rule == nullptr)
    return Refuse("RULE:  Error; attempting to declare a non-rule symbol as a rule. Huh?");
  auto* statement =
      static_cast<CRuleStatement*>(Append(std::make_unique<CRuleStatement>(rule), false));
  rule->statement = statement;
  return statement;
}

CMethodStatement* CCompiler::NewMethodStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("METHOD:  Error; missing method name.");
  auto* probe = dynamic_cast<CProtoSymbol*>(symbol);
  if (probe == nullptr)
    return Refuse(
        "METHOD:  Error; attempting to declare a non-prototype symbol as a prototype. Huh?");
  CProtoSymbol* declared = FindPrototype(probe, true);
  if (declared == nullptr)
    return Refuse("METHOD:  Method definition does not match any known method prototype.");
  auto* statement =
      static_cast<CMethodStatement*>(Append(std::make_unique<CMethodStatement>(declared), false));
  declared->statement = statement;
  return statement;
}

CVarStatement* CCompiler::NewVarStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("VARIABLE:  Error; missing method name.");
  auto* variable = dynamic_cast<CVarSymbol*>(symbol);
  if (variable == nullptr)
    return Refuse(
        "VARIABLE:  Error; attempting to declare a non-variable symbol as a variable. Huh?");
  auto* statement =
      static_cast<CVarStatement*>(Append(std::make_unique<CVarStatement>(variable), false));
  variable->statement = statement;
  return statement;
}

CAssignStatement* CCompiler::NewAssignStatement(std::unique_ptr<CExpression> target,
                                                std::unique_ptr<CExpression> value) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (value == nullptr) return Refuse("ASSIGN:  Requires a valid expression.");
  if (target == nullptr) return Refuse("ASSIGN: Requires a valid left-hand side.");
  CVarSymbol* variable = AssignedVariable(*target);
  if (variable == nullptr) return Refuse("ASSIGN:  Left-hand side must be a valid variable.");
  const TypeKind kind = variable->type.BaseKind();
  if (CompareKinds(value->value.BaseKind(), kind) == MATCH_NONE)
    return Refuse("ASSIGN:  Right-hand side must be type compatible with Left-hand side.");
  WarnNarrowing(*value, kind);
  if (value->op == EXPR_CONST) value->CastTo(kind);  // stored already converted
  return static_cast<CAssignStatement*>(
      Append(std::make_unique<CAssignStatement>(kind, std::move(target), std::move(value)), false));
}

COutStatement* CCompiler::NewOutStatement(std::unique_ptr<CExpression> expression, int asChar) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return Refuse("ASSIGN:  Requires a valid expression.");
  return static_cast<COutStatement*>(
      Append(std::make_unique<COutStatement>(std::move(expression), asChar != 0 ? 1 : 0), false));
}

COutStatement* CCompiler::NewOutStringStatement(const char* text) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (text == nullptr) return Refuse("ASSIGN:  Requires a valid string.");
  return static_cast<COutStatement*>(
      Append(std::make_unique<COutStatement>(std::string(text)), false));
}

CBlockStatement* CCompiler::NewBlockStatement() {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  return static_cast<CBlockStatement*>(Append(std::make_unique<CBlockStatement>(), false));
}

CCallStatement* CCompiler::NewCallStatement(CSymbol* symbol, CBlock* arguments, int append) {
  // The argument block is the compiler's until a call takes it; a block it did not make
  // (possible only after a syntax error confused the block stack) stays where it belongs.
  std::unique_ptr<CBlock> argumentBlock = TakeArgumentBlock(arguments);
  if (argumentBlock == nullptr) argumentBlock = std::make_unique<CBlock>();
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("CALL:  Error; missing method name.");
  if (dynamic_cast<CProtoSymbol*>(symbol) == nullptr)
    return Refuse("CALL:  Attempt to call non-method symbol.");
  CProtoSymbol* probe = CopyPrototype(symbol);
  PushContext(probe);
  for (const auto& statement : argumentBlock->statements) {
    const auto* argument = dynamic_cast<const CParamStatement*>(statement.get());
    AddCallArgument(argument == nullptr ? nullptr : argument->expression.get());
  }
  PopContext();
  CProtoSymbol* matched = FindPrototype(probe, true);
  if (matched == nullptr) matched = FindPrototype(probe, false);
  DiscardPrototype(probe);
  if (matched == nullptr)
    return Refuse("CALL:  Call parameters do not match any known method prototype.");
  for (size_t i = 0; i < argumentBlock->statements.size() && i < matched->parameters.size(); ++i) {
    const auto* argument = dynamic_cast<const CParamStatement*>(argumentBlock->statements[i].get());
    if (argument != nullptr && argument->expression != nullptr)
      WarnNarrowing(*argument->expression, matched->parameters[i]->type.BaseKind());
  }
  return static_cast<CCallStatement*>(
      Append(std::make_unique<CCallStatement>(matched, std::move(argumentBlock)), append == 0));
}

CParamStatement* CCompiler::NewParamStatement(std::unique_ptr<CExpression> expression) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return Refuse("PARAM:  Invalid call parameter.");
  return static_cast<CParamStatement*>(
      Append(std::make_unique<CParamStatement>(std::move(expression)), false));
}

// A missing condition means its own builder failed and already left the message.
CLoopStatement* CCompiler::NewLoopStatement(std::unique_ptr<CExpression> condition) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (condition == nullptr) return nullptr;
  return static_cast<CLoopStatement*>(
      Append(std::make_unique<CLoopStatement>(std::move(condition)), false));
}

CDecideStatement* CCompiler::NewDecideStatement(std::unique_ptr<CExpression> condition,
                                                int detachedClause) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (condition == nullptr) return nullptr;
  return static_cast<CDecideStatement*>(
      Append(std::make_unique<CDecideStatement>(std::move(condition)), detachedClause != 0));
}

CWithStatement* CCompiler::NewWithStatement(std::unique_ptr<CExpression> expression) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return nullptr;
  return static_cast<CWithStatement*>(
      Append(std::make_unique<CWithStatement>(std::move(expression)), false));
}

CClearStatement* CCompiler::NewClearStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  auto* variable = dynamic_cast<CVarSymbol*>(symbol);
  if (variable == nullptr) return Refuse("Clear:  can only clear variables.");
  if (variable->type.BaseKind() != TYPE_FUZZY) return Refuse("Clear:  requires a Fuzzy variable.");
  variable->used = true;
  return static_cast<CClearStatement*>(Append(std::make_unique<CClearStatement>(variable), false));
}
