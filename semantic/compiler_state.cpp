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
  openInstances.push_back(++instanceCounter);
  return 1;
}

// After a parse error the closes may outnumber the opens; each step then does nothing harmful
// (the program block takes the frame size, no frame or level is left to close).
int CCompiler::CloseScope() {
  TopBlock()->frameSize = AllocateLocal(0);
  CloseFrame();
  ForgetClosingNames();
  if (scope.LeaveLevel() != 0) openInstances.pop_back();
  return PopBlock();
}

size_t CCompiler::OwnedNameHash::operator()(const OwnedName& key) const {
  return NameHash()(key.name) ^ (reinterpret_cast<std::uintptr_t>(key.owner) * 31);
}

void CCompiler::Enter(CSymbol* entered) {
  if (scope.Insert(entered) == 0) return;
  const OwnedName key{entered->owner, entered->name};
  if (entered->level > 0) {
    scopedNames.Add(key.owner, key.name, OwnedNameHash()(key), entered, entered->level);
  } else {
    ownedNames[key].push_back(Entered{entered, entered->level, openInstances.back()});
  }
  if (auto* range = SymbolCast<CRangeSymbol>(entered)) rangesByName[range->name] = range;
}

// The names of a closing scope can never be found again: their entries go now. (Only scopes
// of level 1 and deeper close; their names are all in scopedNames.)
void CCompiler::ForgetClosingNames() {
  if (scope.currentLevel > 0) scopedNames.CloseLevel(scope.currentLevel);
}

bool CCompiler::IsLive(const Entered& entry) const {
  if (entry.level > scope.currentLevel) return false;
  return openInstances[static_cast<size_t>(entry.level)] == entry.instance;
}

std::pmr::vector<CCompiler::Entered>* CCompiler::LiveStack(const CSymbol* owner,
                                                      std::string_view name) {
  auto found = ownedNames.find(OwnedName{owner, name});
  if (found == ownedNames.end()) return nullptr;
  std::pmr::vector<Entered>& entries = found->second;
  // Entries are pushed in entry order, so the newest live symbol is the topmost live entry.
  // Dead entries on top are dropped for good (their scope never reopens); dead ones below a
  // live entry wait until they surface.
  while (!entries.empty() && !IsLive(entries.back())) entries.pop_back();
  return entries.empty() ? nullptr : &entries;
}

CSymbol* CCompiler::NewestOwnedBy(const CSymbol* owner, std::string_view name) {
  if (!scopedNames.empty()) {
    const OwnedName key{owner, name};
    if (const CScopedNames::Entry* entry = scopedNames.Find(owner, name, OwnedNameHash()(key))) return entry->symbol;
  }
  std::pmr::vector<Entered>* entries = LiveStack(owner, name);
  return entries == nullptr ? nullptr : entries->back().symbol;
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
