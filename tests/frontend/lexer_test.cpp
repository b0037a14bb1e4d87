#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <string>
#include <vector>

#include "frontend/token_listing.h"
#include "frontend/tokens.h"
#include "frontend_fixture.h"

namespace {

struct Token {
  int code;
  std::string text;  // token text as the lexer kept it
  int line;
  std::string lineText;
  yyvalue value;
  int column;
};

class LexerTest : public FrontendTest {
 protected:
  // Every token of source up to the end of input, values copied out.
  std::vector<Token> Lex(const std::string& source, size_t readBlock = 65536) {
    Write("lex.tvr", source);
    std::vector<Token> tokens;
    CParser parser;
    parser.lexer.readBlock = readBlock;
    EXPECT_TRUE(parser.lexer.Create(&parser));
    parser.compiler.BeginProgram(0, 0, 0);
    EXPECT_TRUE(parser.OpenSource("lex.tvr"));
    for (;;) {
      parser.tokenValue = yyvalue{};
      int code = parser.lexer.NextToken();
      if (code == 0) break;
      Token token{code, parser.lexer.TokenText(), parser.lexer.line, parser.lexer.lineText,
                  parser.tokenValue, parser.lexer.TokenColumn()};
      if (code == IDENTIFIER || code == STRING) {
        token.text = std::string(parser.tokenValue.text);  // the value, not the match
      }
      tokens.push_back(token);
    }
    return tokens;
  }

  // "NAME" per token, "NAME:value" for identifiers and strings.
  std::vector<std::string> Kinds(const std::string& source) {
    std::vector<std::string> names;
    for (const Token& token : Lex(source)) {
      std::string name = TokenName(token.code);
      if (token.code == IDENTIFIER || token.code == STRING) name += ":" + token.text;
      names.push_back(name);
    }
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(LexerTest, KeywordsWinTiesAndLoseToLongerWords) {
  EXPECT_EQ(Kinds("constant const define def elseif else if iffy"),
            (Names{"CONSTANT", "CONSTANT", "DEFINE", "DEFINE", "ELSEIF", "ELSE", "IF", "IDENTIFIER:iffy"}));
  EXPECT_EQ(Kinds("else if outch out outx If Byte Rule _x1"),
            (Names{"ELSE", "IF", "OUTCH", "OUT", "IDENTIFIER:outx", "IDENTIFIER:If", "IDENTIFIER:Byte",
                   "IDENTIFIER:Rule", "IDENTIFIER:_x1"}));
  EXPECT_EQ(Kinds("and is not or xor min max as byte clear do fuzzy integer interrupt memory"),
            (Names{"AND", "IS", "NOT", "OR", "XOR", "MIN", "MAX", "AS", "BYTE", "CLEAR", "DO", "FUZZY",
                   "INTEGER", "INTERRUPT", "MEMORY"}));
  EXPECT_EQ(Kinds("range real rule use while weight interrupts"),
            (Names{"RANGE", "REAL", "RULE", "USE", "WHILE", "WEIGHT", "IDENTIFIER:interrupts"}));
}

TEST_F(LexerTest, OperatorsTakeTheLongestMatch) {
  EXPECT_EQ(Kinds("a<<b a< <b"),
            (Names{"IDENTIFIER:a", "SHL", "IDENTIFIER:b", "IDENTIFIER:a", "LT", "LT", "IDENTIFIER:b"}));
  EXPECT_EQ(Kinds("<= <> == = >= >> > <"), (Names{"LE", "NE", "EQ", "'='", "GE", "SHR", "GT", "LT"}));
  EXPECT_EQ(Kinds("===<<<>>>"), (Names{"EQ", "'='", "SHL", "NE", "SHR"}));
  // Characters no rule matches are dropped: != reads as =.
  EXPECT_EQ(Kinds("!= # $ \\ ` a"), (Names{"'='", "IDENTIFIER:a"}));
  EXPECT_EQ(Kinds("%&()*+,-./:;?@[]^{|}~"),
            (Names{"'%'", "'&'", "'('", "')'", "'*'", "'+'", "','", "'-'", "'.'", "'/'", "':'", "';'",
                   "'?'", "'@'", "'['", "']'", "'^'", "'{'", "'|'", "'}'", "'~'"}));
}

TEST_F(LexerTest, NumbersAndTheirValues) {
  std::vector<Token> tokens = Lex("007 0x1F 0xabcd 1.5 .5 10.0 2147483647");
  ASSERT_EQ(tokens.size(), 7u);
  EXPECT_EQ(tokens[0].code, INT_NUMBER);
  EXPECT_EQ(tokens[0].value.number, 7);
  EXPECT_EQ(tokens[1].code, HEX_NUMBER);
  EXPECT_EQ(tokens[1].value.number, 0x1F);
  EXPECT_EQ(tokens[2].value.number, 0xabcd);
  EXPECT_EQ(tokens[3].code, REAL_NUMBER);
  EXPECT_FLOAT_EQ(tokens[3].value.real, 1.5f);
  EXPECT_FLOAT_EQ(tokens[4].value.real, 0.5f);
  EXPECT_FLOAT_EQ(tokens[5].value.real, 10.0f);
  EXPECT_EQ(tokens[6].value.number, INT_MAX);

  // Malformed forms split into several tokens.
  EXPECT_EQ(Kinds("0x5"), (Names{"INT_NUMBER", "IDENTIFIER:x5"}));
  EXPECT_EQ(Kinds("0x"), (Names{"INT_NUMBER", "IDENTIFIER:x"}));
  EXPECT_EQ(Kinds("0x12345"), (Names{"HEX_NUMBER", "INT_NUMBER"}));
  EXPECT_EQ(Lex("0x12345")[0].value.number, 0x1234);
  EXPECT_EQ(Kinds("0X1F"), (Names{"INT_NUMBER", "IDENTIFIER:X1F"}));
  EXPECT_EQ(Kinds("5."), (Names{"INT_NUMBER", "'.'"}));
  EXPECT_EQ(Kinds("1.2.3"), (Names{"REAL_NUMBER", "REAL_NUMBER"}));
  EXPECT_EQ(Kinds("00x12"), (Names{"INT_NUMBER", "IDENTIFIER:x12"}));
}

TEST_F(LexerTest, OversizedLiteralsSaturate) {
  std::vector<Token> tokens = Lex("99999999999 " + std::string(400, '9') + ".5 0." + std::string(400, '0') + "1");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].value.number, INT_MAX);
  EXPECT_EQ(tokens[1].value.real, FLT_MAX);
  EXPECT_EQ(tokens[2].value.real, 0.0f);
}

TEST_F(LexerTest, StringsAndCharacters) {
  EXPECT_EQ(Kinds("\"\" \"a b\" \"x//y\""), (Names{"STRING:", "STRING:a b", "STRING:x//y"}));
  std::vector<Token> tokens = Lex("''' 'a' 'ab'");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].code, CHARACTER);
  EXPECT_EQ(tokens[0].value.character, '\'');
  EXPECT_EQ(tokens[1].value.character, 'a');
  // The quote that cannot open a character literal is dropped; so is the last one.
  EXPECT_EQ(tokens[2].code, IDENTIFIER);
  EXPECT_EQ(tokens[2].text, "ab");
  // Cut short by the end of the file, the quote is dropped and the rest rescanned.
  EXPECT_EQ(Kinds("\"abc"), (Names{"IDENTIFIER:abc"}));
}

TEST_F(LexerTest, UnterminatedStringEatsTheLineBreakAndALineNumber) {
  std::vector<Token> tokens = Lex("x\n\"abc\ny\nz");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[1].code, STRING);
  EXPECT_EQ(tokens[1].text, "abc");
  EXPECT_EQ(tokens[1].line, 2);
  // y is on line 3 but the string consumed its line break.
  EXPECT_EQ(tokens[2].text, "y");
  EXPECT_EQ(tokens[2].line, 2);
  EXPECT_EQ(tokens[2].lineText, "\"abc");
  EXPECT_EQ(tokens[3].line, 3);
  EXPECT_EQ(tokens[3].lineText, "z");
}

TEST_F(LexerTest, LinesAreCountedAndCapturedFromTheSecondOn) {
  std::vector<Token> tokens = Lex("a // first\n  b c\n\n// only a comment //\nd //");
  ASSERT_EQ(tokens.size(), 4u);
  EXPECT_EQ(tokens[0].line, 1);
  EXPECT_EQ(tokens[0].lineText, "");  // the first line is never captured
  EXPECT_EQ(tokens[1].line, 2);
  EXPECT_EQ(tokens[1].lineText, "  b c");
  EXPECT_EQ(tokens[2].lineText, "  b c");
  EXPECT_EQ(tokens[3].line, 5);
  EXPECT_EQ(tokens[3].lineText, "d //");
}

TEST_F(LexerTest, ColumnsCountBytesFromTheStartOfTheLine) {
  std::vector<Token> tokens = Lex("ab\tc <= 0x1F\n  \"s\" 'q' 1.5 // x\r\n x\n\"open\n y");
  std::vector<int> columns;
  for (const Token& token : tokens) columns.push_back(token.column);
  // The unterminated string takes its line break: y is still measured from that line's start.
  EXPECT_EQ(columns, (std::vector<int>{1, 4, 6, 9, 3, 7, 11, 2, 1, 8}));

  // Far into a line longer than one read of the file, and on the line after it.
  std::string wide(40000, ' ');
  tokens = Lex(wide + "far\nnear");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].column, 40001);
  EXPECT_EQ(tokens[1].column, 1);
}

TEST_F(LexerTest, CarriageReturnLineFeedFoldsToALineBreak) {
  std::vector<Token> tokens = Lex("a\r\nbb\r\rc\r\n");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].text, "bb");
  EXPECT_EQ(tokens[1].line, 2);
  // A lone carriage return is no line break: it is kept in the line text and skipped.
  EXPECT_EQ(tokens[1].lineText, "bb\r\rc");
  EXPECT_EQ(tokens[2].text, "c");
}

TEST_F(LexerTest, NulAndHighBytesAreSkipped) {
  std::string source = std::string("a") + '\0' + "b\x80\xff" + "c\n\xc3\xa9t\xe9" + "d";
  EXPECT_EQ(Kinds(source), (Names{"IDENTIFIER:a", "IDENTIFIER:b", "IDENTIFIER:c", "IDENTIFIER:t",
                                  "IDENTIFIER:d"}));
  // A NUL inside a line cuts the captured line text, never the scan.
  std::vector<Token> tokens = Lex(std::string("x\ny") + '\0' + "z");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[1].lineText, "y");
  EXPECT_EQ(tokens[2].text, "z");
}

TEST_F(LexerTest, EndOfInputRepeatsAndKeepsTheLastText) {
  Write("end.tvr", "x;\n");
  CParser parser;
  ASSERT_TRUE(parser.lexer.Create(&parser));
  parser.compiler.BeginProgram(0, 0, 0);
  ASSERT_TRUE(parser.OpenSource("end.tvr"));
  EXPECT_EQ(parser.lexer.NextToken(), IDENTIFIER);
  EXPECT_EQ(parser.lexer.NextToken(), ';');
  EXPECT_EQ(parser.lexer.NextToken(), 0);
  EXPECT_STREQ(parser.lexer.TokenText(), "\n");
  // The main file's end restores the line saved when it was opened.
  EXPECT_EQ(parser.lexer.line, 1);
  EXPECT_EQ(parser.lexer.NextToken(), 0);
  EXPECT_EQ(parser.lexer.NextToken(), 0);

  // The last token of a file without a final line break is still returned.
  EXPECT_EQ(Kinds("a b"), (Names{"IDENTIFIER:a", "IDENTIFIER:b"}));
}

TEST_F(LexerTest, TokenListing) {
  Write("list.tvr", "x = 0x1F;\n");
  std::string path = scratch + "/listing.txt";
  FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(WriteTokenListing("list.tvr", out));
  EXPECT_FALSE(WriteTokenListing("missing.tvr", out));
  std::fclose(out);
  EXPECT_EQ(ReadWholeFile(path), "281\tIDENTIFIER\tx\t1\n61\t'='\t=\t1\n279\tHEX_NUMBER\t0x1F\t1\n59\t';'\t;\t1\n"
                                 "0\t$end\t\t1\n");
}

TEST_F(LexerTest, HugeLinesAndTokens) {
  // One 10 MB line of short tokens: counted as they come, all on line 1.
  std::string line;
  line.reserve(10 << 20);
  while (line.size() < (10u << 20)) line += "123456789;";
  Write("lex.tvr", line + "\nz");
  CParser parser;
  ASSERT_TRUE(parser.lexer.Create(&parser));
  parser.compiler.BeginProgram(0, 0, 0);
  ASSERT_TRUE(parser.OpenSource("lex.tvr"));
  size_t count = 0;
  bool expected = true;
  for (int code; (code = parser.lexer.NextToken()) != IDENTIFIER && code != 0; ++count)
    expected = expected && code == (count % 2 ? int{';'} : int{INT_NUMBER}) && parser.lexer.line == 1;
  EXPECT_EQ(count, line.size() / 5);
  EXPECT_TRUE(expected);
  EXPECT_EQ(parser.lexer.lineText, "z");

  // One 10 MB identifier.
  std::string word(10 << 20, 'w');
  std::vector<Token> tokens = Lex("\n" + word + " q");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].text.size(), word.size());
  EXPECT_EQ(tokens[0].lineText.size(), word.size() + 2);
}

// A file is read in pieces that end at a line break; tokens that look past a line break (the
// line capture, an unterminated string, CR LF) must scan as they do in one piece.
TEST_F(LexerTest, PiecesOfAnySizeScanAsOneWholeFile) {
  const std::string sources[] = {
      "def A { x as byte; }\nA:f() { out \"open\n  x = 1; out \"two\"; }\n",
      "\"\n\"\n\"x\n\n\nend",
      "a\r\nb\r\n\r\nc\rd\r\r\n\"s\r\n'q'\r\n",
      "\n\n\n\n",
      "// comment\nx = 1.5 >= 0x1F << 2; // tail\n'c' '\n' 'd'\n",
      std::string("nul\0byte\n\xff\xfe high\n", 17) + std::string(300, 'L') + "\nlast",
  };
  for (const std::string& source : sources) {
    const std::vector<Token> whole = Lex(source, 1 << 20);
    for (size_t block = 2; block <= 24; ++block) {
      const std::vector<Token> pieces = Lex(source, block);
      ASSERT_EQ(pieces.size(), whole.size()) << "block " << block << " of " << source;
      for (size_t i = 0; i < whole.size(); ++i) {
        const Token& a = whole[i];
        const Token& b = pieces[i];
        EXPECT_TRUE(a.code == b.code && a.text == b.text && a.line == b.line && a.lineText == b.lineText &&
                    a.column == b.column)
            << "token " << i << " with block " << block << ": " << a.text << " / " << b.text << " line " << a.line
            << "/" << b.line << " column " << a.column << "/" << b.column;
      }
    }
  }
}

}  // namespace
