// The names of the open scopes (a method body and the blocks inside it): few at a time, looked
// up again and again, and gone when their scope closes. Kept apart from the index of the
// program's file-level names, so a body's lookups stay in a small table that stays in cache.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class CSymbol;

class CScopedNames {
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

  // Enters a symbol as the newest of its owner and name.
  void Add(const CSymbol* owner, std::string_view name, std::size_t hash, CSymbol* symbol, int32_t level);
  // The newest entry of the owner and name, or null.
  const Entry* Find(const CSymbol* owner, std::string_view name, std::size_t hash) const;
  // The entry entered before `entry` under the same owner and name, or null.
  const Entry* Older(const Entry& entry) const { return entry.older < 0 ? nullptr : &entries[entry.older]; }
  // Forgets the entries of `level` and deeper: the newest ones, as scopes close innermost first.
  void CloseLevel(int32_t level);

 private:
  // Cells hold an entry's index + 1; kEmpty ends a probe, kRemoved does not.
  static constexpr int32_t kEmpty = 0;
  static constexpr int32_t kRemoved = -1;
  std::size_t SlotOf(const CSymbol* owner, std::string_view name, std::size_t hash) const;
  void Rebuild(std::size_t slotCount);

  std::vector<Entry> entries;  // in entry order
  std::vector<int32_t> cells = std::vector<int32_t>(16, kEmpty);
  std::size_t used = 0;  // cells not empty (live or removed)
};
