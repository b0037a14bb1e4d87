#include "semantic/symbol_table.h"

#include <utility>

#include "platform/format.h"

namespace {

void WriteText(FILE* file, const std::string& text) {
  if (file == nullptr) return;
  std::fwrite(text.data(), 1, text.size(), file);
}

// A run of empty buckets: "first <empty>" or "first ... last <empty>".
void WriteEmptyRun(FILE* file, const std::string& indent, int first, int last) {
  if (first == last) {
    WriteText(file, Format("%s%03d <empty>\n", indent.c_str(), first));
  } else {
    WriteText(file, Format("%s%03d ... %03d <empty>\n", indent.c_str(), first, last));
  }
}

}  // namespace

CSymTable::~CSymTable() = default;

int CSymTable::BucketOf(std::string_view name) const {
  const int count = BucketCount();
  if (count == 0) return -1;
  int64_t sum = 0;
  for (char c : name) sum += static_cast<signed char>(c);
  // Identifiers are ASCII, so the sum is never negative; other bytes still land in range.
  const int64_t bucket = sum % count;
  return static_cast<int>(bucket < 0 ? bucket + count : bucket);
}

int CSymTable::SetBucketCount(int count) {
  buckets.assign(count < 0 ? 0 : static_cast<size_t>(count), nullptr);
  return 1;
}

int CSymTable::Insert(CSymbol* symbol) {
  if (symbol == nullptr) return 0;
  const int bucket = BucketOf(symbol->name);
  if (bucket < 0) return 0;
  return InsertAt(bucket, symbol);
}

int CSymTable::InsertAt(int index, CSymbol* symbol) {
  if (symbol == nullptr || index < 0 || index >= BucketCount()) return 0;
  symbol->LinkAhead(buckets[index]);
  buckets[index] = symbol;
  symbol->indexed = false;
  symbol->olderNamesake = nullptr;
  // Only a symbol in its own name's bucket can be found by name.
  if (!indexNames || index != BucketOf(symbol->name)) return 1;
  auto [entry, inserted] = newestByName.try_emplace(symbol->name, symbol);
  if (!inserted) {
    symbol->olderNamesake = entry->second;
    entry->second = symbol;
  }
  symbol->indexed = true;
  return 1;
}

CSymbol* CSymTable::Lookup(std::string_view name) const {
  if (!indexNames) {
    const int bucket = BucketOf(name);
    CSymbol* newest = bucket < 0 ? nullptr : buckets[bucket];
    while (newest != nullptr && newest->name != name) newest = newest->next;
    return newest;
  }
  const auto entry = newestByName.find(name);
  return entry == newestByName.end() ? nullptr : entry->second;
}

CSymbol* CSymTable::LookupNext(const CSymbol* symbol, std::string_view name) const {
  if (symbol == nullptr) return nullptr;
  if (symbol->indexed && symbol->name == name) return symbol->olderNamesake;
  // Another name, or a symbol outside its own bucket: walk the chain.
  for (CSymbol* candidate = symbol->next; candidate != nullptr; candidate = candidate->next) {
    if (candidate->name == name) return candidate;
  }
  return nullptr;
}

void CSymTable::Unindex(CSymbol* symbol) {
  if (!symbol->indexed) return;
  symbol->indexed = false;
  const auto entry = newestByName.find(symbol->name);
  if (entry == newestByName.end()) return;
  if (entry->second == symbol) {
    if (symbol->olderNamesake == nullptr) {
      newestByName.erase(entry);
    } else {
      entry->second = symbol->olderNamesake;
    }
  } else {
    // Not the newest of its name: unhook it from the namesake list.
    CSymbol* newer = entry->second;
    while (newer != nullptr && newer->olderNamesake != symbol) newer = newer->olderNamesake;
    if (newer != nullptr) newer->olderNamesake = symbol->olderNamesake;
  }
  symbol->olderNamesake = nullptr;
}

CSymbol* CSymTable::Detach(int index, CSymbol* symbol) {
  Unindex(symbol);
  if (buckets[index] == symbol) {
    buckets[index] = symbol->Unlink();
    return symbol;
  }
  if (symbol->prev != nullptr) symbol->prev->next = symbol->next;
  if (symbol->next != nullptr) symbol->next->prev = symbol->prev;
  symbol->prev = nullptr;
  symbol->next = nullptr;
  return symbol;
}

// The symbols themselves go with the arena they were made in.
int CSymTable::Clear() {
  newestByName.clear();
  buckets.clear();
  buckets.shrink_to_fit();
  return 1;
}

void CSymTable::Dump(FILE* file, int depth) const {
  const std::string indent = CSymbol::IndentPrefix(depth);
  WriteText(file, Format("%s\n", indent.c_str()));
  int runFirst = -1;
  int runLast = -1;
  for (int i = 0; i < BucketCount(); ++i) {
    if (buckets[i] == nullptr) {
      if (runFirst == -1) runFirst = i;
      runLast = i;
      continue;
    }
    if (runFirst != -1) {
      WriteEmptyRun(file, indent, runFirst, runLast);
      runFirst = runLast = -1;
    }
    WriteText(file, Format("%s%03d =\n", indent.c_str(), i));
    for (const CSymbol* symbol = buckets[i]; symbol != nullptr; symbol = symbol->next) {
      symbol->Dump(file, depth + 1);
    }
    WriteText(file, Format("| %s\n", indent.c_str()));
  }
  if (runFirst != -1) WriteEmptyRun(file, indent, runFirst, runLast);
}

CSymScope::~CSymScope() = default;

int CSymScope::Create(int count) {
  history = std::make_unique<CSymTable>();
  history->indexNames = indexNames;
  history->SetBucketCount(count);
  SetBucketCount(count);
  return 1;
}

int CSymScope::Insert(CSymbol* symbol) {
  if (symbol == nullptr) return 0;
  CSymbol* entered = symbol;
  entered->level = currentLevel;
  if (CSymTable::Insert(symbol) == 0) return 0;
  if (enteredAt.size() <= static_cast<size_t>(currentLevel)) enteredAt.resize(currentLevel + 1);
  enteredAt[currentLevel].push_back(entered);
  return 1;
}

int CSymScope::EnterLevel() {
  ++currentLevel;
  return 1;
}

int CSymScope::LeaveLevel() {
  if (currentLevel == 0) return 0;
  if (static_cast<size_t>(currentLevel) < enteredAt.size()) {
    std::vector<CSymbol*>& entered = enteredAt[currentLevel];
    // Newest first: each is then the head of its bucket, and the history chain of each
    // bucket receives the level's symbols in the order a walk from the heads would give.
    for (auto it = entered.rbegin(); it != entered.rend(); ++it) {
      const int bucket = BucketOf((*it)->name);
      CSymbol* moved = Detach(bucket, *it);
      // Without a history (never created) the symbol is only dropped from the table.
      if (history != nullptr) history->InsertAt(bucket, moved);
    }
    entered.clear();  // its room serves the next scope opened at this depth
  }
  --currentLevel;
  return 1;
}

int CSymScope::Clear() {
  enteredAt.clear();
  return CSymTable::Clear();
}

void CSymScope::Dump(FILE* file, int /*depth*/) const {
  CSymTable::Dump(file, 1);
  WriteText(file, Format("%s", "\\______________________________\n"));
  WriteText(file, Format("%s", "/ Symbol Table ~~~~~~~~~~~~~~~~\n"));
  if (history != nullptr) history->Dump(file, 1);
}
