// Type descriptors: kinds, their sizes in target memory, compatibility and printed descriptions.
#pragma once

#include <cstdint>
#include <string>

class CSymbol;
class CStatement;

// The numbers are shared with the parser and the builders: keep the order.
enum TypeKind : int32_t {
  TYPE_VOID = 0,
  TYPE_BYTE = 1,
  TYPE_INTEGER = 2,
  TYPE_ADDRESS = 3,  // a byte at a fixed data address (`ref`)
  TYPE_REAL = 4,
  TYPE_FUZZY = 5,
  TYPE_ID = 6,       // a compiler identifier number (`ref`)
  TYPE_VAR = 7,      // reference kinds from here on
  TYPE_RANGE = 8,
  TYPE_RULE = 9,
  TYPE_CALL = 10,
};

enum TypeFlag : uint32_t {
  TYPE_FLAG_READ = 1,
  TYPE_FLAG_WRITE = 2,
  TYPE_FLAG_INTERRUPT = 4,
  TYPE_FLAG_ARRAY = 8,
};

// Result of comparing two kinds; the numbers are part of the checking contract.
enum KindMatch : int32_t {
  MATCH_SAME = 0,          // no conversion needed
  MATCH_WIDEN_FIRST = 1,   // the first kind is narrower and converts to the second
  MATCH_WIDEN_SECOND = 2,  // the second kind is narrower and converts to the first
  MATCH_NONE = 3,          // incompatible
};

// Byte, Integer, Address, Real and Fuzzy: the kinds expressions compute with.
bool IsValueKind(TypeKind kind);
KindMatch CompareKinds(TypeKind a, TypeKind b);
int32_t KindSize(TypeKind kind);
std::string KindName(TypeKind kind);

class CType {
 public:
  CType() = default;
  CType(const CType&) = default;
  CType& operator=(const CType&) = default;

  // Copies kind, flags and count; the reference fields only for kinds that carry one.
  void Assign(const CType& other);
  // Looks through variable and call references to the value kind behind them.
  TypeKind BaseKind() const;
  // One step through a variable or call reference (to read its flags); otherwise itself.
  const CType& Resolved() const;
  KindMatch Compatible(TypeKind other) const;
  KindMatch Compatible(const CType& other) const;
  int32_t Size() const;
  std::string Describe() const;

  TypeKind kind = TYPE_VOID;
  uint32_t flags = 0;
  // Address: the data address; ID: the identifier number; an interrupt method's
  // result type: the vector number.  -1 when unused.
  int32_t ref = -1;
  int32_t count = 0;  // array elements, meaningful with TYPE_FLAG_ARRAY
  // Var: the CVarSymbol; Range, Rule, Call: the referenced statement's symbol
  // (the range, the rule, the called prototype).  Not owned.
  CSymbol* symbol = nullptr;
  // Range, Rule, Call: the referenced statement (range table, rule table, call).  Not owned.
  CStatement* statement = nullptr;
};
