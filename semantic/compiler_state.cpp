// Where the parse is: the context, block and scope stacks, and name resolution.
#include <cstdint>

#include "platform/format.h"
#include "semantic/compiler.h"

int CCompiler::PushContext(CSymbol* symbol) {
  contextStack.push_back(symbol);
  return 1;
}

int CCompiler::PopContext() {
  if (contextStack.empty()) return 0;
  contextStack.pop_back();
  return 1;
}

CSymbol* CCompiler::CurrentContext() const {
  return contextStack.empty() ? nullptr : contextStack.back();
}

int CCompiler::PushBlock(CBlock* block) {
  blockStack.push_back(block);
  currentBlock = block;
  return 1;
}

int CCompiler::PopBlock() {
  if (blockStack.empty()) return 0;
  blockStack.pop_back();
  currentBlock = TopBlock();
  return 1;
}

CBlock* CCompiler::TopBlock() { return blockStack.empty() ? &programBlock : blockStack.back(); }

int CCompiler::OpenScope(CBlock* block) {
  PushBlock(block);
  OpenFrame();
  scope.EnterLevel();
  return 1;
}

// After a parse error the closes may outnumber the opens; each step then does nothing harmful
// (the program block takes the frame size, no frame or level is left to close).
int CCompiler::CloseScope() {
  TopBlock()->frameSize = AllocateLocal(0);
  CloseFrame();
  ForgetClosingNames();
  scope.LeaveLevel();
  return PopBlock();
}

void CCompiler::Enter(CSymbol* entered) {
  if (scope.Insert(entered) == 0) return;
  (entered->level > 0 ? scopedNames : fileNames).Add(entered->owner, entered->name, entered, entered->level);
  if (auto* range = SymbolCast<CRangeSymbol>(entered)) rangesByName[range->name] = range;
}

// The names of a closing scope can never be found again: their entries go now. (Only scopes
// of level 1 and deeper close, and their names are all in scopedNames.)
void CCompiler::ForgetClosingNames() {
  if (scope.currentLevel > 0) scopedNames.CloseLevel(scope.currentLevel);
}

CSymbol* CCompiler::NewestOwnedBy(const CSymbol* owner, std::string_view name) {
  if (!scopedNames.empty()) {
    if (const CNameIndex::Entry* entry = scopedNames.Find(owner, name)) return entry->symbol;
  }
  const CNameIndex::Entry* entry = fileNames.Find(owner, name);
  return entry == nullptr ? nullptr : entry->symbol;
}

CSymbol* CCompiler::FindSymbol(CSymbol* context, std::string_view name) {
  if (context != nullptr) {
    if (CSymbol* owned = NewestOwnedBy(context, name)) return owned;
  }
  return NewestOwnedBy(nullptr, name);
}

CSymbol* CCompiler::ResolveName(CSymbol* context, std::string_view name) {
  CSymbol* symbol = FindSymbol(context, name);
  if (symbol == nullptr) errorText = Format("'%s' : undeclared identifier.", std::string(name).c_str());
  return symbol;
}

CRangeSymbol* CCompiler::FindRange(std::string_view name) {
  auto found = rangesByName.find(name);
  if (found != rangesByName.end()) return found->second;
  errorText = "Range not found.";
  return nullptr;
}
