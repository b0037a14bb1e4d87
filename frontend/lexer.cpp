#include "frontend/lexer.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "frontend/parser.h"
#include "frontend/tokens.h"
#include "frontend/value_slot.h"

namespace {

constexpr int kInitialBufferSize = 100;
constexpr int kReadBlock = 16384;

constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool IsHexDigit(int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
constexpr bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
constexpr bool IsWordChar(int c) { return IsLetter(c) || IsDigit(c); }

// Classes of characters for the scans that take runs of them.
struct CharacterTable {
  bool word[256] = {};      // letters, digits, underscore
  bool stringBody[256] = {};  // anything but a double quote or a line break
  constexpr CharacterTable() {
    for (int c = 0; c < 256; ++c) {
      word[c] = IsWordChar(c);
      stringBody[c] = c != '"' && c != '\n';
    }
  }
};
constexpr CharacterTable kCharacters;

// Folds each CR LF of block to LF in place; a CR at its end is paired with
// the next byte of the stream. Returns the new length.
std::size_t FoldLineBreaks(unsigned char* block, std::size_t length, FILE* stream) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < length; ++i) {
    unsigned char c = block[i];
    if (c == '\r') {
      if (i + 1 < length) {
        if (block[i + 1] == '\n') continue;
      } else {
        int next = getc_unlocked(stream);
        if (next == '\n')
          c = '\n';
        else if (next != EOF)
          ungetc(next, stream);
      }
    }
    block[out++] = c;
  }
  return out;
}

// The characters of rule 40, each its own token.
bool IsCharacterToken(int c) {
  switch (c) {
    case '%': case '&': case '(': case ')': case '*': case '+': case ',': case '-':
    case '.': case '/': case ':': case ';': case '=': case '?': case '@': case '[':
    case ']': case '^': case '{': case '|': case '}': case '~':
      return true;
    default:
      return false;
  }
}

// Next capacity of a doubling buffer; 0 when it would overflow an int.
int Doubled(int capacity) {
  if (capacity == 0) return kInitialBufferSize;
  if (capacity > INT_MAX / 2) return 0;
  return capacity * 2;
}

struct Keyword {
  std::string_view text;
  int rule;
  int token;
};

// Rules 9 to 36. Keywords are lower case only.
constexpr Keyword kKeywords[] = {
    {"and", 9, AND},          {"is", 10, IS},           {"not", 11, NOT},
    {"or", 12, OR},           {"xor", 13, XOR},         {"min", 14, MIN},
    {"max", 15, MAX},         {"as", 16, AS},           {"byte", 17, BYTE},
    {"clear", 18, CLEAR},     {"const", 19, CONSTANT},  {"constant", 19, CONSTANT},
    {"def", 20, DEFINE},      {"define", 20, DEFINE},   {"do", 21, DO},
    {"elseif", 22, ELSEIF},   {"else", 23, ELSE},       {"fuzzy", 24, FUZZY},
    {"if", 25, IF},           {"integer", 26, INTEGER}, {"interrupt", 27, INTERRUPT},
    {"memory", 28, MEMORY},   {"outch", 29, OUTCH},     {"out", 30, OUT},
    {"range", 31, RANGE},     {"real", 32, REAL},       {"rule", 33, RULE},
    {"use", 34, USE},         {"while", 35, WHILE},     {"weight", 36, WEIGHT},
};

// The keyword rule a whole word matches, else the identifier rule.
int WordRule(const char* word, int length) {
  if (length < 2 || length > 9 || word[0] < 'a' || word[0] > 'z') return RULE_IDENTIFIER;
  std::string_view candidate(word, length);
  for (const Keyword& keyword : kKeywords) {
    if (keyword.text.size() == candidate.size() && keyword.text[0] == word[0] && keyword.text == candidate)
      return keyword.rule;
  }
  return RULE_IDENTIFIER;
}

// Token code of each rule that returns a fixed token (0 for the others).
struct RuleTokens {
  int token[RULE_IDENTIFIER + 1] = {};
  constexpr RuleTokens() {
    const int operators[] = {EQ, NE, LE, LT, GE, GT, SHL, SHR};  // rules 1 to 8
    for (int i = 0; i < 8; ++i) token[RULE_FIRST_OPERATOR + i] = operators[i];
    for (const Keyword& keyword : kKeywords) token[keyword.rule] = keyword.token;
  }
};
constexpr RuleTokens kRuleTokens;

// Decimal conversion of an INT_NUMBER. Values beyond the int range saturate
// rather than wrap, so an oversized literal can never pass as a small one.
int DecimalValue(const char* digits) {
  long long value = 0;
  for (; *digits; ++digits) {
    value = value * 10 + (*digits - '0');
    if (value > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(value);
}

int HexValue(const char* digits) {
  int value = 0;
  for (; *digits; ++digits) {
    int c = *digits;
    int digit = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    value = value * 16 + digit;
  }
  return value;
}

// The literal has no sign and no exponent, but may have many digits: clamp to
// the largest float instead of an out-of-range conversion. from_chars reads
// the point whatever the process locale says.
float RealValue(const char* text, int length) {
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

}  // namespace

// ---------------------------------------------------------------- yylexer

bool yylexer::CreateBuffers() {
  text.reset(new (std::nothrow) char[kInitialBufferSize]);
  unread.data.reset(new (std::nothrow) unsigned char[kInitialBufferSize]);
  if (!text || !unread.data) return false;
  textCapacity = kInitialBufferSize;
  textLength = 0;
  text[0] = '\0';
  unread.capacity = kInitialBufferSize;
  unread.size = 0;
  return true;
}

CUnreadBuffer yylexer::TakeUnread() {
  // Copied out at its size: a deep chain of used files keeps only what each
  // file really had read ahead.
  CUnreadBuffer taken;
  int capacity = unread.size > kInitialBufferSize ? unread.size : kInitialBufferSize;
  taken.data.reset(new (std::nothrow) unsigned char[capacity]);
  if (!taken.data) ReportUnreadOverflow(unread.capacity);
  taken.capacity = capacity;
  taken.size = unread.size;
  taken.fed = unread.fed;
  taken.lineStart = unread.lineStart;
  unread.fed = 0;
  unread.lineStart = 0;
  if (unread.size > 0)
    std::memcpy(&taken.data[capacity - unread.size], &unread.data[unread.capacity - unread.size], unread.size);
  unread.size = 0;
  return taken;
}

void yylexer::RestoreUnread(CUnreadBuffer buffer) { unread = std::move(buffer); }

bool yylexer::ReadAhead() {
  if (!input) return false;
  if (unread.capacity < kReadBlock) GrowUnread(kReadBlock);
  unsigned char* block = &unread.data[unread.capacity - kReadBlock];
  std::size_t length = std::fread(block, 1, kReadBlock, input);
  if (length == 0) return false;
  if (std::memchr(block, '\r', length)) length = FoldLineBreaks(block, length, input);
  // The next character to read sits at capacity - size.
  if (length < static_cast<std::size_t>(kReadBlock))
    std::memmove(&unread.data[unread.capacity - length], block, length);
  unread.size = static_cast<int>(length);
  unread.fed += static_cast<long long>(length);
  return true;
}

void yylexer::AppendWhile(const bool* keep) {
  for (;;) {
    if (unread.size == 0 && !ReadAhead()) return;
    const unsigned char* begin = &unread.data[unread.capacity - unread.size];
    int length = 0;
    if (keep) {
      while (length < unread.size && keep[begin[length]]) ++length;
    } else {
      const void* end = std::memchr(begin, '\n', unread.size);
      length = end ? static_cast<int>(static_cast<const unsigned char*>(end) - begin) : unread.size;
    }
    AppendBlock(begin, length);
    unread.size -= length;
    if (unread.size > 0) return;
  }
}

void yylexer::AppendBlock(const unsigned char* block, int length) {
  while (textLength + length + 1 > textCapacity) GrowText();
  std::memcpy(&text[textLength], block, length);
  textLength += length;
}

void yylexer::ReportTextOverflow(int size) {
  std::fprintf(stderr, "lex text buffer overflow (%d)\n", size);
  std::exit(1);
}

void yylexer::ReportUnreadOverflow(int size) {
  std::fprintf(stderr, "lex unput buffer overflow (%d)\n", size);
  std::exit(1);
}

void yylexer::Less(int length) {
  if (length >= textLength) return;
  int extra = textLength - length;
  if (unread.size > unread.capacity - extra) GrowUnread(unread.size + extra);
  unread.size += extra;
  std::memcpy(&unread.data[unread.capacity - unread.size], &text[length], extra);
  textLength = length;
  text[textLength] = '\0';
}

void yylexer::GrowText() {
  int next = Doubled(textCapacity);
  if (next == 0) ReportTextOverflow(textCapacity);
  std::unique_ptr<char[]> grown(new (std::nothrow) char[next]);
  if (!grown) ReportTextOverflow(textCapacity);
  if (textLength > 0) std::memcpy(grown.get(), text.get(), textLength);
  text = std::move(grown);
  textCapacity = next;
}

void yylexer::GrowUnread(int needed) {
  int next = unread.capacity;
  while (next < needed) {
    next = Doubled(next);
    if (next == 0) ReportUnreadOverflow(unread.capacity);
  }
  std::unique_ptr<unsigned char[]> grown(new (std::nothrow) unsigned char[next]);
  if (!grown) ReportUnreadOverflow(unread.capacity);
  // The characters keep their place at the end of the buffer.
  if (unread.size > 0)
    std::memcpy(&grown[next - unread.size], &unread.data[unread.capacity - unread.size], unread.size);
  unread.data = std::move(grown);
  unread.capacity = next;
}

// ---------------------------------------------------------------- yyflexer

int yyflexer::NextToken() {
  for (;;) {
    int c = ReadChar();
    if (c < 0) {
      // End of a file before any character of a token: the token text stays
      // that of the last match, which messages at the end of input show.
      if (Wrap()) return 0;
      continue;
    }
    ClearText();
    AppendText(c);
    if (c == ' ' || c == '\t') {
      // Rule 38 has no action: skip the call, keep the text.
      TerminateText();
      continue;
    }
    int rule = Match(c);
    TerminateText();
    if (rule == RULE_NONE) {
      EchoChar(c);
      continue;
    }
    int token = Action(rule);
    if (token != kNoToken) return token < 0 ? 0 : token;
  }
}

int yyflexer::Match(int c) {
  switch (c) {
    case '\n':
      return MatchLineBreak();
    case ' ':
    case '\t':
      return RULE_BLANK;
    case '/':
      return MatchSlash();
    case '"':
      return MatchString();
    case '\'':
      return MatchCharacter();
    case '=': {
      int next = ReadChar();
      if (next == '=') {
        AppendText(next);
        return 1;
      }
      if (next >= 0) UnreadChar(next);
      return RULE_CHARACTER_TOKEN;
    }
    case '<':
    case '>': {
      int next = ReadChar();
      int rule = 0;
      if (c == '<') rule = next == '>' ? 2 : next == '=' ? 3 : next == '<' ? 7 : 0;
      if (c == '>') rule = next == '=' ? 5 : next == '>' ? 8 : 0;
      if (rule != 0) {
        AppendText(next);
        return rule;
      }
      if (next >= 0) UnreadChar(next);
      return c == '<' ? 4 : 6;
    }
    default:
      break;
  }
  if (IsDigit(c) || c == '.') return MatchNumber(c);
  if (IsLetter(c)) return MatchWord();
  if (IsCharacterToken(c)) return RULE_CHARACTER_TOKEN;
  return RULE_NONE;
}

// Rule 37: the line break and everything up to the next one.
int yyflexer::MatchLineBreak() {
  AppendWhile(nullptr);
  return RULE_LINE;
}

// Rule 39 ("//" up to the line break) or the character token '/'.
int yyflexer::MatchSlash() {
  int c = ReadChar();
  if (c != '/') {
    if (c >= 0) UnreadChar(c);
    return RULE_CHARACTER_TOKEN;
  }
  AppendText(c);
  AppendWhile(nullptr);
  return RULE_COMMENT;
}

// Rule 44: closed by a double quote or a line break. Cut short by the end of
// the file, the opening quote matches nothing and the rest is scanned again.
int yyflexer::MatchString() {
  AppendWhile(kCharacters.stringBody);
  int c = ReadChar();
  if (c >= 0) {
    AppendText(c);
    return RULE_STRING;
  }
  Less(1);
  return RULE_NONE;
}

// Rule 45: a quote, one character other than a line break, a quote.
int yyflexer::MatchCharacter() {
  int c = ReadChar();
  if (c < 0) return RULE_NONE;
  if (c == '\n') {
    UnreadChar(c);
    return RULE_NONE;
  }
  int close = ReadChar();
  if (close == '\'') {
    AppendText(c);
    AppendText(close);
    return RULE_CHARACTER;
  }
  if (close >= 0) UnreadChar(close);
  UnreadChar(c);
  return RULE_NONE;
}

// Rules 41 to 43, and '.' alone (rule 40) when no digit follows it.
int yyflexer::MatchNumber(int first) {
  int c;
  if (first == '0') {
    c = ReadChar();
    if (c == 'x') {
      AppendText(c);
      int digits = 0;
      while (digits < 4 && IsHexDigit(c = ReadChar())) {
        AppendText(c);
        ++digits;
      }
      if (digits == 4 || c < 0) {
        // Four digits end the match; so does the end of the stream.
      } else {
        UnreadChar(c);
      }
      if (digits >= 2) return RULE_HEX_NUMBER;
      Less(1);  // "0x" or "0x5": the number 0, then a word starting with x
      return RULE_INT_NUMBER;
    }
    if (c >= 0) UnreadChar(c);
  }
  if (first != '.') {
    while (IsDigit(c = ReadChar())) AppendText(c);
    if (c != '.') {
      if (c >= 0) UnreadChar(c);
      return RULE_INT_NUMBER;
    }
    AppendText(c);
  }
  // The text ends with '.': a real number needs at least one digit after it.
  int integerLength = TokenLength() - 1;
  int digits = 0;
  while (IsDigit(c = ReadChar())) {
    AppendText(c);
    ++digits;
  }
  if (c >= 0) UnreadChar(c);
  if (digits > 0) return RULE_REAL_NUMBER;
  Less(integerLength > 0 ? integerLength : 1);
  return integerLength > 0 ? RULE_INT_NUMBER : RULE_CHARACTER_TOKEN;
}

// Rules 9 to 36 and 46: a keyword wins a tie with the identifier rule.
int yyflexer::MatchWord() {
  AppendWhile(kCharacters.word);
  return WordRule(MatchedText(), TokenLength());
}

// ---------------------------------------------------------------- CLexer

bool CLexer::Create(CParser* owner) {
  parser = owner;
  line = 1;
  return CreateBuffers();
}

int CLexer::TokenColumn() const {
  long long column = Position() - TokenLength() - LineStart() + 1;
  return column >= 1 && column <= INT_MAX ? static_cast<int>(column) : 0;
}

bool CLexer::Wrap() {
  if (!parser) return true;
  return !parser->compiler.EndSource();
}

int CLexer::Action(int rule) {
  const char* match = MatchedText();
  int length = TokenLength();
  yyvalue value{};
  int token = kNoToken;
  switch (rule) {
    case RULE_LINE:
      // Capture the line for messages, then scan it normally.
      lineText.assign(match + 1, strnlen(match + 1, length - 1));
      ++line;
      Less(1);
      MarkLineStart();
      return kNoToken;
    case RULE_BLANK:
    case RULE_COMMENT:
      return kNoToken;
    case RULE_CHARACTER_TOKEN:
      token = static_cast<unsigned char>(match[0]);
      break;
    case RULE_INT_NUMBER:
      token = INT_NUMBER;
      value.number = DecimalValue(match);
      break;
    case RULE_HEX_NUMBER:
      token = HEX_NUMBER;
      value.number = HexValue(match + 2);
      break;
    case RULE_REAL_NUMBER:
      token = REAL_NUMBER;
      value.real = RealValue(match, length);
      break;
    case RULE_STRING:
      // Between the opening quote and the closing quote or line break.
      token = STRING;
      value.text = NewText(match + 1, length - 2);
      break;
    case RULE_CHARACTER:
      token = CHARACTER;
      value.character = match[1];
      break;
    case RULE_IDENTIFIER:
      token = IDENTIFIER;
      value.text = NewText(match, length);
      break;
    default:
      if (rule < RULE_FIRST_OPERATOR || rule >= RULE_LINE) return kNoToken;
      token = kRuleTokens.token[rule];
      break;
  }
  // Tokens without a value get a cleared slot, so no slot ever holds a
  // stale copy of a text that an action has already freed.
  if (parser) {
    parser->tokenValue = value;
  } else if (value.text && (token == IDENTIFIER || token == STRING)) {
    FreeText(value);
  }
  return token;
}
