// The scoped symbol table: hashing, hiding and restoring across levels, the history,
// the dump format, and agreement with a plain chain-walking table on random workloads.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <random>

#include "semantic/symbol_table.h"
#include "tests/semantic/listing_capture.h"

namespace {

CSymbol* Enter(CSymScope& scope, const std::string& name, CSymbol* owner = nullptr) {
  auto symbol = std::make_unique<CClassSymbol>(name, owner);
  CSymbol* raw = symbol.get();
  EXPECT_EQ(scope.Insert(std::move(symbol)), 1);
  return raw;
}

std::vector<CSymbol*> AllNamed(const CSymTable& table, const std::string& name) {
  std::vector<CSymbol*> found;
  for (CSymbol* s = table.Lookup(name); s != nullptr; s = table.LookupNext(s, name)) found.push_back(s);
  return found;
}

std::string DumpOf(const CSymTable& table, int depth) {
  ListingCapture listing;
  table.Dump(listing.file(), depth);
  return listing.Text();
}

TEST(SymbolTableHash, CharacterSumModuloBuckets) {
  CSymScope scope;
  scope.Create(1000);
  EXPECT_EQ(scope.BucketOf("start"), 558);
  EXPECT_EQ(scope.BucketOf("ab"), scope.BucketOf("ba"));
  EXPECT_EQ(scope.BucketOf(""), 0);
  // Bytes above 127 count as negative; the bucket still lies in range.
  const int bucket = scope.BucketOf("\xff\xfe");
  EXPECT_GE(bucket, 0);
  EXPECT_LT(bucket, 1000);
}

TEST(SymbolTableLookup, InnerLevelHidesAndLeavingRestores) {
  CSymScope scope;
  scope.Create(1000);
  CSymbol* outer = Enter(scope, "x");
  scope.EnterLevel();
  CSymbol* inner = Enter(scope, "x");
  EXPECT_EQ(inner->level, 1);
  EXPECT_EQ(outer->level, 0);
  EXPECT_EQ(scope.Lookup("x"), inner);
  EXPECT_EQ(scope.LookupNext(inner, "x"), outer);
  EXPECT_EQ(scope.LookupNext(outer, "x"), nullptr);

  EXPECT_EQ(scope.LeaveLevel(), 1);
  EXPECT_EQ(scope.currentLevel, 0);
  EXPECT_EQ(scope.Lookup("x"), outer);
  EXPECT_EQ(scope.LookupNext(outer, "x"), nullptr);
  // The left symbol lives on in the history, still at its level.
  EXPECT_EQ(scope.history->Lookup("x"), inner);
  EXPECT_EQ(inner->level, 1);
  EXPECT_EQ(scope.LeaveLevel(), 0);  // already outermost: nothing moves
  EXPECT_EQ(scope.Lookup("x"), outer);
}

TEST(SymbolTableLookup, SharedBucketsCaseAndNamesakes) {
  CSymScope scope;
  scope.Create(1000);
  CSymbol* ab = Enter(scope, "ab");
  CSymbol* ba = Enter(scope, "ba");
  CSymbol* upper = Enter(scope, "AB");
  EXPECT_EQ(scope.Lookup("ab"), ab);
  EXPECT_EQ(scope.Lookup("ba"), ba);
  EXPECT_EQ(scope.Lookup("AB"), upper);
  EXPECT_EQ(scope.Lookup("Ab"), nullptr);
  // Same names visit newest first; the chain also holds the other name between them.
  CSymbol* ab2 = Enter(scope, "ab");
  EXPECT_EQ(AllNamed(scope, "ab"), (std::vector<CSymbol*>{ab2, ab}));
  EXPECT_EQ(scope.buckets[scope.BucketOf("ab")], ab2);
  // Asked for another name, LookupNext walks down the chain from the given symbol.
  EXPECT_EQ(scope.LookupNext(ab2, "ba"), ba);
  EXPECT_EQ(scope.LookupNext(ba, "ab"), ab);
}

TEST(SymbolTableScope, NullAndUncreatedTablesRefuse) {
  CSymScope scope;
  EXPECT_EQ(scope.Insert(nullptr), 0);
  EXPECT_EQ(scope.Insert(std::make_unique<CClassSymbol>("x")), 0);  // no buckets yet
  EXPECT_EQ(scope.Lookup("x"), nullptr);
  EXPECT_EQ(DumpOf(scope, 0),
            "| \n"
            "\\______________________________\n"
            "/ Symbol Table ~~~~~~~~~~~~~~~~\n");
}

TEST(SymbolTableDump, OneSymbolInBucket520) {
  CSymTable table;
  table.SetBucketCount(1000);
  // "zzzzz" sums to 5 x 122 = 610; 520 needs another sum: "dddd" + "P" = 4 x 100 + 120.
  auto symbol = std::make_unique<CClassSymbol>("ddddx");
  symbol->level = 0;
  ASSERT_EQ(table.BucketOf("ddddx"), 520);
  table.Insert(std::move(symbol));
  EXPECT_EQ(DumpOf(table, 1),
            "| \n"
            "| 000 ... 519 <empty>\n"
            "| 520 =\n"
            "| | Class: ddddx{0}\n"
            "| | \n"
            "| 521 ... 999 <empty>\n");
}

TEST(SymbolTableDump, EmptyTableAndSingleEmptyBucketRuns) {
  CSymTable table;
  table.SetBucketCount(1000);
  EXPECT_EQ(DumpOf(table, 1), "| \n| 000 ... 999 <empty>\n");

  CSymTable small;
  small.SetBucketCount(5);
  for (const char* name : {"\x01", "\x03"}) {  // buckets 1 and 3
    auto symbol = std::make_unique<CClassSymbol>(name);
    symbol->level = 0;
    small.Insert(std::move(symbol));
  }
  EXPECT_EQ(DumpOf(small, 0),
            "\n"
            "000 <empty>\n"
            "001 =\n"
            "| Class: \x01{0}\n"
            "| \n"
            "002 <empty>\n"
            "003 =\n"
            "| Class: \x03{0}\n"
            "| \n"
            "004 <empty>\n");
}

TEST(SymbolTableDump, ScopeListsLiveThenHistory) {
  CSymScope scope;
  scope.Create(4);
  Enter(scope, "a");  // 97 % 4 = 1
  scope.EnterLevel();
  Enter(scope, "b");  // 98 % 4 = 2
  Enter(scope, "f");  // 102 % 4 = 2, newer
  scope.LeaveLevel();
  EXPECT_EQ(DumpOf(scope, 7),
            "| \n"
            "| 000 <empty>\n"
            "| 001 =\n"
            "| | Class: a{0}\n"
            "| | \n"
            "| 002 ... 003 <empty>\n"
            "\\______________________________\n"
            "/ Symbol Table ~~~~~~~~~~~~~~~~\n"
            "| \n"
            "| 000 ... 001 <empty>\n"
            "| 002 =\n"
            "| | Class: b{1}\n"
            "| | Class: f{1}\n"
            "| | \n"
            "| 003 <empty>\n");
}

// A table that does exactly what the chains describe, walking them for every lookup
// and scanning every bucket when a level is left.  The real table must agree with it.
class ReferenceScope {
 public:
  explicit ReferenceScope(int count) : live_(count), history_(count), count_(count) {}
  int Bucket(const std::string& name) const {
    int sum = 0;
    for (char c : name) sum += static_cast<signed char>(c);
    return sum % count_;
  }
  void Insert(int id, const std::string& name) { live_[Bucket(name)].push_front({id, name, level_}); }
  void Enter() { ++level_; }
  void Leave() {
    if (level_ == 0) return;
    for (int i = 0; i < count_; ++i) {
      while (!live_[i].empty() && live_[i].front().level == level_) {
        history_[i].push_front(live_[i].front());
        live_[i].pop_front();
      }
    }
    --level_;
  }
  std::vector<int> Named(const std::string& name) const {
    std::vector<int> ids;
    for (const Entry& e : live_[Bucket(name)]) {
      if (e.name == name) ids.push_back(e.id);
    }
    return ids;
  }
  std::vector<std::vector<int>> Chains(bool history) const {
    std::vector<std::vector<int>> chains;
    for (const auto& chain : history ? history_ : live_) {
      chains.emplace_back();
      for (const Entry& e : chain) chains.back().push_back(e.id);
    }
    return chains;
  }

 private:
  struct Entry {
    int id;
    std::string name;
    int level;
  };
  std::vector<std::list<Entry>> live_, history_;
  int count_;
  int level_ = 0;
};

std::vector<std::vector<int>> ChainIds(const CSymTable& table) {
  std::vector<std::vector<int>> chains;
  for (const CSymbol* head : table.buckets) {
    chains.emplace_back();
    for (const CSymbol* s = head; s != nullptr; s = s->next) {
      chains.back().push_back(static_cast<const CConstSymbol*>(s)->value.AsInteger());
    }
  }
  return chains;
}

TEST(SymbolTableModel, AgreesWithChainWalkingOnRandomScopes) {
  // Few buckets and few names: many collisions and many namesakes.
  const std::vector<std::string> names = {"a", "b", "ab", "ba", "e", "i", "aa", "x", "start"};
  std::mt19937 random(12345);
  for (int round = 0; round < 20; ++round) {
    CSymScope scope;
    scope.Create(7);
    ReferenceScope reference(7);
    int nextId = 0;
    for (int step = 0; step < 400; ++step) {
      const int action = static_cast<int>(random() % 10);
      if (action < 6) {
        const std::string& name = names[random() % names.size()];
        auto symbol = std::make_unique<CConstSymbol>(name);
        symbol->value = CValue::FromInteger(nextId);
        scope.Insert(std::move(symbol));
        reference.Insert(nextId++, name);
      } else if (action < 8) {
        scope.EnterLevel();
        reference.Enter();
      } else {
        scope.LeaveLevel();
        reference.Leave();
      }
      for (const std::string& name : names) {
        std::vector<int> ids;
        for (CSymbol* s : AllNamed(scope, name)) ids.push_back(static_cast<CConstSymbol*>(s)->value.AsInteger());
        ASSERT_EQ(ids, reference.Named(name)) << "round " << round << " step " << step << " name " << name;
      }
    }
    ASSERT_EQ(ChainIds(scope), reference.Chains(false));
    ASSERT_EQ(ChainIds(*scope.history), reference.Chains(true));
    // Every chain is consistently doubly linked.
    for (const CSymTable* table : {static_cast<const CSymTable*>(&scope), static_cast<const CSymTable*>(scope.history.get())}) {
      for (const CSymbol* head : table->buckets) {
        if (head != nullptr) {
          EXPECT_EQ(head->prev, nullptr);
        }
        for (const CSymbol* s = head; s != nullptr && s->next != nullptr; s = s->next) EXPECT_EQ(s->next->prev, s);
      }
    }
  }
}

TEST(SymbolTableScope, DestroyingAtAnyDepthFreesEverySymbol) {
  // The sanitizer run turns a leaked or doubly freed symbol into a failure.
  auto scope = std::make_unique<CSymScope>();
  scope->Create(1000);
  Enter(*scope, "start");
  for (int level = 0; level < 50; ++level) {
    scope->EnterLevel();
    Enter(*scope, "v" + std::to_string(level));
    Enter(*scope, "shared");
  }
  scope->LeaveLevel();
  EXPECT_EQ(scope->Lookup("shared")->level, 49);
  EXPECT_EQ(AllNamed(*scope, "shared").size(), 49u);
  scope.reset();
}

}  // namespace
