#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "frontend_fixture.h"
#include "platform/format.h"
#include "platform/recording_interface.h"

namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::string>;
const char kSyntax[] = "syntax error";
const char kBadAssignment[] = "CONSTANT:  Error in assignment.";

TEST_F(FrontendTest, RelativeUsePathsResolveAgainstTheUsingFile) {
  Write("sub/main.tvr", "use \"lib.tvr\";\nconst m 1;\n");
  Write("sub/lib.tvr", "\nconst l 1;\n");
  Write("lib.tvr", "const wrong 1;\n");
  ParseRun run = ParseFile("sub/main.tvr");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "1", 2), Entry(kBadAssignment, "1", 2), Entry(kSyntax, "1", 2),
                                  Entry(kBadAssignment, "1", 2)}));
  EXPECT_EQ(run.files, (Entries{"lib.tvr", "lib.tvr", "sub/main.tvr", "sub/main.tvr"}));
  // The main file's end gives back the working directory the build started in.
  EXPECT_EQ(fs::current_path(), fs::path(scratch));
}

TEST_F(FrontendTest, BackslashSeparatedUsePathsFindTheirFile) {
  Write("main.tvr", "use \"inc\\lib.tvr\";\n");
  Write("inc/lib.tvr", "const l 1;\n");
  ParseRun run = ParseFile("main.tvr");
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "1", 1), Entry(kBadAssignment, "1", 1)}));
  EXPECT_EQ(run.files, (Entries{"inc\\lib.tvr", "inc\\lib.tvr"}));  // named as written
}

TEST_F(FrontendTest, AnAbortedParseStaysInTheLastFilesFolder) {
  Write("sub/main.tvr", "use \"deeper/lib.tvr\";\n");
  Write("sub/deeper/lib.tvr", "stray;\n");
  ParseRun run = ParseFile("sub/main.tvr");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(fs::current_path(), fs::path(scratch) / "sub" / "deeper");
}

TEST_F(FrontendTest, UsedFilesAreReadOnceComparedWithoutCase) {
  Write("lib.tvr", "const l 1;\n");
  // Same name in other letter case: ignored. Another spelling of the path: read again.
  ParseRun run = Parse("use \"lib.tvr\";\nuse \"LIB.tvr\";\nuse \"./lib.tvr\";\n");
  EXPECT_EQ(run.files, (Entries{"lib.tvr", "lib.tvr", "./lib.tvr", "./lib.tvr"}));
  // The main file counts as used, so a file cannot use itself.
  run = Parse("use \"main.tvr\";\nuse \"MAIN.TVR\";\nconst m 1;\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries.size(), 2u);
}

TEST_F(FrontendTest, UseCyclesEndAtTheFirstRepeat) {
  Write("a.tvr", "use \"b.tvr\";\nconst a 1;\n");
  Write("b.tvr", "use \"a.tvr\";\nconst b 1;\n");
  ParseRun run = ParseFile("a.tvr");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.files, (Entries{"b.tvr", "b.tvr", "a.tvr", "a.tvr"}));
}

TEST_F(FrontendTest, ScanningResumesRightAfterTheUseClause) {
  // The used file's first line shows the using file's last captured line;
  // back in the using file, its line number returns but the line text stays
  // the used file's until the next line break.
  Write("lib.tvr", "const l 1;\nconst k = 2;");
  ParseRun run = Parse("const x = 1;\nuse \"lib.tvr\"; const m 3;\nconst n 4;\n");
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "1", 1), Entry(kBadAssignment, "1", 1), Entry(kSyntax, "3", 2),
                                  Entry(kBadAssignment, "3", 2), Entry(kSyntax, "4", 3),
                                  Entry(kBadAssignment, "4", 3)}));
  EXPECT_EQ(run.files[0], "lib.tvr");
  EXPECT_EQ(run.files[2], "main.tvr");
  EXPECT_EQ(run.log,
            "use \"lib.tvr\"; const m 3;\r\nlib.tvr line 1: \"1\" syntax error \r\n\r\n"
            "use \"lib.tvr\"; const m 3;\r\nlib.tvr line 1: \"1\" CONSTANT:  Error in assignment. \r\n\r\n"
            "const k = 2;\r\nmain.tvr line 2: \"3\" syntax error \r\n\r\n"
            "const k = 2;\r\nmain.tvr line 2: \"3\" CONSTANT:  Error in assignment. \r\n\r\n"
            "const n 4;\r\nmain.tvr line 3: \"4\" syntax error \r\n\r\n"
            "const n 4;\r\nmain.tvr line 3: \"4\" CONSTANT:  Error in assignment. \r\n\r\n");
}

TEST_F(FrontendTest, UnopenableUsesAreReportedAndSkipped) {
  fs::create_directory(fs::path(scratch) / "folder");
  ParseRun run = Parse("\nuse \"missing.tvr\";\nuse \"folder\";\nconst m 1;\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry("USE unable to open file 'missing.tvr'", ";", 2),
                                  Entry("USE unable to open file 'folder'", ";", 3), Entry(kSyntax, "1", 4),
                                  Entry(kBadAssignment, "1", 4)}));
}

TEST_F(FrontendTest, MainSourceMustBeARegularReadableFile) {
  fs::create_directory(fs::path(scratch) / "folder");
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  EXPECT_FALSE(parser.OpenSource("folder"));
  EXPECT_FALSE(parser.OpenSource("missing.tvr"));
  EXPECT_FALSE(parser.OpenSource(""));
  EXPECT_EQ(parser.fileStack.Depth(), 0);
  EXPECT_TRUE(parser.fileStack.usedFiles.empty());
}

TEST_F(FrontendTest, PathsWithBlanksAndNonAsciiNames) {
  Write("my dir/\xc3\xa9t\xc3\xa9 one.tvr", "use \"n\xc3\xa4he.tvr\";\n");
  Write("my dir/n\xc3\xa4he.tvr", "const z 1;\n");
  ParseRun run = ParseFile("my dir/\xc3\xa9t\xc3\xa9 one.tvr");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.files, (Entries{"n\xc3\xa4he.tvr", "n\xc3\xa4he.tvr"}));
}

TEST_F(FrontendTest, SeparatorOnlyAtTheStartKeepsTheDirectory) {
  Write("\\lib.tvr", "");
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  ASSERT_TRUE(parser.OpenSource("\\lib.tvr"));
  EXPECT_EQ(fs::current_path(), fs::path(scratch));
  EXPECT_EQ(parser.fileStack.currentName, "\\lib.tvr");
}

TEST_F(FrontendTest, PushAndPopSwitchTheLexer) {
  Write("a.tvr", "x");
  Write("sub/b.tvr", "y");
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  CFileStack& stack = parser.fileStack;
  EXPECT_FALSE(stack.Pop());  // nothing pushed yet
  ASSERT_TRUE(stack.Push("a.tvr"));
  parser.lexer.line = 7;
  ASSERT_TRUE(stack.Push("sub/b.tvr"));
  EXPECT_EQ(parser.lexer.line, 1);
  EXPECT_EQ(stack.Depth(), 2);
  EXPECT_EQ(fs::current_path(), fs::path(scratch) / "sub");
  EXPECT_TRUE(stack.Pop());
  EXPECT_EQ(parser.lexer.line, 7);
  EXPECT_EQ(stack.currentName, "a.tvr");
  EXPECT_EQ(fs::current_path(), fs::path(scratch));
  // The bottom entry holds no stream: the input ends, the name stays.
  EXPECT_FALSE(stack.Pop());
  EXPECT_EQ(parser.lexer.line, 1);
  EXPECT_EQ(stack.currentName, "a.tvr");
  EXPECT_EQ(parser.lexer.input, nullptr);
  EXPECT_FALSE(stack.Pop());
  EXPECT_EQ(stack.usedFiles, (Entries{"a.tvr", "sub/b.tvr"}));
}

class UseChainTest : public FrontendTest {
 protected:
  // Files f0 to f<length-1>, each using the next; the last one holds an error.
  void Chain(int length) {
    for (int i = 0; i < length; ++i) {
      // Formatted, not "literal" + std::string: GCC 12 warns falsely (-Wrestrict) on that in Release.
      std::string next = Format("use \"f%d.tvr\";\n", i + 1);
      Write(Format("f%d.tvr", i), i + 1 < length ? next : "const last 1;\n");
    }
  }
};

TEST_F(UseChainTest, TwoThousandDeepChainsAreRead) {
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  rlimit raised = limit;
  raised.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
  setrlimit(RLIMIT_NOFILE, &raised);
  if (raised.rlim_cur < 2100) GTEST_SKIP() << "the process may not open 2,100 files";
  Chain(2000);
  ParseRun run = ParseFile("f0.tvr");
  setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "1", 1), Entry(kBadAssignment, "1", 1)}));
  EXPECT_EQ(run.files[0], "f1999.tvr");
}

TEST_F(UseChainTest, RunningOutOfFileHandlesGivesTheUseMessage) {
  Chain(2000);
  CRecordingInterface ui;
  // While every handle is taken the log cannot be opened either, so the
  // entry goes to a message box. (One call beforehand lets the sanitizer
  // check this virtual call without needing a handle of its own.)
  UserInterface().ShowMessage("ready");
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  rlimit lowered = limit;
  lowered.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  ParseRun run = ParseFile("f0.tvr");
  setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_EQ(run.result, 0);
  ASSERT_EQ(run.entries.size(), 1u);
  EXPECT_EQ(run.entries[0].find("USE unable to open file 'f"), 0u);
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_NE(ui.messages[1].text.find(" \";\" USE unable to open file 'f"), std::string::npos);
  EXPECT_EQ(ui.messages[1].caption, "Tovrin: Parser Error");
}

}  // namespace
