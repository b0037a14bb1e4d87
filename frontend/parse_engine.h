// The table-driven LALR(1) parse engine with yacc-style error recovery.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "frontend/value_slot.h"

// The engine: state and value stacks, the parse loop and error recovery.
// Derived classes supply tokens, actions and reporting.
class yyparser {
 public:
  yyparser() = default;
  yyparser(const yyparser&) = delete;
  yyparser& operator=(const yyparser&) = delete;
  virtual ~yyparser();

  // Empties the stacks, zeroes errorCount and parses the whole input:
  // 0 when it was accepted, 1 when the parse was aborted.
  int Parse();

  yyvalue tokenValue{};   // value of the token just scanned (the lexer fills it)
  yyvalue resultValue{};  // value of the production being reduced
  int errorCount = 0;     // log entries plus one per syntax error

  // Capacity beyond which the stacks cannot grow: stands in for exhausted
  // memory, which is the only limit on nesting.
  std::size_t stackLimit = SIZE_MAX;

 protected:
  // Allocates both stacks at their initial capacity; false when out of memory.
  bool CreateStacks();

  // Runs the semantic action of production (1 to the number of productions).
  virtual void Action(int production) = 0;
  // The parse loop, from the state on top of the stack.
  virtual int Run();
  virtual void StackOverflow() { ReportError("yacc stack overflow"); }
  virtual void ReportError(const std::string& message);
  virtual void SyntaxError() { ReportError("syntax error"); }
  // A lookahead token dropped during error recovery.
  virtual void Discard(int /*token*/) {}
  // A stack entry popped without its production being reduced (error
  // recovery, an aborted parse): symbol is the grammar symbol's kind.
  virtual void DiscardValue(int /*symbol*/, yyvalue& /*value*/) {}
  virtual int GetToken() = 0;

  // Value of symbol i (1-based) of the production being reduced; 0 and below
  // reach the symbols before it, which the empty marker productions use.
  yyvalue& Rhs(int i);

  int lookahead = 0;
  bool lookaheadValid = false;
  int errorSkip = 0;  // tokens still to shift before a new error is reported

 private:
  bool PushState(int state);
  bool Reduce(int rule);
  // Pops states until one shifts error: false when the stack ran empty.
  bool RecoverFromError(bool& overflow);
  void ClearStacks();

  std::int16_t* stateStack = nullptr;
  yyvalue* valueStack = nullptr;
  std::size_t capacity = 0;
  int top = -1;
  int reducedLength = 0;  // length of the production being reduced
};

// The engine bound to the parse tables of the Tovrin grammar.
class yyfparser : public yyparser {
 public:
  // Grammar facts the tables must show (a build check guards them too).
  static int StateCount();
  static int ProductionCount();  // without the augmented start production
  // Number of symbols on the production's right side; -1 for no production.
  static int ProductionLength(int production);
  // Symbol kinds of the terminals and nonterminals whose values are heap texts.
  static int IdentifierSymbol();
  static int StringSymbol();
  static int UseClauseSymbol();
};
