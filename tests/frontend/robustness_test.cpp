#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "frontend_fixture.h"

namespace {

// Token texts that reach every part of the grammar, errors included.
const char* const kVocabulary[] = {
    "use", "\"lib.tvr\"", "def", "define", "const", "constant", "range", "rule", "do", "as", "byte", "integer",
    "real", "fuzzy", "memory", "interrupt", "while", "if", "elseif", "else", "out", "outch", "weight", "clear",
    "start", "C", "x", "y", "R", "0x1F", "12", "1.5", "'c'", "\"text\"", "@", "=", "==", "<", "<=", ">", ">=",
    "<>", "<<", ">>", "and", "or", "xor", "min", "max", "is", "not", "+", "-", "*", "/", "%", "&", "|", "^",
    "~", "(", ")", "[", "]", "{", "}", ";", ",", ":", ".", "?", "\n", "//", "\"open",
};

// errorCount counts each logged entry once and each syntax error once more.
void ExpectConsistentCount(const ParseRun& run) {
  long syntaxErrors = std::count_if(run.entries.begin(), run.entries.end(),
                                    [](const std::string& entry) { return entry.rfind("syntax error |", 0) == 0; });
  EXPECT_EQ(run.errorCount, static_cast<int>(run.entries.size() + syntaxErrors));
  EXPECT_TRUE(run.result == 0 || run.result == 1);
}

// Declarations, one token per word, for the mutation rounds. In this order
// they make a valid program, so unmutated parts run the actions' success paths.
const char* const kDeclarations[] = {
    "use \"lib.tvr\" ;",
    "const a = 1 + 2 * fromLib ;",
    "def C { v as byte [ 3 ] ; m as memory 0x38 ; const k = 4 ; do f ( a as integer , b as real ) as fuzzy ; "
    "do g ( ) ; do t ( ) as interrupt 7 ; }",
    "range R ( 1 , 2 , 3 ) ;",
    "rule S { R as 10 ; R as 1 + 2 ; }",
    "C : f ( a as integer , b as real ) { x as integer ; x = a * 2 ; if ( x < 3 and v [ 1 ] ) { out x ; } "
    "elseif ( m ) { outch 'c' ; } else { out \"s\" ; } while ( x ) { x = x - 1 ; } weight ( f ) ; "
    "clear ( f ) ; { q as byte ; } C : g ( ) ; v [ 2 ] = b is R ; f = - 0.5 @ 1.0 ; }",
};

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

TEST_F(FrontendTest, RandomTokensNeverBreakTheParser) {
  Write("lib.tvr", "const fromLib = 1;\n");
  std::mt19937 random(20240611);
  std::uniform_int_distribution<size_t> pickWord(0, std::size(kVocabulary) - 1);
  std::uniform_int_distribution<size_t> pickDeclaration(0, std::size(kDeclarations) - 1);
  std::uniform_int_distribution<int> perMille(0, 999);
  std::string valid;
  for (const char* declaration : kDeclarations) valid += std::string(declaration) + "\n";
  ParseRun run = Parse(valid);
  ASSERT_EQ(run.errorCount, 0) << run.log;
  for (int round = 0; round < 150; ++round) {
    // Valid declarations with a few tokens replaced, dropped or inserted, so
    // the parse reaches every construct and recovers from errors in each.
    std::string source;
    for (int declaration = 0; declaration < 20; ++declaration) {
      for (const std::string& word : Words(kDeclarations[pickDeclaration(random)])) {
        int roll = perMille(random);
        if (roll < 4) continue;
        source += roll < 8 ? kVocabulary[pickWord(random)] : word;
        if (roll >= 8 && roll < 12) source += std::string(" ") + kVocabulary[pickWord(random)];
        source += ' ';
      }
      source += '\n';
    }
    ExpectConsistentCount(Parse(source));
  }
  // Plain random token streams, at the top level and inside a body.
  for (int round = 0; round < 100; ++round) {
    std::string source = round % 2 ? "start() {\n" : "";
    for (int i = 0; i < 1000; ++i) source += std::string(kVocabulary[pickWord(random)]) + " ";
    ExpectConsistentCount(Parse(source));
  }
}

TEST_F(FrontendTest, RandomBytesNeverBreakTheParser) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 60; ++round) {
    std::string source = round % 2 ? "start() {\n" : "";
    for (int i = 0; i < 20000; ++i) source += static_cast<char>(byte(random));
    ParseRun run = Parse(source);
    ExpectConsistentCount(run);
  }
}

TEST_F(FrontendTest, ErrorStormsRecoverLineByLine) {
  // Every statement is an error; each one recovers at its own ';'.
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "  x = = 1;\n";
  ParseRun run = Parse("start() {\n  x as byte;\n" + body + "}\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries.size(), 4000u);
  ExpectConsistentCount(run);
}

}  // namespace
