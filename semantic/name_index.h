// Symbols by owner and name, the newest first: what name resolution asks ("the newest symbol of
// this name with this owner") in one probe of a flat table, whose entries are kept in entry
// order so a closing scope's names (the newest ones) go by popping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CSymbol;

class CNameIndex {
 public:
  struct Entry {
    const CSymbol* owner;
    std::string_view name;
    CSymbol* symbol;
    int32_t level;
    int32_t older;  // the entry of the same owner and name entered before, -1 when none
    std::size_t hash;
  };

  bool empty() const { return entries.empty(); }
  std::size_t size() const { return entries.size(); }

  // Enters a symbol as the newest of its owner and name.
  void Add(const CSymbol* owner, std::string_view name, CSymbol* symbol, int32_t level);
  // The newest entry of the owner and name, or null.
  const Entry* Find(const CSymbol* owner, std::string_view name) const;
  // The entry entered before `entry` under the same owner and name, or null.
  const Entry* Older(const Entry& entry) const { return entry.older < 0 ? nullptr : &entries[entry.older]; }
  // Forgets the entries of `level` and deeper: the newest ones, as scopes close innermost first.
  void CloseLevel(int32_t level);

 private:
  // A cell holds an entry's index + 1 (kEmpty ends a probe, kRemoved does not) and the low
  // bits of its hash, so a probe reads an entry only when those match.
  struct Cell {
    int32_t entry;
    uint32_t tag;
  };
  static constexpr int32_t kEmpty = 0;
  static constexpr int32_t kRemoved = -1;
  static std::size_t Hash(const CSymbol* owner, std::string_view name);
  std::size_t CellOf(const CSymbol* owner, std::string_view name, std::size_t hash) const;
  void Rebuild(std::size_t cellCount);

  std::vector<Entry> entries;  // in entry order
  std::vector<Cell> cells = std::vector<Cell>(16, Cell{kEmpty, 0});
  std::size_t used = 0;  // cells not empty (live or removed)
};
