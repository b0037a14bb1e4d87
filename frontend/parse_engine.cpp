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
int TranslateToken(int token) {
  if (token < 0 || token > YYMAXUTOK || token == 256) return YYSYMBOL_YYUNDEF;
  return yytranslate[token];
}

// What a state does next: shift to a state, reduce a rule, or fail. The
// tables number the rules from 1, Bison's $accept rule first, so rule r is
// production r - 1.
struct Decision {
  enum Kind { kShift, kReduce, kError } kind;
  int number;  // target state, or rule
};

Decision DefaultAction(int state) {
  int rule = yydefact[state];
  if (rule == 0) return {Decision::kError, 0};
  return {Decision::kReduce, rule};
}

Decision LookUp(int state, int symbol) {
  int index = yypact[state] + symbol;
  if (index < 0 || index > YYLAST || yycheck[index] != symbol) return DefaultAction(state);
  int entry = yytable[index];
  if (entry > 0) return {Decision::kShift, entry};
  if (entry == 0 || entry == YYTABLE_NINF) return {Decision::kError, 0};
  return {Decision::kReduce, -entry};
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

yyvalue& yyparser::Rhs(int i) {
  static yyvalue none;
  int index = top - reducedLength + i;
  if (index < 0 || index > top) {
    none = yyvalue{};
    return none;
  }
  return valueStack[index];
}

bool yyparser::PushState(int state) {
  if (static_cast<std::size_t>(top + 1) >= capacity) {
    std::size_t next = capacity == 0 ? kInitialStackSize : capacity * 2;
    if (next > stackLimit || next > SIZE_MAX / sizeof(yyvalue) || next > INT32_MAX) return false;
    auto* states = static_cast<std::int16_t*>(std::realloc(stateStack, next * sizeof(std::int16_t)));
    if (!states) return false;
    stateStack = states;
    auto* values = static_cast<yyvalue*>(std::realloc(valueStack, next * sizeof(yyvalue)));
    if (!values) return false;
    valueStack = values;
    capacity = next;
  }
  ++top;
  stateStack[top] = static_cast<std::int16_t>(state);
  return true;
}

int yyparser::Parse() {
  top = -1;
  lookaheadValid = false;
  errorSkip = 0;
  errorCount = 0;
  int result = PushState(0) ? Run() : 1;
  ClearStacks();
  return result;
}

// Whatever an aborted parse leaves on the stacks or in the lookahead still
// owns its values.
void yyparser::ClearStacks() {
  for (; top >= 0; --top) DiscardValue(yystos[stateStack[top]], valueStack[top]);
  if (lookaheadValid) {
    lookaheadValid = false;
    Discard(lookahead);
  }
}

int yyparser::Run() {
  for (;;) {
    int state = stateStack[top];
    if (state == YYFINAL) return 0;

    Decision decision;
    if (yypact[state] == YYPACT_NINF) {
      // The state's only action is its default: no lookahead needed.
      decision = DefaultAction(state);
    } else {
      if (!lookaheadValid) {
        int token = GetToken();
        lookahead = token < 0 ? 0 : token;
        lookaheadValid = true;
      }
      decision = LookUp(state, TranslateToken(lookahead));
    }

    if (decision.kind == Decision::kShift) {
      if (errorSkip > 0) --errorSkip;
      if (!PushState(decision.number)) {
        StackOverflow();
        return 1;
      }
      valueStack[top] = tokenValue;
      lookaheadValid = false;
      continue;
    }
    if (decision.kind == Decision::kReduce) {
      if (!Reduce(decision.number)) {
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
  int length = yyr2[rule];
  if (length > 0) resultValue = valueStack[top - length + 1];
  reducedLength = length;
  Action(rule - 1);
  reducedLength = 0;
  top -= length;

  int left = yyr1[rule] - YYNTOKENS;
  int below = stateStack[top];
  int index = yypgoto[left] + below;
  int next = (index >= 0 && index <= YYLAST && yycheck[index] == below) ? yytable[index] : yydefgoto[left];
  if (!PushState(next)) return false;
  valueStack[top] = resultValue;
  return true;
}

bool yyparser::RecoverFromError(bool& overflow) {
  errorSkip = 0;
  while (top >= 0) {
    int state = stateStack[top];
    if (yypact[state] != YYPACT_NINF) {
      int index = yypact[state] + kErrorSymbol;
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
    DiscardValue(yystos[state], valueStack[top]);
    --top;
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

int yyfparser::IdentifierSymbol() { return YYSYMBOL_IDENTIFIER; }
int yyfparser::StringSymbol() { return YYSYMBOL_STRING; }
int yyfparser::UseClauseSymbol() { return YYSYMBOL_use_clause; }
