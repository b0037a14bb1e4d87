#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>

#include "frontend_fixture.h"
#include "tests/support/example_flags.h"
#include "frontend/value_slot.h"
#include "platform/recording_interface.h"

namespace {

using Entries = std::vector<std::string>;
const char kSyntax[] = "syntax error";

// Wraps statements in the body of start().
std::string InStart(const std::string& statements) { return "start() {\n" + statements + "\n}\n"; }
// Wraps members in a class body.
std::string InClass(const std::string& members) { return "def C { " + members + " }\n"; }

TEST_F(FrontendTest, ValidProgramsParseWithoutEntries) {
  const char* programs[] = {
      "",
      "use \"lib.tvr\";\nconst a = 1;\nconst b = 0x1F @ 1.5;\nrange R(1, 2, 3);\n",
      "const a = 1;\nrange Cold(0, 10, 20);\nrange Hot(200, 10, 20);\n"
      "rule Speed { Cold as 10; Hot as 200 + a * 3; }\n",
      "def Motor {\n  speed as byte;\n  pins as memory 0x38;\n  grid as byte[3][2];\n  const k = 4;\n"
      "  do run(level as integer, gain as real) as fuzzy;\n  do tick() as interrupt 7;\n  do stop();\n}\n",
      "def Motor { do run(level as integer, gain as real) as fuzzy; }\n"
      "Motor:run(level as integer, gain as real) {\n  x as integer;\n  x = level * 2;\n}\n",
      // a:b:c resolves b among ownerless names when a has no member b.
      "def a { }\ndef b { do c(p as byte, q as byte); }\nrange R(1, 2, 3);\n"
      "start() {\n  x as fuzzy;\n  y as byte;\n  z as integer;\n  t as byte[4];\n  u as integer[4];\n"
      "  x = -0.5@1.0;\n  out \"text\";\n  out x;\n  outch 'c';\n"
      "  weight(x);\n  clear(x);\n  { y as byte; y = 1; }\n  while (x < 3) { x = x + 1; }\n"
      "  if (x) { } elseif (y) { } elseif (z) { } else { }\n  a:b:c(1, 2);\n  t[2] = u[y] is R;\n}\n",
  };
  Write("lib.tvr", "");
  for (const char* program : programs) {
    ParseRun run = Parse(program);
    EXPECT_EQ(run.result, 0) << program;
    EXPECT_EQ(run.errorCount, 0) << program;
    EXPECT_EQ(run.log, "") << program;
  }
  // A statement without a left-hand side is grammatical; building it fails.
  ParseRun run = Parse(InStart("= 5;"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry("ASSIGN: Requires a valid left-hand side.", ";", 2)}));
}

TEST_F(FrontendTest, LogEntryLayoutIsByteExact) {
  ParseRun run = Parse("const a 5;\nconst b 6;\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.errorCount, 6);  // a syntax error counts twice
  EXPECT_EQ(run.log,
            "\r\nmain.tvr line 1: \"5\" syntax error \r\n\r\n"
            "\r\nmain.tvr line 1: \"5\" CONSTANT:  Error in assignment. \r\n\r\n"
            "const b 6;\r\nmain.tvr line 2: \"6\" syntax error \r\n\r\n"
            "const b 6;\r\nmain.tvr line 2: \"6\" CONSTANT:  Error in assignment. \r\n\r\n");
}

TEST_F(FrontendTest, MessagesNameTheLookaheadsLine) {
  // The missing ';' is found at the next line's first token.
  ParseRun run = Parse("const a = 1\nconst b = 2;\n");
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "const", 2), Entry("CONSTANT: Missing semi-colon.", "const", 2)}));
  EXPECT_NE(run.log.find("const b = 2;\r\nmain.tvr line 2:"), std::string::npos);
}

TEST_F(FrontendTest, ErrorsAtTheEndOfInputShowTheLastScan) {
  // After the main file ends its line is the one saved when it was opened.
  ParseRun run = Parse("const a = 1;\nconst x = 1\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "\n", 1), Entry("CONSTANT: Missing semi-colon.", "\n", 1)}));
  EXPECT_EQ(run.log.substr(0, 23), "\r\nmain.tvr line 1: \"\n\" ");

  run = Parse("const a = 1;\nrange R(1,2,3)");
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, ")", 1), Entry("RANGE: Missing semi-colon.", ")", 1)}));
  EXPECT_EQ(run.log.substr(0, 16), "range R(1,2,3)\r\n");
}

TEST_F(FrontendTest, TopLevelErrorProductions) {
  Write("a.tvr", "const z 1;");
  struct Case {
    const char* source;
    const char* errorToken;  // where the syntax error is found
    const char* token;       // where the error production is reduced
    const char* message;
  } cases[] = {
      {"use \"a.tvr\" const x = 1;", "const", "const", "USE: Missing semi-colon."},
      {"const = 5;", "=", "=", "CONSTANT:  Requires valid identifier."},
      {"const x 5;", "5", "5", "CONSTANT:  Error in assignment."},
      {"const x = ;", ";", ";", "CONSTANT:  Error in expression."},
      {"range (1,2,3);", "(", "(", "RANGE:  Range requires valid identifier."},
      {"range R 1,2,3;", "1", "1", "RANGE:  Range requires defining parameters (center, plateau, edge).')'"},
      {"range R(;", ";", ";", "RANGE:  Error in range definition."},
      {"range R(1;", ";", ";", "RANGE:  Requires 'plateau' parameter."},
      {"range R(1,;", ";", ";", "RANGE:  Error in 'plateau' parameter."},
      {"range R(1, 2);", ")", ")", "RANGE:  Requires 'edge' parameter."},
      {"range R(1,2,;", ";", ";", "RANGE:  Error in 'edge' parameter."},
      {"range R(1,2,3;", ";", ";", "RANGE:  Missing close ')'"},
      // Members are skipped up to the first '}'.
      {"def { a as byte; }", "{", "}", "DEFINE: unique identifier required"},
  };
  for (const Case& c : cases) {
    // Each recovers and the next declaration is parsed normally.
    ParseRun run = Parse(std::string(c.source) + "\nconst next 1;\n");
    EXPECT_EQ(run.result, 0) << c.source;
    EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, c.errorToken, 1), Entry(c.message, c.token, 1),
                                    Entry(kSyntax, "1", 2), Entry("CONSTANT:  Error in assignment.", "1", 2)}))
        << c.source;
  }
}

TEST_F(FrontendTest, RuleErrorProductions) {
  // Back at the top level while still recovering, the end-of-program
  // reduction takes the stray '}' and every later token is dropped unseen.
  ParseRun run = Parse("rule R { }\nconst next 1;\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries,
            (Entries{Entry(kSyntax, "}", 1), Entry("RULE: Requires one or more valid ranges.", "}", 1)}));
  EXPECT_EQ(run.errorCount, 3);

  // The entry's name starts a method heading, which then fails: no recovery there.
  run = Parse("range a(1, 2, 3); rule R (a as 1;)\nconst next 1;\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "a", 1), Entry("RULE: Error in ranges.", "a", 1)}));
}

TEST_F(FrontendTest, ClassMemberErrorProductions) {
  struct Case {
    const char* member;
    const char* token;
    const char* message;
  } cases[] = {
      {"x as ;", ";", "VARIABLE:  Bad data type."},
      {"x byte;", "byte", "VARIABLE:  Bad data type."},
      {"do f(a byte);", "byte", "PROTOTYPE:  Bad data type."},
      {"do f(a as );", ")", "PROTOTYPE:  Bad data type."},
      {"do f() as interrupt;", ";", "Interrupt: Requires an address"},
      {"x as memory;", ";", "Memory access: Requires an address"},
      {"do f() as ;", ";", "VARIABLE:  Bad declaration."},
      {"const k 1;", "1", "CONSTANT:  Error in assignment."},
  };
  for (const Case& c : cases) {
    ParseRun run = Parse(InClass(std::string(c.member) + " y as byte;"));
    EXPECT_EQ(run.result, 0) << c.member;
    EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, c.token, 1), Entry(c.message, c.token, 1)})) << c.member;
  }
}

TEST_F(FrontendTest, MissingMemberSemicolonRecoversAtTheNextSemicolonOrBrace) {
  struct Case {
    const char* members;
    const char* message;
  } cases[] = {
      {"const k = 1 x as byte; }", "CONSTANT: Missing semi-colon."},
      {"x as byte y as byte; }", "VARIABLE: Missing semi-colon."},
      {"do f() y as byte; }", "PROTOTYPE: Missing semi-colon."},
      // The productions ending in '}' take the class's brace: one more closes it.
      {"const k = 1 } }", "CONSTANT: Missing semi-colon."},
      {"x as byte } }", "VARIABLE: Missing semi-colon."},
      {"do f() } }", "PROTOTYPE: Missing semi-colon."},
  };
  for (const Case& c : cases) {
    ParseRun run = Parse(std::string("def C { ") + c.members + "\n");
    EXPECT_EQ(run.result, 0) << c.members;
    ASSERT_EQ(run.entries.size(), 2u) << c.members;
    EXPECT_EQ(run.entries[1].substr(0, run.entries[1].find(" | ")), c.message) << c.members;
  }
}

TEST_F(FrontendTest, UnclosedClassAbortsAtTheEndOfInput) {
  // Still recovering at the end: no second "syntax error".
  ParseRun run = Parse("def Motor { x as byte }\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "}", 1), Entry("VARIABLE: Missing semi-colon.", "}", 1),
                                  Entry("VARIABLE:  Bad declaration.", "\n", 1)}));
  // Three shifts later the end of input is a new syntax error.
  run = Parse("def Motor { x as byte }\nconst a = 1;\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "}", 1), Entry("VARIABLE: Missing semi-colon.", "}", 1),
                                  Entry(kSyntax, "\n", 1), Entry("VARIABLE:  Bad declaration.", "\n", 1)}));
}

TEST_F(FrontendTest, StrayTokensBetweenDeclarationsAbortTheParse) {
  const char* sources[] = {"def Motor { };\nconst x 1;\n", "rule R { a as 1; };\nconst x 1;\n",
                           "const x = 1;;\nconst x 1;\n", "const x = 1;\nfoo"};
  for (const char* source : sources) {
    ParseRun run = Parse(source);
    EXPECT_EQ(run.result, 1) << source;
    // Nothing after the stray token is read (the second declaration's error is never seen).
    ASSERT_FALSE(run.entries.empty()) << source;
    EXPECT_EQ(run.entries.back().substr(0, 12), kSyntax) << source;
  }
  EXPECT_EQ(Parse("def Motor { };\nconst x 1;\n").entries, (Entries{Entry(kSyntax, ";", 1)}));
}

TEST_F(FrontendTest, StatementErrorsRecoverThroughABadDeclaration) {
  struct Case {
    const char* statement;
    const char* token;
  } cases[] = {{"a = 1 b = 2;", "b"}, {"x[1][2] = 0;", "["}, {"x = 1;;", ";"}, {"out 1 2;", "2"}};
  for (const Case& c : cases) {
    ParseRun run = Parse(InStart(std::string("a as byte; x as byte[3]; ") + c.statement) + "const after 1;\n");
    EXPECT_EQ(run.result, 0) << c.statement;
    EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, c.token, 2), Entry("VARIABLE:  Bad declaration.", c.token, 2),
                                    Entry(kSyntax, "1", 4), Entry("CONSTANT:  Error in assignment.", "1", 4)}))
        << c.statement;
  }
}

TEST_F(FrontendTest, NoSecondSyntaxErrorBeforeThreeShifts) {
  // After the first recovery only ';' is shifted before the next error: its
  // error production still reports, but no second "syntax error" is logged.
  ParseRun run = Parse(InStart("x byte;;"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "byte", 2), Entry("VARIABLE:  Bad data type.", "byte", 2),
                                  Entry("VARIABLE:  Bad declaration.", ";", 2)}));
  // Once three tokens were shifted, a new error is reported again.
  run = Parse(InStart("y as byte; x byte; y = 1;;"));
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "byte", 2), Entry("VARIABLE:  Bad data type.", "byte", 2),
                                  Entry(kSyntax, ";", 2), Entry("VARIABLE:  Bad declaration.", ";", 2)}));
  // Tokens that do not fit after error are dropped silently, in the same state.
  run = Parse("const = 5 6 7 ) ( ;\nconst y = 1;\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "=", 1), Entry("CONSTANT:  Requires valid identifier.", "=", 1)}));
}

TEST_F(FrontendTest, ErrorWhileRecoveringAtTheEndOfInputAborts) {
  ParseRun run = Parse("const = 5");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, "=", 1), Entry("CONSTANT:  Requires valid identifier.", "=", 1)}));
  run = Parse("start() {\n  x = 1;\n");
  EXPECT_EQ(run.result, 1);
}

TEST_F(FrontendTest, ElseMustComeLast) {
  ParseRun run = Parse(InStart("a as byte; b as byte; if (a) { } else { } elseif (b) { }"));
  ASSERT_FALSE(run.entries.empty());
  EXPECT_EQ(run.entries[0], Entry(kSyntax, "elseif", 2));
}

TEST_F(FrontendTest, MethodNamesTakeOneQualifierButCallsTakeMore) {
  // b is a's method, so the heading a:b resolves and only the second ':' is wrong.
  ParseRun run = Parse("def a { do b(); }\na:b:c() { }\n");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.entries, (Entries{Entry(kSyntax, ":", 2)}));
  // b is not a member of a, so the ownerless class b is found, then b's method c.
  run = Parse("def a { }\ndef b { do c(p as byte); }\n" + InStart("a:b:c(1);"), true);
  EXPECT_EQ(run.result, 0);
  EXPECT_TRUE(run.entries.empty());
  EXPECT_EQ(std::count(run.productions.begin(), run.productions.end(), 155), 2);
  EXPECT_EQ(std::count(run.productions.begin(), run.productions.end(), 93), 1);
}

// The expression productions reduced (113 to 143), in order, after the last
// local declaration (so the range's parameters do not count).
std::vector<int> ExpressionShape(const ParseRun& run) {
  auto last = std::find(run.productions.rbegin(), run.productions.rend(), 76);
  std::vector<int> shape;
  for (auto it = last.base(); it != run.productions.end(); ++it)
    if (*it >= 113 && *it <= 143) shape.push_back(*it);
  return shape;
}

// Locals for the expression cases: every operator below is defined for them,
// so the parse reports nothing and only the reductions differ.
const char kOperands[] =
    "a as integer; b as integer; c as byte; x as integer; y as integer; z as integer;";

TEST_F(FrontendTest, OperatorPrecedenceAndAssociativity) {
  struct Case {
    const char* expression;
    std::vector<int> shape;
  } cases[] = {
      {"a < b and c", {142, 142, 142, 121, 129}},   // a < (b and c)
      {"x == y or z", {142, 142, 142, 122, 126}},   // x == (y or z)
      {"a * b & c", {142, 142, 142, 118, 115}},     // a * (b & c)
      {"a + b << 2", {142, 142, 113, 140, 132}},    // (a + b) << 2
      {"- a * b", {142, 136, 142, 115}},            // (-a) * b
      {"not a and b", {142, 138, 142, 121}},        // (not a) and b
      {"a - b - c", {142, 142, 114, 142, 114}},     // (a - b) - c
      {"a == b == c", {142, 142, 126, 142, 126}},   // (a == b) == c
      {"a is r min c", {142, 142, 134, 142, 124}},  // one level, left to right
      {"-0.5@1.0", {139, 136}},                     // the negation of a fuzzy literal
      {"(a + b) * c", {142, 142, 113, 135, 142, 115}},
  };
  for (const Case& c : cases) {
    ParseRun run = Parse("range r(1, 2, 3);\n" + InStart(kOperands + std::string(" x = ") + c.expression + ";"), true);
    EXPECT_EQ(run.result, 0) << c.expression;
    EXPECT_TRUE(run.entries.empty()) << c.expression << "\n" << run.log;
    EXPECT_EQ(ExpressionShape(run), c.shape) << c.expression;
  }
}

TEST_F(FrontendTest, IfChainsBuildTheirForms) {
  struct Case {
    const char* statement;
    std::vector<int> clauses;  // productions 100 to 110 except the markers
  } cases[] = {
      {"if (a) { }", {105, 100}},
      {"if (a) { } else { }", {105, 106, 101}},
      {"if (a) { } elseif (b) { }", {105, 110, 107, 102}},
      {"if (a) { } elseif (b) { } elseif (c) { } else { }", {105, 110, 110, 107, 108, 106, 103}},
      {"if (a) { } if (b) { }", {105, 100, 105, 100}},
  };
  for (const Case& c : cases) {
    ParseRun run = Parse(InStart(std::string("a as byte; b as byte; c as byte; ") + c.statement), true);
    EXPECT_EQ(run.result, 0) << c.statement;
    EXPECT_TRUE(run.entries.empty()) << c.statement;
    std::vector<int> clauses;
    for (int production : run.productions)
      if (production >= 100 && production <= 110 && production != 104 && production != 109)
        clauses.push_back(production);
    EXPECT_EQ(clauses, c.clauses) << c.statement;
  }
}

TEST_F(FrontendTest, UseIsReducedBeforeTheNextTokenIsRead) {
  // The used file's tokens come before the rest of the using line.
  Write("lib.tvr", "const b 2;\n");
  ParseRun run = Parse("use \"lib.tvr\"; const a 1;\n");
  ASSERT_EQ(run.entries.size(), 4u);
  EXPECT_EQ(run.entries[0], Entry(kSyntax, "2", 1));
  EXPECT_EQ(run.files[0], "lib.tvr");
  EXPECT_EQ(run.entries[2], Entry(kSyntax, "1", 1));
  EXPECT_EQ(run.files[2], "main.tvr");
}

TEST_F(FrontendTest, DeepNestingAndLongChainsParse) {
  const int depth = 100000;
  ParseRun run = Parse(InStart(std::string(depth, '{') + std::string(depth, '}')));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.errorCount, 0);

  run = Parse(InStart("x as integer; x = " + std::string(depth, '(') + "1" + std::string(depth, ')') + ";"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.errorCount, 0);

  std::string chain = "x as integer; x = 1";
  chain.reserve(5 << 20);
  for (int i = 0; i < 1000000; ++i) chain += i % 3 ? " + 1" : " * 1";
  run = Parse(InStart(chain + ";"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.errorCount, 0);

  run = Parse(InStart("x as integer; x = " + std::string(depth, '-') + "1;"));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.errorCount, 0);
}

TEST_F(FrontendTest, StackGrowthFailureReportsAnOverflow) {
  Write("main.tvr", InStart(std::string(1000, '{') + std::string(1000, '}')));
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  parser.stackLimit = 400;
  ASSERT_TRUE(parser.OpenSource("main.tvr"));
  EXPECT_EQ(parser.Parse(), 1);
  EXPECT_NE(ReadWholeFile(logPath).find("\"{\" yacc stack overflow \r\n"), std::string::npos);
}

TEST_F(FrontendTest, ParseResetsTheErrorCount) {
  Write("main.tvr", "");
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  parser.WriteLog("before");
  EXPECT_EQ(parser.errorCount, 1);
  ASSERT_TRUE(parser.OpenSource("main.tvr"));
  EXPECT_EQ(parser.Parse(), 0);
  EXPECT_EQ(parser.errorCount, 0);
}

TEST_F(FrontendTest, CreateDeletesTheOldLogAndWriteLogAppends) {
  Write("tovrin.log", "old entries");
  CParser parser;
  parser.logPath = logPath;
  std::vector<CParser::LogNotice> notices;
  parser.onLog = [&notices](const CParser::LogNotice& notice) { notices.push_back(notice); };
  ASSERT_TRUE(parser.Create(0, 1, 1));
  EXPECT_FALSE(std::filesystem::exists(logPath));
  parser.WriteLog("Tovrin: BUILD FAILED\r\n");
  parser.WriteLog("second");
  EXPECT_EQ(ReadWholeFile(logPath), "Tovrin: BUILD FAILED\r\n \r\n\r\nsecond \r\n\r\n");
  EXPECT_EQ(parser.errorCount, 2);
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_FALSE(notices[0].located);
  EXPECT_EQ(notices[0].text, "Tovrin: BUILD FAILED\r\n");
}

TEST_F(FrontendTest, UnwritableLogShowsTheEntryAndStillCounts) {
  CRecordingInterface ui;
  CParser parser;
  parser.logPath = scratch + "/missing-folder/tovrin.log";
  parser.WriteLog("the entry");
  EXPECT_EQ(parser.errorCount, 1);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "the entry");
  EXPECT_EQ(ui.messages[0].caption, "Tovrin: Parser Error");
}

TEST_F(FrontendTest, DebugFileFollowsTheLevel) {
  CRecordingInterface ui;
  CParser parser;
  parser.logPath = logPath;
  ASSERT_TRUE(parser.Create(0, 1, 1));
  Write("tovrin.dbg", "previous");
  parser.WriteDebugFile("tovrin.dbg", 1);
  EXPECT_EQ(ReadWholeFile("tovrin.dbg"), "previous");
  // Level 2 rewrites the file: the banner and the byte codes only.
  parser.WriteDebugFile("tovrin.dbg", 2);
  std::string listing = ReadWholeFile("tovrin.dbg");
  EXPECT_EQ(listing.rfind(" ____", 0), 0u) << listing;
  EXPECT_NE(listing.find("TOVRIN COMPILER"), std::string::npos);
  EXPECT_NE(listing.find("/  Byte Codes\n\n"), std::string::npos);
  EXPECT_EQ(listing.find("/ Program Information"), std::string::npos);
  EXPECT_EQ(listing.find("/ Scope Table"), std::string::npos);
  EXPECT_TRUE(ui.messages.empty());
  parser.WriteDebugFile("no-such-folder/tovrin.dbg", 4);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Can not create parser debug file 'no-such-folder/tovrin.dbg'");
  EXPECT_EQ(ui.messages[0].caption, "");
}

}  // namespace

namespace {

TEST_F(FrontendTest, ExamplesParseWithoutErrors) {
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(TOVRIN_SOURCE_DIR) + "/examples")) {
    if (entry.path().extension() != ".tvr") continue;
    ++examples;
    ExampleLayout layout = ExampleBuildLayout(entry.path().string());
    ParseRun run = ParseFileWithLayout(entry.path().string(), layout.externalRamK, layout.codeLocation,
                                       layout.dataLocation);
    EXPECT_EQ(run.result, 0) << entry.path();
    EXPECT_EQ(run.errorCount, 0) << entry.path() << "\n" << run.log;
  }
  EXPECT_GE(examples, 3);
}

}  // namespace

TEST(ValueSlot, AnEmptySlotClearsTheWholePointer) {
  yyvalue slot;
  slot.object = reinterpret_cast<void*>(~static_cast<uintptr_t>(0));
  slot = yyvalue{};
  EXPECT_EQ(slot.object, nullptr);
}
