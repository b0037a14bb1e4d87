// Declarations: names become symbols in the scope table, and declared things get their storage.
#include <algorithm>
#include <utility>

#include "platform/format.h"
#include "semantic/compiler.h"

namespace {

// The frame operand of the interpreter's open and close instructions is one byte.
constexpr int32_t kMaxFrameBytes = 255;
// So is the parameter count that the return instruction pops.
constexpr int32_t kMaxParameterBytes = 255;
// Interrupt vectors of the chip, numbered from 0.
constexpr int32_t kInterruptVectors = 13;
// Parameters lie below the frame base, beyond the frame link and the return address.
constexpr int32_t kFirstParameterDistance = 6;

bool IsConstant(const CExpression* expression) {
  return expression != nullptr && expression->op == EXPR_CONST;
}

// A copy of a constant expression's value converted to Byte; false when incompatible.
bool ConstantByte(const CExpression& expression, uint8_t& byte) {
  CValue copy;
  copy.Assign(expression.value);
  if (copy.ConvertTo(TYPE_BYTE) == 0) return false;
  byte = copy.AsByte();
  return true;
}

}  // namespace

bool CCompiler::IsRedefinition(std::string_view name) {
  // Only a name entered at this level clashes: inside a scope those are all in scopedNames.
  const CNameIndex& index = scope.currentLevel > 0 ? scopedNames : fileNames;
  const CNameIndex::Entry* newest = index.Find(CurrentContext(), name);
  return newest != nullptr && newest->level == scope.currentLevel;
}

CClassSymbol* CCompiler::DeclareClass(std::string_view name) {
  if (IsRedefinition(name)) {
    errorText = Format("DEFINE:  '%s' name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* declared = MakeSymbolIn<CClassSymbol>(arena, name, CurrentContext());
  Enter(declared);
  return declared;
}

CVarSymbol* CCompiler::DeclareVariable(std::string_view name, const CType* type) {
  if (IsRedefinition(name)) {
    errorText = Format("'%s' : name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* declared = MakeSymbol<CVarSymbol>(name, CurrentContext());
  if (type != nullptr) declared->type.Assign(*type);
  declared->frameDepth = 0;
  Enter(declared);
  NoteDeclared(declaredVariables, declared);
  return declared;
}

CConstSymbol* CCompiler::DeclareConstant(std::string_view name, const CExpression* expression) {
  if (expression == nullptr) {
    errorText = "CONSTANT:  Requires valid expression.";
    return nullptr;
  }
  if (!IsConstant(expression)) {
    errorText = "CONSTANT:  Expression does not evaluate to a constant. ";
    return nullptr;
  }
  if (IsRedefinition(name)) {
    errorText = Format("'%s' : name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* declared = MakeSymbol<CConstSymbol>(name, CurrentContext());
  declared->value.Assign(expression->value);
  Enter(declared);
  return declared;
}

CProtoSymbol* CCompiler::CreatePrototype(std::string_view name) {
  auto* created = MakeSymbolIn<CProtoSymbol>(arena, name, CurrentContext());
  unentered.push_back(created);
  return created;
}

CVarSymbol* CCompiler::AddParameter(std::string_view name, const CType* type) {
  if (IsRedefinition(name)) {
    errorText = Format("'%s' : name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* prototype = SymbolCast<CProtoSymbol>(CurrentContext());
  if (prototype == nullptr) {
    errorText = "PARAMETE: Internal error, can not add parameter to non-prototype symbol.";
    return nullptr;
  }
  // A declared prototype's parameters last with it; a probe's go with the body.
  CArena& with = ArenaOf(prototype);
  auto* added = MakeSymbolIn<CVarSymbol>(with, name, prototype);
  if (type != nullptr) added->type.Assign(*type);
  prototype->parameters.Add(with, added);
  return added;
}

int CCompiler::DeclarePrototype(const CType* returnType, CSymbol* symbol) {
  if (symbol == nullptr) {
    errorText = "METHOD:  Error; no symbol to declare.";
    return 0;
  }
  auto* prototype = SymbolCast<CProtoSymbol>(symbol);
  if (prototype == nullptr) {
    errorText = "METHOD:  Error; attempting to declare non-prototype symbol as prototype.";
    return 0;
  }
  if (returnType != nullptr && (returnType->flags & TYPE_FLAG_INTERRUPT) != 0 &&
      (returnType->ref < 0 || returnType->ref >= kInterruptVectors)) {
    // The handler's address goes into the header's vector table, which has 13 entries.
    errorText = Format("Interrupt: '%s' requires an interrupt number from 0 to 12.",
                       std::string(prototype->name).c_str());
    return 0;
  }
  int64_t parameterBytes = 0;
  bool negative = false;
  for (const auto& parameter : prototype->parameters) {
    const int32_t size = parameter->type.Size();
    negative = negative || size < 0;
    parameterBytes += size;
  }
  if (negative || parameterBytes > kMaxParameterBytes) {
    // The return instruction pops the parameters with a one-byte count.
    errorText = Format("METHOD:  Parameters of '%s' exceed 255 bytes.", std::string(prototype->name).c_str());
    return 0;
  }
  CSymbol* owner = CurrentContext();
  // An exact repeat of a prototype of this owner at this level would only be hidden by the
  // newer one; so is one already entered (reached here only through a confused context).
  const bool pending = std::find(unentered.begin(), unentered.end(), prototype) != unentered.end();
  if (!pending || FindPrototypeAt(prototype, scope.currentLevel, owner, true) != nullptr) {
    errorText = "METHOD:  Method already exists.";
    return 0;
  }
  if (returnType != nullptr) prototype->returnType.Assign(*returnType);
  prototype->owner = owner;
  TakeUnentered(prototype);
  Enter(prototype);
  NoteDeclared(declaredMethods, prototype);
  return 1;
}

CProtoSymbol* CCompiler::CopyPrototype(CSymbol* symbol) {
  if (symbol == nullptr) {
    errorText = "METHOD:  Interal error, missing symbol.";
    return nullptr;
  }
  auto* original = SymbolCast<CProtoSymbol>(symbol);
  if (original == nullptr) {
    errorText = "METHOD:  Internal error, symbol not a prototype.";
    return nullptr;
  }
  // The name is the original's, which lasts as long as the copy.
  auto* probe = Nodes().Make<CProtoSymbol>(original->name, original->owner);
  probe->level = original->level;
  probe->returnType.Assign(original->returnType);
  unentered.push_back(probe);
  return probe;
}

CVarSymbol* CCompiler::AddCallArgument(const CExpression* expression) {
  auto* probe = SymbolCast<CProtoSymbol>(CurrentContext());
  if (probe == nullptr) {
    errorText = "PARAMETER: Internal error, can not add parameter to non-prototype symbol.";
    return nullptr;
  }
  CArena& with = ArenaOf(probe);
  auto* added = with.Make<CVarSymbol>("<param>", probe);
  if (expression != nullptr) added->type.Assign(expression->value.Resolved());
  probe->parameters.Add(with, added);
  return added;
}

CProtoSymbol* CCompiler::FindPrototype(const CProtoSymbol* probe, bool exact) {
  if (probe == nullptr) return nullptr;
  return FindPrototypeAt(probe, probe->level, probe->owner, exact);
}

CProtoSymbol* CCompiler::FindPrototypeAt(const CProtoSymbol* probe, int32_t level,
                                         const CSymbol* owner, bool exact) {
  auto matching = [&](CSymbol* symbol) -> CProtoSymbol* {
    auto* candidate = SymbolCast<CProtoSymbol>(symbol);
    if (candidate == nullptr || candidate->parameters.size() != probe->parameters.size()) return nullptr;
    for (size_t i = 0; i < probe->parameters.size(); ++i) {
      const KindMatch match = CompareKinds(probe->parameters[i]->type.BaseKind(),
                                           candidate->parameters[i]->type.BaseKind());
      if (match == MATCH_NONE || (exact && match != MATCH_SAME)) return nullptr;
    }
    return candidate;
  };
  // Newest first: the names of the open scopes, then the file-level ones.
  for (const CNameIndex* index : {&scopedNames, &fileNames}) {
    if (index->empty()) continue;
    for (const CNameIndex::Entry* entry = index->Find(owner, probe->name); entry != nullptr;
         entry = index->Older(*entry)) {
      if (entry->level != level) continue;
      if (CProtoSymbol* found = matching(entry->symbol)) return found;
    }
  }
  return nullptr;
}

void CCompiler::DiscardPrototype(CSymbol* prototype) {
  if (prototype == nullptr) return;
  if (std::find(contextStack.begin(), contextStack.end(), prototype) != contextStack.end()) return;
  TakeUnentered(prototype);  // it stays in the arena, unreached
}

bool CCompiler::TakeUnentered(CSymbol* symbol) {
  // The one wanted is almost always the newest.
  for (auto it = unentered.rbegin(); it != unentered.rend(); ++it) {
    if (*it != symbol) continue;
    unentered.erase(std::next(it).base());
    return true;
  }
  return false;
}

CRangeSymbol* CCompiler::DeclareRange(std::string_view name, const CExpression* center,
                                      const CExpression* plateau, const CExpression* edge) {
  if (center == nullptr || plateau == nullptr || edge == nullptr) {
    errorText = "RANGE:  All parameters must be valid expressions.";
    return nullptr;
  }
  if (!IsConstant(center) || !IsConstant(plateau) || !IsConstant(edge)) {
    errorText = "RANGE:  All parameters must evaluate to constant values.";
    return nullptr;
  }
  uint8_t bytes[3] = {0, 0, 0};
  if (!ConstantByte(*center, bytes[0]) || !ConstantByte(*plateau, bytes[1]) ||
      !ConstantByte(*edge, bytes[2])) {
    errorText = "RANGE:  All parameters must be compatible with Byte data types.";
    return nullptr;
  }
  if (IsRedefinition(name)) {
    errorText = Format("'%s' : name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* declared = MakeSymbolIn<CRangeSymbol>(arena, name, CurrentContext());
  declared->center = bytes[0];
  declared->plateau = bytes[1];
  declared->edge = bytes[2];
  Enter(declared);
  return declared;
}

CRuleSymbol* CCompiler::DeclareRule(std::string_view name) {
  if (IsRedefinition(name)) {
    errorText = Format("'%s' : name redefinition.", std::string(name).c_str());
    return nullptr;
  }
  auto* declared = MakeSymbolIn<CRuleSymbol>(arena, name, CurrentContext());
  Enter(declared);
  return declared;
}

CRangeValueSymbol* CCompiler::AddRuleEntry(std::string_view rangeName,
                                           const CExpression* result) {
  CRangeSymbol* range = FindRange(rangeName);
  if (range == nullptr) {
    errorText = "RULE: Range not found.";
    return nullptr;
  }
  auto* rule = SymbolCast<CRuleSymbol>(CurrentContext());
  if (rule == nullptr) {
    errorText = "Range/Value: Internal error, can not add parameter to non-prototype symbol.";
    return nullptr;
  }
  if (result == nullptr) {
    errorText = "RULE:  Requires valid result expression.";
    return nullptr;
  }
  if (!IsConstant(result)) {
    errorText = "RULE:  Expression does not evaluate to a constant. ";
    return nullptr;
  }
  uint8_t byte = 0;
  if (!ConstantByte(*result, byte)) {
    errorText = "RULE:  Result value must be compatible with Byte data type.";
    return nullptr;
  }
  auto* added = MakeSymbolIn<CRangeValueSymbol>(arena, rangeName, rule);
  added->range = range;
  added->result = byte;
  rule->entries.Add(arena, added);
  return added;
}

int CCompiler::DeclareMethodLocals(CSymbol* symbol) {
  if (currentBlock == nullptr) {
    errorText = "(no block in scope)";
    return 0;
  }
  if (symbol == nullptr) {
    errorText = "METHOD:  Error; missing method.";
    return 0;
  }
  auto* prototype = SymbolCast<CProtoSymbol>(symbol);
  if (prototype == nullptr) {
    errorText = "METHOD:  Error; attempting to declare a non-prototype symbol as a prototype. Huh?";
    return 0;
  }
  const CType& result = prototype->returnType;
  if (result.kind != TYPE_VOID && (result.flags & TYPE_FLAG_INTERRUPT) == 0) {
    // Inside the body the method's own name is the variable that holds its result.
    CVarSymbol* variable = DeclareVariable(prototype->name, &result);
    if (variable) variable->used = true;  // the result and the parameters are the method's interface
    CVarStatement* statement = NewVarStatement(variable);
    if (variable == nullptr || statement == nullptr) {
      errorText = "METHOD:  Error declaring return-type information.";
      return 0;
    }
    variable->frameDepth = FrameDepth();
    statement->address = AllocateLocal(result.Size());
  }
  int32_t distance = kFirstParameterDistance;
  for (const auto& parameter : prototype->parameters) {
    CVarSymbol* variable = DeclareVariable(parameter->name, &parameter->type);
    if (variable) variable->used = true;
    CVarStatement* statement = NewVarStatement(variable);
    if (variable == nullptr || statement == nullptr) {
      errorText = "METHOD:  Error declaring parameter-type information.";
      return 0;
    }
    const int32_t size = parameter->type.Size();
    variable->frameDepth = FrameDepth();
    statement->address = 1 - distance - size;
    distance += size;
  }
  prototype->parameterBytes = distance - kFirstParameterDistance;
  return 1;
}

int CCompiler::PlaceMemberVariable(CVarSymbol* variable) {
  if (variable == nullptr || variable->statement == nullptr) return 1;
  variable->frameDepth = 0;
  CStatement* statement = variable->statement;
  if (variable->type.BaseKind() == TYPE_ADDRESS) {
    statement->address = variable->type.ref;  // memory-mapped: lives at the address written
    return 1;
  }
  // In a shared region the data goes below the tables and code: none may be there yet.
  if (dataSharesCodeRegion && variable->type.Size() > 0 && AbortStreamIfGenerated()) return 1;
  const int address = AllocateData(variable->type.Size());
  if (address < 0) {
    // In a shared region the tables follow the data: data declared after them cannot go in.
    const bool behindTables = dataSharesCodeRegion && dataCursor != codeCursor;
    errorText = behindTables
                    ? Format(
                          "VARIABLE:  Can not place '%s' after the range and rule tables; "
                          "declare global data first.",
                          std::string(variable->name).c_str())
                    : Format("VARIABLE:  No data memory left for '%s'.", std::string(variable->name).c_str());
    return 0;
  }
  statement->address = address;
  return 1;
}

int CCompiler::PlaceLocalVariable(CVarSymbol* variable) {
  if (variable == nullptr || variable->statement == nullptr) return 1;
  variable->frameDepth = FrameDepth();
  const int32_t size = variable->type.Size();
  const int32_t before = frameSize;
  const int offset = AllocateLocal(size);
  if (offset < 0) {
    errorText = Format("VARIABLE:  No stack space for '%s'.", std::string(variable->name).c_str());
    return 0;
  }
  variable->statement->address = offset;
  // Reported once, by the local that first takes the frame past what the interpreter can open.
  if (before <= kMaxFrameBytes && frameSize > kMaxFrameBytes) {
    errorText =
        Format("VARIABLE:  Locals of this block exceed 255 bytes at '%s'.", std::string(variable->name).c_str());
    return 0;
  }
  return 1;
}

int CCompiler::PlaceClass(CClassStatement* statement) {
  if (statement == nullptr) return 1;
  const int address = AllocateData(0);
  if (address < 0) {
    errorText = Format("DEFINE:  No data memory left for class '%s'.",
                       statement->symbol == nullptr ? "" : std::string(statement->symbol->name).c_str());
    return 0;
  }
  statement->address = address;
  return 1;
}

int CCompiler::PlaceRange(CRangeStatement* statement) {
  if (statement == nullptr) return 1;
  if (AbortStreamIfGenerated()) return 1;  // tables go before all code
  const int address = AllocateTable(3 * KindSize(TYPE_BYTE));
  if (address < 0) {
    errorText = Format("RANGE:  No table memory left for '%s'.",
                       statement->symbol == nullptr ? "" : std::string(statement->symbol->name).c_str());
    return 0;
  }
  statement->address = address;
  return 1;
}

int CCompiler::PlaceRule(CRuleStatement* statement) {
  if (statement == nullptr) return 1;
  if (AbortStreamIfGenerated()) return 1;
  const int address = AllocateTable(KindSize(TYPE_BYTE));
  if (address < 0) {
    errorText = Format("RULE:  No table memory left for '%s'.",
                       statement->symbol == nullptr ? "" : std::string(statement->symbol->name).c_str());
    return 0;
  }
  statement->address = address;
  return 1;
}

int CCompiler::PlaceRuleEntry(std::string_view rangeName) {
  if (AbortStreamIfGenerated()) return 1;
  if (AllocateTable(4 * KindSize(TYPE_BYTE)) >= 0) return 1;
  errorText = Format("RULE:  No table memory left for the entry '%s'.", std::string(rangeName).c_str());
  return 0;
}
