// Statement builders: each checks its operands, makes the statement and appends it to the current block.
#include <cstring>

#include "semantic/compiler.h"

namespace {

const char kNoBlock[] = "(no block in scope)";

// The variable an assignment target stands for: the leaf of a variable, or the array leaf
// of an indexed element; null for anything else.
CVarSymbol* AssignedVariable(const CExpression& target) {
  const CExpression* leaf = &target;
  if (target.op == EXPR_INDEX) leaf = target.left;
  if (leaf == nullptr || leaf->op != EXPR_VAR) return nullptr;
  return SymbolCast<CVarSymbol>(leaf->value.symbol);
}

}  // namespace

CBlock* CCompiler::NewArgumentBlock() {
  CBlock* block = Nodes().Make<CBlock>();
  argumentBlocks.push_back(block);
  return block;
}

bool CCompiler::TakeArgumentBlock(CBlock* block) {
  for (auto it = argumentBlocks.rbegin(); it != argumentBlocks.rend(); ++it) {
    if (*it != block) continue;
    argumentBlocks.erase(std::next(it).base());
    return true;
  }
  return false;
}

CBlock* CCompiler::NewDiscardedBody() { return &Nodes().Make<CBlockStatement>()->block; }

CClassStatement* CCompiler::NewClassStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("CLASS:  Error; missing method name.");
  auto* classSymbol = SymbolCast<CClassSymbol>(symbol);
  if (classSymbol == nullptr)
    return Refuse("CLASS:  Error; attempting to declare a non-variable symbol as a variable. Huh?");
  auto* statement =
      Append(arena.Make<CClassStatement>(classSymbol), false);
  classSymbol->statement = statement;
  return statement;
}

CRangeStatement* CCompiler::NewRangeStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("RANGE:  Error; missing symbol name.");
  auto* range = SymbolCast<CRangeSymbol>(symbol);
  if (range == nullptr)
    return Refuse("RANGE:  Error; attempting to declare a non-range symbol as a range. Huh?");
  auto* statement =
      Append(arena.Make<CRangeStatement>(range), false);
  range->statement = statement;
  return statement;
}

CRuleStatement* CCompiler::NewRuleStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("RULE:  Error; missing symbol name.");
  auto* rule = SymbolCast<CRuleSymbol>(symbol);
  if (rule == nullptr)
    return Refuse("RULE:  Error; attempting to declare a non-rule symbol as a rule. Huh?");
  auto* statement =
      Append(arena.Make<CRuleStatement>(rule), false);
  rule->statement = statement;
  return statement;
}

CMethodStatement* CCompiler::NewMethodStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("METHOD:  Error; missing method name.");
  auto* probe = SymbolCast<CProtoSymbol>(symbol);
  if (probe == nullptr)
    return Refuse(
        "METHOD:  Error; attempting to declare a non-prototype symbol as a prototype. Huh?");
  CProtoSymbol* declared = FindPrototype(probe, true);
  if (declared == nullptr)
    return Refuse("METHOD:  Method definition does not match any known method prototype.");
  // A second definition replaces the first for every call, also the ones already generated.
  if (declared->statement != nullptr) AbortStreamIfGenerated();
  auto* statement =
      Append(arena.Make<CMethodStatement>(declared), false);
  declared->statement = statement;
  return statement;
}

CVarStatement* CCompiler::NewVarStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("VARIABLE:  Error; missing method name.");
  auto* variable = SymbolCast<CVarSymbol>(symbol);
  if (variable == nullptr)
    return Refuse(
        "VARIABLE:  Error; attempting to declare a non-variable symbol as a variable. Huh?");
  auto* statement =
      Append(ArenaOf(variable).Make<CVarStatement>(variable), false);
  variable->statement = statement;
  return statement;
}

CAssignStatement* CCompiler::NewAssignStatement(CExpression* target, CExpression* value) {
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
  return Append(Nodes().Make<CAssignStatement>(kind, target, value), false);
}

COutStatement* CCompiler::NewOutStatement(CExpression* expression, int asChar) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return Refuse("ASSIGN:  Requires a valid expression.");
  return Append(Nodes().Make<COutStatement>(expression, asChar != 0 ? 1 : 0), false);
}

COutStatement* CCompiler::NewOutStringStatement(const char* text) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (text == nullptr) return Refuse("ASSIGN:  Requires a valid string.");
  return Append(Nodes().Make<COutStatement>(Nodes().Text(text, std::strlen(text))), false);
}

CBlockStatement* CCompiler::NewBlockStatement() {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  return Append(Nodes().Make<CBlockStatement>(), false);
}

CCallStatement* CCompiler::NewCallStatement(CSymbol* symbol, CBlock* arguments, int append) {
  // The argument block is pending until a call takes it; a block that is not (possible only
  // after a syntax error confused the block stack) stays where it belongs.
  CBlock* argumentBlock = TakeArgumentBlock(arguments) ? arguments : Nodes().Make<CBlock>();
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (symbol == nullptr) return Refuse("CALL:  Error; missing method name.");
  if (SymbolCast<CProtoSymbol>(symbol) == nullptr)
    return Refuse("CALL:  Attempt to call non-method symbol.");
  CProtoSymbol* probe = CopyPrototype(symbol);
  PushContext(probe);
  for (const CStatement* statement : argumentBlock->statements) {
    const auto* argument = dynamic_cast<const CParamStatement*>(statement);
    AddCallArgument(argument == nullptr ? nullptr : argument->expression);
  }
  PopContext();
  CProtoSymbol* matched = FindPrototype(probe, true);
  if (matched == nullptr) matched = FindPrototype(probe, false);
  DiscardPrototype(probe);
  if (matched == nullptr)
    return Refuse("CALL:  Call parameters do not match any known method prototype.");
  // A method defined further on: the body that calls it waits for the end to be generated.
  if (matched->statement == nullptr) forwardCall = true;
  for (size_t i = 0; i < argumentBlock->statements.size() && i < matched->parameters.size(); ++i) {
    const auto* argument = dynamic_cast<const CParamStatement*>(argumentBlock->statements[i]);
    if (argument != nullptr && argument->expression != nullptr)
      WarnNarrowing(*argument->expression, matched->parameters[i]->type.BaseKind());
  }
  return Append(Nodes().Make<CCallStatement>(matched, argumentBlock), append == 0);
}

CParamStatement* CCompiler::NewParamStatement(CExpression* expression) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return Refuse("PARAM:  Invalid call parameter.");
  return Append(Nodes().Make<CParamStatement>(expression), false);
}

// A missing condition means its own builder failed and already left the message.
CLoopStatement* CCompiler::NewLoopStatement(CExpression* condition) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (condition == nullptr) return nullptr;
  return Append(Nodes().Make<CLoopStatement>(condition), false);
}

CDecideStatement* CCompiler::NewDecideStatement(CExpression* condition, int detachedClause) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (condition == nullptr) return nullptr;
  return Append(Nodes().Make<CDecideStatement>(condition), detachedClause != 0);
}

CWithStatement* CCompiler::NewWithStatement(CExpression* expression) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  if (expression == nullptr) return nullptr;
  return Append(Nodes().Make<CWithStatement>(expression), false);
}

CClearStatement* CCompiler::NewClearStatement(CSymbol* symbol) {
  if (currentBlock == nullptr) return Refuse(kNoBlock);
  auto* variable = SymbolCast<CVarSymbol>(symbol);
  if (variable == nullptr) return Refuse("Clear:  can only clear variables.");
  if (variable->type.BaseKind() != TYPE_FUZZY) return Refuse("Clear:  requires a Fuzzy variable.");
  variable->used = true;
  return Append(Nodes().Make<CClearStatement>(variable), false);
}
