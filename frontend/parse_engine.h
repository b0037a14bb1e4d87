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

  // Runs the semantic action of production (1 to the number of productions); its right
  // side is on top of the value stack (ValueTop() is its last symbol).
  virtual void Action(int production) = 0;
  // The parse loop, from the state on top of the stack.
  virtual int Run();
  virtual void StackOverflow() { ReportError("yacc stack overflow"); }
  virtual void ReportError(const std::string& message);
  virtual void SyntaxError() { ReportError("syntax error"); }
  // A lookahead token dropped during error recovery.
  virtual void Discard(int /*token*/) {}
  virtual int GetToken() = 0;

  // The value slot on top of the stack: during an action, the last symbol of the
  // production; the symbols before it (and before an empty production) lie below.
  yyvalue* ValueTop() { return valueStack + top; }

  int lookahead = 0;
  bool lookaheadValid = false;
  int errorSkip = 0;  // tokens still to shift before a new error is reported

 private:
  // Pushes a state (its value slot is left to the caller); false when the stacks cannot grow.
  bool PushState(int state) {
    if (static_cast<std::size_t>(top + 1) >= capacity && !GrowStacks()) return false;
    stateStack[++top] = static_cast<std::int16_t>(state);
    return true;
  }
  bool GrowStacks();
  // Inlined into the parse loop: it runs for every reduction.
  [[gnu::always_inline]] inline bool Reduce(int rule);
  // Pops states until one shifts error: false when the stack ran empty.
  bool RecoverFromError(bool& overflow);
  void ClearStacks();

  std::int16_t* stateStack = nullptr;
  yyvalue* valueStack = nullptr;
  std::size_t capacity = 0;
  int top = -1;
};

// The engine bound to the parse tables of the Tovrin grammar.
class yyfparser : public yyparser {
 public:
  // Grammar facts the tables must show (a build check guards them too).
  static int StateCount();
  static int ProductionCount();  // without the augmented start production
  // Number of symbols on the production's right side; -1 for no production.
  static int ProductionLength(int production);
};
