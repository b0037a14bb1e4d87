#include "frontend/token_listing.h"

#include "frontend/parser.h"
#include "frontend/tokens.h"

namespace {

const char* const kNames[] = {
    "AS",         "BYTE",       "CLEAR",       "CONSTANT",   "DEFINE", "DO",        "ELSEIF",
    "ELSE",       "FUZZY",      "IF",          "INTEGER",    "INTERRUPT", "MEMORY", "OUTCH",
    "OUT",        "RANGE",      "REAL",        "RULE",       "USE",    "WHILE",     "WEIGHT",
    "INT_NUMBER", "HEX_NUMBER", "REAL_NUMBER", "IDENTIFIER", "STRING", "CHARACTER", "EQ",
    "LE",         "GE",         "LT",          "GT",         "NE",     "AND",       "IS",
    "OR",         "XOR",        "MIN",         "MAX",        "SHL",    "SHR",       "NOT",
};
static_assert(sizeof(kNames) / sizeof(kNames[0]) == NOT - AS + 1);

// "'c'" for each character token.
char characterNames[256][4];

}  // namespace

const char* TokenName(int code) {
  if (code == TOKEN_END) return "$end";
  if (code == YYERRCODE) return "error";
  if (code >= AS && code <= NOT) return kNames[code - AS];
  if (code > 0 && code < 256) {
    char* name = characterNames[code];
    name[0] = '\'';
    name[1] = static_cast<char>(code);
    name[2] = '\'';
    name[3] = '\0';
    return name;
  }
  return "$undefined";
}

bool WriteTokenListing(const std::string& path, FILE* out) {
  CParser parser;
  if (!parser.lexer.Create(&parser)) return false;
  parser.compiler.BeginProgram(0, 0, 0);
  if (!parser.OpenSource(path)) return false;
  for (;;) {
    int token = parser.lexer.NextToken();
    std::fprintf(out, "%d\t%s\t%s\t%d\n", token, TokenName(token), token ? parser.lexer.TokenText() : "",
                 parser.lexer.line);
    if (token == 0) return true;
  }
}
