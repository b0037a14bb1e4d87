// The declared names of a program: classes, constants, variables, prototypes, ranges and rules.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/arena.h"
#include "model/type.h"
#include "model/value.h"

class CExpression;
class CStatement;

// Which class a symbol is, so code that needs one class can ask without a dynamic_cast
// (symbols are looked at in every action that resolves a name).
enum SymbolKind {
  SYMBOL_PLAIN,
  SYMBOL_CLASS,
  SYMBOL_CONSTANT,
  SYMBOL_VARIABLE,
  SYMBOL_PROTOTYPE,
  SYMBOL_RANGE,
  SYMBOL_RANGE_VALUE,
  SYMBOL_RULE,
};

// Symbols live in the build's arena with the rest of the program model (model/arena.h) and
// are never destroyed one by one: a symbol owns nothing, and its name is a view of a text
// that lives as long as it does (in the arena, or a literal).
class CSymbol {
 public:
  CSymbol() = default;
  explicit CSymbol(std::string_view symbolName, CSymbol* symbolOwner = nullptr)
      : name(symbolName), owner(symbolOwner) {}
  explicit CSymbol(const char* symbolName, CSymbol* symbolOwner = nullptr)
      : name(symbolName), owner(symbolOwner) {}
  // A std::string would go before the symbol: give a view of a lasting text instead.
  CSymbol(const std::string&, CSymbol* = nullptr) = delete;
  CSymbol(const CSymbol&) = delete;
  CSymbol& operator=(const CSymbol&) = delete;
  virtual ~CSymbol() = default;

  // Writes the symbol's line(s) into the listing; the base writes nothing.
  virtual void Dump(FILE* file, int depth) const;
  static constexpr SymbolKind kKind = SYMBOL_PLAIN;
  virtual SymbolKind Kind() const { return kKind; }

  // name, or Owner:...:name through the owners.
  std::string QualifiedName() const;
  // "| " repeated depth times.
  static std::string IndentPrefix(int depth);
  // Becomes the new head of the chain whose head is `head` (may be null).
  void LinkAhead(CSymbol* head);
  // Leaves the front of its chain; returns the symbol that followed (now the front).
  CSymbol* Unlink();

  CSymbol* prev = nullptr;  // chain link towards the bucket head
  CSymbol* next = nullptr;  // chain link towards the tail
  std::string_view name;
  CSymbol* owner = nullptr;       // class, prototype or rule this belongs to
  CStatement* statement = nullptr;  // the declaring statement, once built
  // Beside `indexed` below, so the two share one word.
  int32_t level = -1;             // scope depth when entered; -1 when never entered

 private:
  friend class CSymTable;
  // The table's name index: whether this symbol is in it (it sits in its own name's
  // bucket), and the next older symbol of the same name in the same table.
  bool indexed = false;
  CSymbol* olderNamesake = nullptr;
};

class CClassSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_CLASS;
  SymbolKind Kind() const override { return kKind; }
};

class CConstSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_CONSTANT;
  SymbolKind Kind() const override { return kKind; }

  CValue value;
};

class CVarSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_VARIABLE;
  SymbolKind Kind() const override { return kKind; }

  CType type;
  int32_t frameDepth = 0;  // 0: global data; n: lives in the n-th open frame
  bool used = false;       // named by some statement or expression (for a warning)
  // The leaf that reads this variable, made at its first use and shared by every later
  // one: a variable leaf never changes once made (a cast of it is done by its parent).
  CExpression* reference = nullptr;
};

class CProtoSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_PROTOTYPE;
  SymbolKind Kind() const override { return kKind; }

  CType returnType;           // TYPE_VOID when the method returns nothing
  int32_t parameterBytes = 0;  // set when the body is entered
  CArenaArray<CVarSymbol*> parameters;  // in declaration order
};

class CRangeSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_RANGE;
  SymbolKind Kind() const override { return kKind; }

  uint8_t center = 0;
  uint8_t plateau = 0;
  uint8_t edge = 0;
};

// One range->value entry of a rule; named like its range, never entered into the table.
class CRangeValueSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_RANGE_VALUE;
  SymbolKind Kind() const override { return kKind; }

  CRangeSymbol* range = nullptr;  // not owned
  uint8_t result = 0;
};

class CRuleSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;
  static constexpr SymbolKind kKind = SYMBOL_RULE;
  SymbolKind Kind() const override { return kKind; }

  CArenaArray<CRangeValueSymbol*> entries;  // in source order
};

// The symbol as a `Symbol` (one of the classes above), or null when it is none or null.
template <typename Symbol>
Symbol* SymbolCast(CSymbol* symbol) {
  return symbol != nullptr && symbol->Kind() == Symbol::kKind ? static_cast<Symbol*>(symbol) : nullptr;
}
template <typename Symbol>
const Symbol* SymbolCast(const CSymbol* symbol) {
  return symbol != nullptr && symbol->Kind() == Symbol::kKind ? static_cast<const Symbol*>(symbol) : nullptr;
}
