#include "frontend/parse_engine.h"

#include <cstdio>
#include <cstdlib>

#include "grammar_tables.h"

using namespace yytables;

// The automaton the parser's behaviour was designed against: 293 states plus
// Bison's own state after the end of input, 163 productions plus Bison's
// $accept, 59 nonterminals with $accept. A grammar edit that changes them
// must be deliberate.
static_assert(YYNSTATES == 294, "the grammar's automaton changed");
static_assert(YYNRULES == 164, "the number of productions changed");
static_assert(YYNNTS == 59, "the number of nonterminals changed");
static_assert(YYNSTATES <= INT16_MAX, "states must fit the 16-bit state stack");

namespace {

constexpr std::size_t kInitialStackSize = 100;
constexpr int kErrorSymbol = YYSYMBOL_YYerror;

// Internal symbol of a token code; anything unknown (the error code included,
// which only the engine may shift) can never be shifted.
inline int TranslateToken(int token) {
  if (static_cast<unsigned>(token) > static_cast<unsigned>(YYMAXUTOK) || token == 256) return YYSYMBOL_YYUNDEF;
  return yytranslate[token];
}

// The entry of yytable for (state, symbol): above 0 a shift to that state, below 0 the
// reduction of rule -entry, 0 an error; the state's default action when the pair has none.
// The tables number the rules from 1, Bison's $accept rule first, so rule r is
// production r - 1.
inline int LookUp(int state, int symbol) {
  const int index = yypact[state] + symbol;
  if (index < 0 || index > YYLAST || yycheck[index] != symbol) return -yydefact[state];
  const int entry = yytable[index];
  return entry == YYTABLE_NINF ? 0 : entry;
}

}  // namespace

// ---------------------------------------------------------------- yyparser

yyparser::~yyparser() {
  std::free(stateStack);
  std::free(valueStack);
}

bool yyparser::CreateStacks() {
  std::free(stateStack);
  std::free(valueStack);
  capacity = 0;
  stateStack = static_cast<std::int16_t*>(std::malloc(kInitialStackSize * sizeof(std::int16_t)));
  valueStack = static_cast<yyvalue*>(std::malloc(kInitialStackSize * sizeof(yyvalue)));
  if (!stateStack || !valueStack) return false;
  capacity = kInitialStackSize;
  top = -1;
  return true;
}

void yyparser::ReportError(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
}

bool yyparser::GrowStacks() {
  std::size_t next = capacity == 0 ? kInitialStackSize : capacity * 2;
  if (next > stackLimit || next > SIZE_MAX / sizeof(yyvalue) || next > INT32_MAX) return false;
  auto* states = static_cast<std::int16_t*>(std::realloc(stateStack, next * sizeof(std::int16_t)));
  if (!states) return false;
  stateStack = states;
  auto* values = static_cast<yyvalue*>(std::realloc(valueStack, next * sizeof(yyvalue)));
  if (!values) return false;
  valueStack = values;
  capacity = next;
  return true;
}

int yyparser::Parse() {
  top = -1;
  lookaheadValid = false;
  errorSkip = 0;
  errorCount = 0;
  int result = PushState(0) ? Run() : 1;
  // The values left on an aborted parse's stack own nothing: dropping them is all.
  top = -1;
  if (lookaheadValid) {
    lookaheadValid = false;
    Discard(lookahead);
  }
  return result;
}

int yyparser::Run() {
  for (;;) {
    const int state = stateStack[top];
    if (state == YYFINAL) return 0;

    int entry;
    if (yypact[state] == YYPACT_NINF) {
      // The state's only action is its default: no lookahead needed.
      entry = -yydefact[state];
    } else {
      if (!lookaheadValid) {
        const int token = GetToken();
        lookahead = token < 0 ? 0 : token;
        lookaheadValid = true;
      }
      entry = LookUp(state, TranslateToken(lookahead));
    }

    if (entry > 0) {  // shift
      if (errorSkip > 0) --errorSkip;
      if (!PushState(entry)) {
        StackOverflow();
        return 1;
      }
      valueStack[top] = tokenValue;
      lookaheadValid = false;
      continue;
    }
    if (entry < 0) {
      if (!Reduce(-entry)) {
        StackOverflow();
        return 1;
      }
      continue;
    }

    // A syntax error.
    if (errorSkip == 0) {
      ++errorCount;
      SyntaxError();
    }
    if (errorSkip < 3) {
      bool overflow = false;
      if (!RecoverFromError(overflow)) {
        if (overflow) StackOverflow();
        return 1;
      }
      continue;
    }
    // No token shifted since the last recovery: drop this one and try the
    // next in the same state.
    if (lookahead == 0) return 1;
    lookaheadValid = false;
    Discard(lookahead);
  }
}

bool yyparser::Reduce(int rule) {
  const int length = yyr2[rule];
  if (length > 0) resultValue = valueStack[top - length + 1];
  Action(rule - 1);
  top -= length;

  const int left = yyr1[rule] - YYNTOKENS;
  const int below = stateStack[top];
  const int index = yypgoto[left] + below;
  const int next = (index >= 0 && index <= YYLAST && yycheck[index] == below) ? yytable[index] : yydefgoto[left];
  if (!PushState(next)) return false;
  valueStack[top] = resultValue;
  return true;
}

bool yyparser::RecoverFromError(bool& overflow) {
  errorSkip = 0;
  // Popped values own nothing (they point into the build's arena), so popping is all.
  for (; top >= 0; --top) {
    const int state = stateStack[top];
    if (yypact[state] == YYPACT_NINF) continue;
    const int index = yypact[state] + kErrorSymbol;
    if (index >= 0 && index <= YYLAST && yycheck[index] == kErrorSymbol && yytable[index] > 0) {
      if (!PushState(yytable[index])) {
        overflow = true;
        return false;
      }
      valueStack[top] = yyvalue{};  // error carries no value
      errorSkip = 3;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- yyfparser

int yyfparser::StateCount() { return YYNSTATES; }
int yyfparser::ProductionCount() { return YYNRULES - 1; }

int yyfparser::ProductionLength(int production) {
  if (production < 1 || production >= YYNRULES) return -1;
  return yyr2[production + 1];
}
