#include "semantic/name_index.h"

#include <algorithm>
#include <cstdint>

#include "semantic/symbol_table.h"

std::size_t CNameIndex::Hash(const CSymbol* owner, std::string_view name) {
  // The name's hash mixed with the owner's address.
  return NameHash()(name) ^ (reinterpret_cast<std::uintptr_t>(owner) * 0x9E3779B97F4A7C15ull);
}

// The cell of the key: the one holding its newest entry, else the first empty cell of its probe.
std::size_t CNameIndex::CellOf(const CSymbol* owner, std::string_view name, std::size_t hash) const {
  const std::size_t mask = cells.size() - 1;
  const auto tag = static_cast<uint32_t>(hash >> 32);
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Cell cell = cells[at];
    if (cell.entry == kEmpty) return at;
    if (cell.entry == kRemoved || cell.tag != tag) continue;
    const Entry& entry = entries[static_cast<std::size_t>(cell.entry - 1)];
    if (entry.hash == hash && entry.owner == owner && entry.name == name) return at;
  }
}

const CNameIndex::Entry* CNameIndex::Find(const CSymbol* owner, std::string_view name) const {
  const int32_t index = cells[CellOf(owner, name, Hash(owner, name))].entry;
  return index > 0 ? &entries[static_cast<std::size_t>(index - 1)] : nullptr;
}

void CNameIndex::Add(const CSymbol* owner, std::string_view name, CSymbol* symbol, int32_t level) {
  // At most half the cells in use, removed ones counted, so every probe ends soon.
  if (2 * (used + 1) > cells.size()) Rebuild(4 * (entries.size() + 1));
  const std::size_t hash = Hash(owner, name);
  Cell& cell = cells[CellOf(owner, name, hash)];
  const int32_t older = cell.entry > 0 ? cell.entry - 1 : -1;
  if (cell.entry == kEmpty) ++used;
  entries.push_back(Entry{owner, name, symbol, level, older, hash});
  cell = Cell{static_cast<int32_t>(entries.size()), static_cast<uint32_t>(hash >> 32)};
}

void CNameIndex::CloseLevel(int32_t level) {
  while (!entries.empty() && entries.back().level >= level) {
    const Entry& newest = entries.back();
    Cell& cell = cells[CellOf(newest.owner, newest.name, newest.hash)];
    cell.entry = newest.older >= 0 ? newest.older + 1 : kRemoved;
    entries.pop_back();
  }
  // Every scope closed: the removed marks go with them.
  if (entries.empty() && used > 0) {
    std::fill(cells.begin(), cells.end(), Cell{kEmpty, 0});
    used = 0;
  }
}

void CNameIndex::Rebuild(std::size_t cellCount) {
  std::size_t size = 16;
  while (size < cellCount) size *= 2;
  cells.assign(size, Cell{kEmpty, 0});
  used = 0;
  // Entered again in order: each key's cell ends on its newest entry, the chains as before.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = entries[i];
    Cell& cell = cells[CellOf(entry.owner, entry.name, entry.hash)];
    entry.older = cell.entry > 0 ? cell.entry - 1 : -1;
    if (cell.entry == kEmpty) ++used;
    cell = Cell{static_cast<int32_t>(i + 1), static_cast<uint32_t>(entry.hash >> 32)};
  }
}
