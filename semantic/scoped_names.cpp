#include "semantic/scoped_names.h"

#include <algorithm>

// The slot of the key: the one holding its newest entry, else the first empty slot of its probe.
std::size_t CScopedNames::SlotOf(const CSymbol* owner, std::string_view name, std::size_t hash) const {
  const std::size_t mask = cells.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const int32_t slot = cells[at];
    if (slot == kEmpty) return at;
    if (slot == kRemoved) continue;
    const Entry& entry = entries[static_cast<std::size_t>(slot - 1)];
    if (entry.hash == hash && entry.owner == owner && entry.name == name) return at;
  }
}

const CScopedNames::Entry* CScopedNames::Find(const CSymbol* owner, std::string_view name, std::size_t hash) const {
  const int32_t slot = cells[SlotOf(owner, name, hash)];
  return slot > 0 ? &entries[static_cast<std::size_t>(slot - 1)] : nullptr;
}

void CScopedNames::Add(const CSymbol* owner, std::string_view name, std::size_t hash, CSymbol* symbol,
                       int32_t level) {
  // At most half the cells in use, removed ones counted, so every probe ends soon.
  if (2 * (used + 1) > cells.size()) Rebuild(std::max<std::size_t>(16, 4 * (entries.size() + 1)));
  const std::size_t at = SlotOf(owner, name, hash);
  const int32_t older = cells[at] > 0 ? cells[at] - 1 : -1;
  if (cells[at] == kEmpty) ++used;
  entries.push_back(Entry{owner, name, symbol, level, older, hash});
  cells[at] = static_cast<int32_t>(entries.size());
}

void CScopedNames::CloseLevel(int32_t level) {
  while (!entries.empty() && entries.back().level >= level) {
    const Entry& newest = entries.back();
    cells[SlotOf(newest.owner, newest.name, newest.hash)] = newest.older >= 0 ? newest.older + 1 : kRemoved;
    entries.pop_back();
  }
  // All scopes closed: the removed marks go with them.
  if (entries.empty() && used > 0) {
    std::fill(cells.begin(), cells.end(), kEmpty);
    used = 0;
  }
}

void CScopedNames::Rebuild(std::size_t slotCount) {
  std::size_t size = 16;
  while (size < slotCount) size *= 2;
  cells.assign(size, kEmpty);
  used = 0;
  // Entered again in order: each key's slot ends on its newest entry, the chains as before.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    const std::size_t at = SlotOf(entry.owner, entry.name, entry.hash);
    entry.older = cells[at] > 0 ? cells[at] - 1 : -1;
    if (cells[at] == kEmpty) ++used;
    cells[at] = static_cast<int32_t>(i + 1);
  }
}
