// The chained hash table of symbols and the scoped table with its history of left scopes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/symbol.h"
#include "semantic/recycling_resource.h"

// The hash of a name for the name indexes: names are short, so a plain byte loop beats the
// library's general string hash.
struct NameHash {
  std::size_t operator()(std::string_view name) const {
    std::size_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    return hash;
  }
};

// Buckets hold chains through the symbols' own prev/next links, newest at the head.
// The bucket of a name is its character sum; the bucket count and this hash fix the
// order of the dump and of same-named lookups.  Beside the chains an index from each
// name to its newest symbol (and from each symbol to its next older namesake) keeps
// lookups constant-time however many names share a bucket.
class CSymTable {
 public:
  CSymTable() = default;
  CSymTable(const CSymTable&) = delete;
  CSymTable& operator=(const CSymTable&) = delete;
  virtual ~CSymTable();

  // Enters the symbol at the head of its name's bucket (symbols live in the build's arena:
  // the table only links them). Returns 0 only for a null symbol or a table without buckets
  // (never created).
  virtual int Insert(CSymbol* symbol);
  virtual void Dump(FILE* file, int depth) const;

  // Sizes an empty table: n buckets, all empty.
  int SetBucketCount(int count);
  // Links the symbol at the head of bucket `index`; 0 when the index is out of range.
  int InsertAt(int index, CSymbol* symbol);
  // The newest symbol of that name, or null.
  CSymbol* Lookup(std::string_view name) const;
  // The next symbol of that name after `symbol` down its chain (the next older one), or null.
  CSymbol* LookupNext(const CSymbol* symbol, std::string_view name) const;
  // Forgets every symbol and leaves the table with 0 buckets.
  virtual int Clear();

  int BucketCount() const { return static_cast<int>(buckets.size()); }
  // Whether the name index is kept. Without it a lookup walks its name's chain: for a table
  // that is filled and emptied far more often than it is asked by name (the compiler's,
  // which resolves names through an index of its own). Set before the first insert.
  bool indexNames = true;
  // The bucket of a name: the sum of its characters as signed bytes, modulo the bucket count.
  int BucketOf(std::string_view name) const;

  std::vector<CSymbol*> buckets;  // chain heads; null = empty

 protected:
  // Takes the symbol off the chain of bucket `index` and out of the name index.  The symbol
  // is normally the head; elsewhere in the chain it is spliced out.
  CSymbol* Detach(int index, CSymbol* symbol);

 private:
  void Unindex(CSymbol* symbol);

  // Its entries come and go with the scopes: they take their room from memory that reuses
  // it and is released with the table rather than from the heap one by one.
  CRecyclingResource indexMemory;
  std::pmr::unordered_map<std::string_view, CSymbol*, NameHash> newestByName{&indexMemory};  // keys: the symbols' names
};

// The compiler's table: the live symbols by scope depth, and the history of the
// symbols whose scope has been left (statements still point at them).
class CSymScope : public CSymTable {
 public:
  CSymScope() = default;
  ~CSymScope() override;

  // Stamps the symbol with the current depth and enters it; 0 for a null symbol.
  int Insert(CSymbol* symbol) override;
  // The live table, a separator, then the history; the depth is ignored.
  void Dump(FILE* file, int depth) const override;

  // Creates the history and gives both tables n buckets.
  int Create(int count);
  // Keeps no history from now on: left symbols are only dropped (a build without a listing).
  void DropHistory() { history.reset(); }
  int EnterLevel();
  // Forgets the live symbols (the history stays) and their depths.
  int Clear() override;
  // Moves the symbols of the current depth into the history; 0 at depth 0.
  // Costs the number of symbols moved.
  int LeaveLevel();

  int32_t currentLevel = 0;
  std::unique_ptr<CSymTable> history;

 private:
  // Symbols entered at each live depth, in entry order.
  std::vector<std::vector<CSymbol*>> enteredAt;
};
