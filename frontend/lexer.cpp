#include "frontend/lexer.h"

#include <algorithm>

#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "frontend/parser.h"
#include "frontend/tokens.h"
#include "frontend/value_slot.h"

namespace {

constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexDigit(int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

// What each byte can start, so the scanner decides with one load.
enum CharacterClass : unsigned char {
  CLASS_NONE,       // starts no rule
  CLASS_BLANK,      // rule 38
  CLASS_LINE,       // rule 37
  CLASS_LETTER,     // rules 9 to 36 and 46
  CLASS_DIGIT,      // rules 41 to 43
  CLASS_CHARACTER,  // rule 40, nothing longer starts with it
  CLASS_SPECIAL,    // needs a look at what follows: / " ' = < > .
};

struct CharacterTable {
  unsigned char kind[256] = {};
  bool word[256] = {};  // letters, digits, underscore
  constexpr CharacterTable() {
    for (int c = 0; c < 256; ++c) {
      word[c] = IsLetter(c) || IsDigit(c);
      if (IsLetter(c)) kind[c] = CLASS_LETTER;
      if (IsDigit(c)) kind[c] = CLASS_DIGIT;
    }
    kind[static_cast<unsigned char>(' ')] = CLASS_BLANK;
    kind[static_cast<unsigned char>('\t')] = CLASS_BLANK;
    kind[static_cast<unsigned char>('\n')] = CLASS_LINE;
    for (char c : {'%', '&', '(', ')', '*', '+', ',', '-', ':', ';', '?', '@', '[', ']', '^', '{', '|', '}', '~'})
      kind[static_cast<unsigned char>(c)] = CLASS_CHARACTER;
    for (char c : {'/', '"', '\'', '=', '<', '>', '.'}) kind[static_cast<unsigned char>(c)] = CLASS_SPECIAL;
  }
};
constexpr CharacterTable kCharacters;

// Folds each CR LF of text to LF in place; returns the new length.
std::size_t FoldLineBreaks(char* text, std::size_t length) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == '\r' && i + 1 < length && text[i + 1] == '\n') continue;
    text[out++] = text[i];
  }
  return out;
}

bool Is(const char* word, const char (&keyword)[3]) { return word[1] == keyword[1]; }
template <std::size_t N>
bool Is(const char* word, const char (&keyword)[N]) {
  return std::memcmp(word + 1, keyword + 1, N - 2) == 0;
}

// The keyword rule a whole word matches (rules 9 to 36), else the identifier rule: the
// length and the first letter leave at most two candidates. Keywords are lower case only.
int WordRule(const char* w, std::size_t length) {
  switch (length) {
    case 2:
      switch (w[0]) {
        case 'i': return Is(w, "is") ? 10 : Is(w, "if") ? 25 : RULE_IDENTIFIER;
        case 'o': return Is(w, "or") ? 12 : RULE_IDENTIFIER;
        case 'a': return Is(w, "as") ? 16 : RULE_IDENTIFIER;
        case 'd': return Is(w, "do") ? 21 : RULE_IDENTIFIER;
      }
      break;
    case 3:
      switch (w[0]) {
        case 'a': return Is(w, "and") ? 9 : RULE_IDENTIFIER;
        case 'n': return Is(w, "not") ? 11 : RULE_IDENTIFIER;
        case 'x': return Is(w, "xor") ? 13 : RULE_IDENTIFIER;
        case 'm': return Is(w, "min") ? 14 : Is(w, "max") ? 15 : RULE_IDENTIFIER;
        case 'd': return Is(w, "def") ? 20 : RULE_IDENTIFIER;
        case 'o': return Is(w, "out") ? 30 : RULE_IDENTIFIER;
        case 'u': return Is(w, "use") ? 34 : RULE_IDENTIFIER;
      }
      break;
    case 4:
      switch (w[0]) {
        case 'b': return Is(w, "byte") ? 17 : RULE_IDENTIFIER;
        case 'e': return Is(w, "else") ? 23 : RULE_IDENTIFIER;
        case 'r': return Is(w, "real") ? 32 : Is(w, "rule") ? 33 : RULE_IDENTIFIER;
      }
      break;
    case 5:
      switch (w[0]) {
        case 'c': return Is(w, "clear") ? 18 : Is(w, "const") ? 19 : RULE_IDENTIFIER;
        case 'f': return Is(w, "fuzzy") ? 24 : RULE_IDENTIFIER;
        case 'o': return Is(w, "outch") ? 29 : RULE_IDENTIFIER;
        case 'r': return Is(w, "range") ? 31 : RULE_IDENTIFIER;
        case 'w': return Is(w, "while") ? 35 : RULE_IDENTIFIER;
      }
      break;
    case 6:
      switch (w[0]) {
        case 'd': return Is(w, "define") ? 20 : RULE_IDENTIFIER;
        case 'e': return Is(w, "elseif") ? 22 : RULE_IDENTIFIER;
        case 'm': return Is(w, "memory") ? 28 : RULE_IDENTIFIER;
        case 'w': return Is(w, "weight") ? 36 : RULE_IDENTIFIER;
      }
      break;
    case 7:
      return w[0] == 'i' && Is(w, "integer") ? 26 : RULE_IDENTIFIER;
    case 8:
      return w[0] == 'c' && Is(w, "constant") ? 19 : RULE_IDENTIFIER;
    case 9:
      return w[0] == 'i' && Is(w, "interrupt") ? 27 : RULE_IDENTIFIER;
  }
  return RULE_IDENTIFIER;
}

// Token code of each rule that returns a fixed token (0 for the others).
struct RuleTokens {
  int token[RULE_IDENTIFIER + 1] = {};
  constexpr RuleTokens() {
    const int operators[] = {EQ, NE, LE, LT, GE, GT, SHL, SHR};  // rules 1 to 8
    for (int i = 0; i < 8; ++i) token[RULE_FIRST_OPERATOR + i] = operators[i];
    // Rules 9 to 36, in rule order ("const"/"constant" and "def"/"define" share a rule).
    const int keywords[] = {AND,   IS,    NOT,      OR,        XOR,    MIN,   MAX,   AS,    BYTE,  CLEAR,
                            CONSTANT, DEFINE, DO,    ELSEIF,    ELSE,   FUZZY, IF,    INTEGER, INTERRUPT,
                            MEMORY, OUTCH, OUT,   RANGE,     REAL,   RULE,  USE,   WHILE, WEIGHT};
    for (int i = 0; i < 28; ++i) token[RULE_FIRST_KEYWORD + i] = keywords[i];
  }
};
constexpr RuleTokens kRuleTokens;

// Decimal conversion of an INT_NUMBER. Values beyond the int range saturate
// rather than wrap, so an oversized literal can never pass as a small one.
int DecimalValue(const char* digits, std::size_t length) {
  long long value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    value = value * 10 + (digits[i] - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

int HexValue(const char* digits, std::size_t length) {
  int value = 0;
  for (std::size_t i = 0; i < length; ++i) {
    int c = digits[i];
    int digit = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    value = value * 16 + digit;
  }
  return value;
}

// The literal has no sign and no exponent, but may have many digits: clamp to
// the largest float instead of an out-of-range conversion. from_chars reads
// the point whatever the process locale says.
float RealValue(const char* text, std::size_t length) {
  double value = 0;
  std::from_chars_result result = std::from_chars(text, text + length, value);
  if (result.ec == std::errc::result_out_of_range) {
    // Too large when a digit other than 0 comes before the point, else too small.
    for (const char* c = text; c < text + length && *c != '.'; ++c)
      if (*c != '0') return FLT_MAX;
    return 0.0f;
  }
  if (!(value <= FLT_MAX)) return FLT_MAX;
  return static_cast<float>(value);
}

// Rules 41 to 43 from p (the first character, a digit or '.', already taken), or '.' alone
// (rule 40) when no digit follows it. Moves p past the match.
int MatchNumber(const char* start, const char*& p, const char* end) {
  if (*start == '0' && p < end && *p == 'x') {
    const char* q = p + 1;
    int digits = 0;
    while (digits < 4 && q < end && IsHexDigit(*q)) {
      ++q;
      ++digits;
    }
    if (digits >= 2) {
      p = q;
      return RULE_HEX_NUMBER;
    }
    return RULE_INT_NUMBER;  // "0x" or "0x5": the number 0, then a word starting with x
  }
  if (*start != '.') {
    while (p < end && IsDigit(*p)) ++p;
    if (p == end || *p != '.') return RULE_INT_NUMBER;
    ++p;
  }
  // The match ends with '.': a real number needs at least one digit after it.
  const char* point = p - 1;
  const char* q = p;
  while (q < end && IsDigit(*q)) ++q;
  if (q > p) {
    p = q;
    return RULE_REAL_NUMBER;
  }
  if (point > start) {
    p = point;
    return RULE_INT_NUMBER;
  }
  return RULE_CHARACTER_TOKEN;
}

}  // namespace

// ---------------------------------------------------------------- yylexer

const char* yylexer::TokenText() const {
  matchCopy.assign(match, matchLength);
  return matchCopy.c_str();
}

bool yylexer::CreateBuffers() {
  matchCopy.reserve(100);
  match = "";
  matchLength = 0;
  return true;
}

bool yylexer::MatchInCurrentText() const {
  const char* text = unread.data.get();
  return text != nullptr && match >= text && match < text + unread.size;
}

void yylexer::KeepMatch() {
  if (!MatchInCurrentText()) return;
  keptMatch.assign(match, matchLength);
  match = keptMatch.data();
}

CUnreadBuffer yylexer::TakeUnread() {
  KeepMatch();
  CUnreadBuffer taken = std::move(unread);
  unread = CUnreadBuffer();
  return taken;
}

void yylexer::RestoreUnread(CUnreadBuffer buffer) {
  KeepMatch();
  unread = std::move(buffer);
}

bool yylexer::ReadAhead() {
  if (!input || unread.loaded) return false;
  KeepMatch();
  CUnreadBuffer& u = unread;
  // What is left of the piece (its last line break, unless a string took it) and what was
  // read beyond it move to the front.
  const std::size_t kept = u.filled > u.next ? u.filled - u.next : 0;
  if (!u.data) {
    u.capacity = std::max<std::size_t>(readBlock, 2);
    u.data.reset(new (std::nothrow) char[u.capacity]);
    if (!u.data) ReportUnreadOverflow(static_cast<int>(std::min<std::size_t>(u.capacity, INT_MAX)));
  } else if (kept > 0) {
    std::memmove(u.data.get(), u.data.get() + u.next, kept);
  }
  u.lineStart -= static_cast<std::ptrdiff_t>(u.next);
  u.filled = kept;
  u.next = 0;
  // Fill the buffer; a piece ends at its last line break after the first byte (the first may
  // be the previous piece's), so a line longer than the buffer grows it.
  const char* lastBreak = nullptr;
  for (;;) {
    while (u.filled < u.capacity && !u.loaded) {
      const std::size_t read = std::fread(u.data.get() + u.filled, 1, u.capacity - u.filled, input);
      u.filled += read;
      if (read == 0) u.loaded = true;
    }
    if (u.loaded) break;
    lastBreak = u.filled > 1 ? static_cast<const char*>(memrchr(u.data.get() + 1, '\n', u.filled - 1)) : nullptr;
    if (lastBreak != nullptr) break;
    const std::size_t grown = u.capacity * 2;
    std::unique_ptr<char[]> larger(grown > u.capacity ? new (std::nothrow) char[grown] : nullptr);
    if (!larger) ReportUnreadOverflow(static_cast<int>(std::min<std::size_t>(u.capacity, INT_MAX)));
    std::memcpy(larger.get(), u.data.get(), u.filled);
    u.data = std::move(larger);
    u.capacity = grown;
  }
  const std::size_t pieceEnd = u.loaded ? u.filled : static_cast<std::size_t>(lastBreak - u.data.get()) + 1;
  std::size_t size = pieceEnd;
  if (std::memchr(u.data.get(), '\r', pieceEnd)) {
    // The piece ends with a whole line break, so no CR LF pair straddles two pieces.
    size = FoldLineBreaks(u.data.get(), pieceEnd);
    std::memmove(u.data.get() + size, u.data.get() + pieceEnd, u.filled - pieceEnd);
    u.filled -= pieceEnd - size;
  }
  u.size = size;
  u.limit = u.loaded ? size : size - 1;
  if (u.next < u.limit) return true;
  // A piece of nothing but a line break the last one already ended.
  return ReadAhead();
}

void yylexer::ReportTextOverflow(int size) {
  std::fprintf(stderr, "lex text buffer overflow (%d)\n", size);
  std::exit(1);
}

void yylexer::ReportUnreadOverflow(int size) {
  std::fprintf(stderr, "lex unput buffer overflow (%d)\n", size);
  std::exit(1);
}

// ---------------------------------------------------------------- yyflexer

int yyflexer::NextToken() {
  for (;;) {
    if (unread.next >= unread.limit && !ReadAhead()) {
      // End of a file before any character of a token: the match stays that of the last
      // one, which messages at the end of input show.
      if (Wrap()) return 0;
      continue;
    }
    const char* text = unread.data.get();
    const char* end = text + unread.size;
    const char* start = text + unread.next;
    const char* p = start + 1;
    const int c = static_cast<unsigned char>(*start);
    int rule = RULE_NONE;
    switch (kCharacters.kind[c]) {
      case CLASS_BLANK:
        // Rule 38 has no action: a run of blanks is skipped at once, the last one the match.
        while (p < end && kCharacters.kind[static_cast<unsigned char>(*p)] == CLASS_BLANK) ++p;
        unread.next = static_cast<std::size_t>(p - text);
        SetMatch(p - 1, 1);
        continue;
      case CLASS_LINE: {
        // Rule 37: the line break and everything up to the next one.
        const void* lineEnd = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        p = lineEnd != nullptr ? static_cast<const char*>(lineEnd) : end;
        rule = RULE_LINE;
        break;
      }
      case CLASS_LETTER:
        while (p < end && kCharacters.word[static_cast<unsigned char>(*p)]) ++p;
        rule = WordRule(start, static_cast<std::size_t>(p - start));
        break;
      case CLASS_DIGIT:
        rule = MatchNumber(start, p, end);
        break;
      case CLASS_CHARACTER:
        rule = RULE_CHARACTER_TOKEN;
        break;
      case CLASS_SPECIAL: {
        const int next = p < end ? static_cast<unsigned char>(*p) : -1;
        switch (c) {
          case '/':
            if (next != '/') {
              rule = RULE_CHARACTER_TOKEN;
              break;
            }
            {
              // Rule 39, up to the line break.
              const void* lineEnd = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
              p = lineEnd != nullptr ? static_cast<const char*>(lineEnd) : end;
            }
            rule = RULE_COMMENT;
            break;
          case '"':
            // Rule 44: closed by a double quote or a line break. Cut short by the end of the
            // file, the opening quote matches nothing and the rest is scanned again.
            while (p < end && *p != '"' && *p != '\n') ++p;
            if (p < end) {
              ++p;
              rule = RULE_STRING;
            } else {
              p = start + 1;
            }
            break;
          case '\'':
            // Rule 45: a quote, one character other than a line break, a quote.
            if (next >= 0 && next != '\n' && p + 1 < end && p[1] == '\'') {
              p += 2;
              rule = RULE_CHARACTER;
            }
            break;
          case '=':
            if (next == '=') ++p;
            rule = next == '=' ? 1 : RULE_CHARACTER_TOKEN;
            break;
          case '<':
            rule = next == '>' ? 2 : next == '=' ? 3 : next == '<' ? 7 : 4;
            if (rule != 4) ++p;
            break;
          case '>':
            rule = next == '=' ? 5 : next == '>' ? 8 : 6;
            if (rule != 6) ++p;
            break;
          case '.':
            rule = MatchNumber(start, p, end);
            break;
        }
        break;
      }
      default:
        break;
    }
    unread.next = static_cast<std::size_t>(p - text);
    SetMatch(start, static_cast<std::size_t>(p - start));
    if (rule == RULE_NONE) {
      EchoChar(c);
      continue;
    }
    // Rules that give a fixed token and no value need no action of their own.
    if (const int fixed = kRuleTokens.token[rule]; fixed != 0 || rule == RULE_CHARACTER_TOKEN) {
      if (valueSlot != nullptr) *valueSlot = yyvalue{};
      return fixed != 0 ? fixed : c;
    }
    const int token = Action(rule);
    if (token != kNoToken) return token < 0 ? 0 : token;
  }
}

// ---------------------------------------------------------------- CLexer

bool CLexer::Create(CParser* owner) {
  parser = owner;
  valueSlot = owner != nullptr ? &owner->tokenValue : nullptr;
  line = 1;
  return CreateBuffers();
}

bool CLexer::Wrap() {
  if (!parser) return true;
  return !parser->EndSource();
}

int CLexer::TokenColumn() const {
  if (!MatchInCurrentText()) return 0;
  const long long column = (MatchedText() - unread.data.get()) - static_cast<long long>(unread.lineStart) + 1;
  return column >= 1 && column <= INT_MAX ? static_cast<int>(column) : 0;
}

const char* CLexer::KeepText(const char* text, std::size_t length) {
  if (!parser) return nullptr;
  return parser->compiler.Nodes().Text(text, length).data();
}

int CLexer::Action(int rule) {
  const char* match = MatchedText();
  const std::size_t length = static_cast<std::size_t>(TokenLength());
  yyvalue value{};
  int token = kNoToken;
  switch (rule) {
    case RULE_LINE:
      // Capture the line for messages, then scan it normally: all but the line break is
      // given back, and the line starts after it.
      lineText.assign(match + 1, strnlen(match + 1, length - 1));
      ++line;
      unread.next -= length - 1;
      unread.lineStart = static_cast<std::ptrdiff_t>(unread.next);
      SetMatch(match, 1);
      return kNoToken;
    case RULE_BLANK:
    case RULE_COMMENT:
      return kNoToken;
    case RULE_CHARACTER_TOKEN:
      token = static_cast<unsigned char>(match[0]);
      break;
    case RULE_INT_NUMBER:
      token = INT_NUMBER;
      value.number = DecimalValue(match, length);
      break;
    case RULE_HEX_NUMBER:
      token = HEX_NUMBER;
      value.number = HexValue(match + 2, length - 2);
      break;
    case RULE_REAL_NUMBER:
      token = REAL_NUMBER;
      value.real = RealValue(match, length);
      break;
    case RULE_STRING:
      // Between the opening quote and the closing quote or line break.
      token = STRING;
      value.text = KeepText(match + 1, length - 2);
      break;
    case RULE_CHARACTER:
      token = CHARACTER;
      value.character = match[1];
      break;
    case RULE_IDENTIFIER:
      token = IDENTIFIER;
      value.text = KeepText(match, length);
      break;
    default:
      if (rule < RULE_FIRST_OPERATOR || rule >= RULE_LINE) return kNoToken;
      token = kRuleTokens.token[rule];
      break;
  }
  // Tokens without a value get a cleared slot.
  if (parser) parser->tokenValue = value;
  return token;
}
