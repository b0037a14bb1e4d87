// The semantic value slot: one per grammar symbol on the parse stack.
#pragma once

class CExpression;
class CType;
class CSymbol;
class CVarSymbol;
class CStatement;
class CMethodStatement;
class CDecideStatement;

// Reinterpreted per symbol: grammar.y declares which member each token and nonterminal
// uses, and the actions name no other. Every pointer here points into the build's arena
// (texts included), which owns what it points at, so a slot owns nothing: the engine
// drops the slots that error recovery pops, and no action frees or takes back anything.
// The widest member comes first: `yyvalue{}` must clear the whole slot, and some
// compilers zero only the first member of a union.
union yyvalue {
  void* object;
  const char* text;  // IDENTIFIER, STRING, use_clause: NUL-terminated
  int number;        // INT_NUMBER, HEX_NUMBER, address
  float real;        // REAL_NUMBER
  char character;    // CHARACTER: only this low byte is meaningful
  CExpression* expression;
  const CType* type;  // shared or made for the declaration: only read
  CSymbol* symbol;
  CVarSymbol* variable;
  CStatement* statement;
  CMethodStatement* method;
  CDecideStatement* decide;
};
static_assert(sizeof(yyvalue) == sizeof(void*), "a slot is exactly one pointer wide");
