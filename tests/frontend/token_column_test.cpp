// Token columns: bytes from the start of the token's line, as the lexer tracks them while it
// scans (line breaks folded, tokens of a used file measured in that file).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/tokens.h"
#include "frontend_fixture.h"

namespace {

class TokenColumnTest : public FrontendTest {
 protected:
  // The column of every token up to the end of input; the last entry is the column after it.
  // With `used`, that file is pushed after the first token, as a USE would.
  std::vector<int> Columns(const std::string& source, const std::string& used = "") {
    Write("col.tvr", source);
    CParser parser;
    EXPECT_TRUE(parser.lexer.Create(&parser));
    parser.compiler.BeginProgram(0, 0, 0);
    EXPECT_TRUE(parser.OpenSource("col.tvr"));
    std::vector<int> columns;
    for (int code = 1; code != 0;) {
      code = parser.lexer.NextToken();
      columns.push_back(parser.lexer.TokenColumn());
      if (columns.size() == 1 && !used.empty()) {
        EXPECT_TRUE(parser.OpenSource(used));
      }
    }
    return columns;
  }
};

TEST_F(TokenColumnTest, CountBytesFromTheStartOfTheLine) {
  // A CR LF is one line break; the unterminated string takes its line break, so y is still
  // measured from the start of that string's line. At the end of input the match is the last
  // line break, which is on no line.
  EXPECT_EQ(Columns("ab\tc <= 0x1F\n  \"s\" 'q' 1.5 // x\r\n x\n\"open\n y"),
            (std::vector<int>{1, 4, 6, 9, 3, 7, 11, 2, 1, 8, 0}));
  // A line far longer than any read of the file, then the line after it.
  EXPECT_EQ(Columns(std::string(40000, ' ') + "far\nnear\n"), (std::vector<int>{40001, 1, 0}));
}

TEST_F(TokenColumnTest, UsedFilesHaveColumnsOfTheirOwn) {
  Write("inner.tvr", "    k = 1;\n  z");
  // a; then k = 1 ; z from the used file; then b where a's line left off.
  EXPECT_EQ(Columns("  a  b\n", "inner.tvr"), (std::vector<int>{3, 5, 7, 9, 10, 3, 6, 0}));
}

}  // namespace
