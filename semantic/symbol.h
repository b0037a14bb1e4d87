// The declared names of a program: classes, constants, variables, prototypes, ranges and rules.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "model/type.h"
#include "model/value.h"

class CStatement;

class CSymbol {
 public:
  CSymbol() = default;
  explicit CSymbol(std::string symbolName, CSymbol* symbolOwner = nullptr);
  CSymbol(const CSymbol&) = delete;
  CSymbol& operator=(const CSymbol&) = delete;
  virtual ~CSymbol();

  // Writes the symbol's line(s) into the listing; the base writes nothing.
  virtual void Dump(FILE* file, int depth) const;

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
  std::string name;
  int32_t level = -1;             // scope depth when entered; -1 when never entered
  CSymbol* owner = nullptr;       // class, prototype or rule this belongs to
  CStatement* statement = nullptr;  // the declaring statement, once built

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
};

class CConstSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  CValue value;
};

class CVarSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  CType type;
  int32_t frameDepth = 0;  // 0: global data; n: lives in the n-th open frame
  bool used = false;       // named by some statement or expression (for a warning)
};

class CProtoSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  CType returnType;           // TYPE_VOID when the method returns nothing
  int32_t parameterBytes = 0;  // set when the body is entered
  std::vector<std::unique_ptr<CVarSymbol>> parameters;  // in declaration order, owned
};

class CRangeSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  uint8_t center = 0;
  uint8_t plateau = 0;
  uint8_t edge = 0;
};

// One range->value entry of a rule; named like its range, never entered into the table.
class CRangeValueSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  CRangeSymbol* range = nullptr;  // not owned
  uint8_t result = 0;
};

class CRuleSymbol : public CSymbol {
 public:
  using CSymbol::CSymbol;
  void Dump(FILE* file, int depth) const override;

  std::vector<std::unique_ptr<CRangeValueSymbol>> entries;  // in source order, owned
};
