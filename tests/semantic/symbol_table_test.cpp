// The scoped symbol table: hiding and restoring across levels, the history, the dump
// format, and agreement with a plain chain-walking table on random workloads.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "semantic/symbol_table.h"
#include "tests/support/listing_capture.h"
#include "tests/support/test_arena.h"

namespace {

CSymbol* Enter(CSymScope& scope, const std::string& name, CSymbol* owner = nullptr) {
  CSymbol* symbol = TestArena().Make<CClassSymbol>(TestArena().Text(name), owner);
  EXPECT_EQ(scope.Insert(symbol), 1);
  return symbol;
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

TEST(SymbolTableLookup, SharedBucketsCaseAndRefusals) {
  CSymScope scope;
  EXPECT_EQ(scope.Insert(TestArena().Make<CClassSymbol>("x")), 0);  // no buckets yet
  scope.Create(1000);
  EXPECT_EQ(scope.Insert(nullptr), 0);
  EXPECT_EQ(scope.BucketOf("start"), 558);
  EXPECT_LT(scope.BucketOf("\xff\xfe"), 1000);  // bytes above 127 count as negative
  EXPECT_GE(scope.BucketOf("\xff\xfe"), 0);
  CSymbol* ab = Enter(scope, "ab");
  CSymbol* ba = Enter(scope, "ba");  // same bucket
  CSymbol* upper = Enter(scope, "AB");
  EXPECT_EQ(scope.Lookup("ab"), ab);
  EXPECT_EQ(scope.Lookup("ba"), ba);
  EXPECT_EQ(scope.Lookup("AB"), upper);
  EXPECT_EQ(scope.Lookup("Ab"), nullptr);
  // Asked for another name, LookupNext walks down the chain from the given symbol.
  EXPECT_EQ(scope.LookupNext(ba, "ab"), ab);
}

TEST(SymbolTableDump, OneSymbolInBucket520) {
  CSymTable table;
  table.SetBucketCount(1000);
  // 4 x 100 + 120 = 520.
  auto* symbol = TestArena().Make<CClassSymbol>("ddddx");
  symbol->level = 0;
  ASSERT_EQ(table.BucketOf("ddddx"), 520);
  table.Insert(symbol);
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
    auto* symbol = TestArena().Make<CClassSymbol>(name);
    symbol->level = 0;
    small.Insert(symbol);
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
struct ReferenceScope {
  using Chains = std::vector<std::deque<int>>;  // symbol ids, head first
  explicit ReferenceScope(int count) : live(count), history(count) {}
  int Bucket(const std::string& name) const {
    int sum = 0;
    for (char c : name) sum += static_cast<signed char>(c);
    return sum % static_cast<int>(live.size());
  }
  void Insert(const std::string& name) {
    live[Bucket(name)].push_front(static_cast<int>(names.size()));
    names.push_back(name);
    levels.push_back(level);
  }
  void Leave() {
    if (level == 0) return;
    for (size_t i = 0; i < live.size(); ++i) {
      while (!live[i].empty() && levels[live[i].front()] == level) {
        history[i].push_front(live[i].front());
        live[i].pop_front();
      }
    }
    --level;
  }
  std::vector<int> Named(const std::string& name) const {
    std::vector<int> ids;
    for (int id : live[Bucket(name)]) {
      if (names[id] == name) ids.push_back(id);
    }
    return ids;
  }
  Chains live, history;
  std::vector<std::string> names;
  std::vector<int> levels;
  int level = 0;
};

int IdOf(const CSymbol* symbol) { return static_cast<const CConstSymbol*>(symbol)->value.AsInteger(); }

ReferenceScope::Chains ChainIds(const CSymTable& table) {
  ReferenceScope::Chains chains;
  for (const CSymbol* head : table.buckets) {
    chains.emplace_back();
    for (const CSymbol* s = head; s != nullptr; s = s->next) {
      chains.back().push_back(IdOf(s));
      EXPECT_TRUE(s->next == nullptr || s->next->prev == s);
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
    for (int step = 0; step < 400; ++step) {
      const int action = static_cast<int>(random() % 10);
      if (action < 6) {
        const std::string& name = names[random() % names.size()];
        auto* symbol = TestArena().Make<CConstSymbol>(TestArena().Text(name));
        symbol->value = CValue::FromInteger(static_cast<int32_t>(reference.names.size()));
        scope.Insert(symbol);
        reference.Insert(name);
      } else if (action < 8) {
        scope.EnterLevel();
        ++reference.level;
      } else {
        scope.LeaveLevel();
        reference.Leave();
      }
      for (const std::string& name : names) {
        std::vector<int> ids;
        for (CSymbol* s : AllNamed(scope, name)) ids.push_back(IdOf(s));
        ASSERT_EQ(ids, reference.Named(name)) << "round " << round << " step " << step << " name " << name;
      }
    }
    ASSERT_EQ(ChainIds(scope), reference.live);
    ASSERT_EQ(ChainIds(*scope.history), reference.history);
  }
}

}  // namespace
