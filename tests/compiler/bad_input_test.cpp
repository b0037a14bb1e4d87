// Sources that fail everywhere: every builder receiving the null an earlier failure left,
// thousands of errors, deep nesting, and recoveries that leave the stacks unbalanced.
#include <string>

#include "compiler_fixture.h"

namespace {

// One undeclared name, q, in the operand of every builder; each failure is reported, and so
// is every follow-on failure of an operation that receives the null it left.
TEST_F(CompilerTest, UndeclaredNameInEveryBuilder) {
  Compiled run = Compile(
      "def C { x as byte; do f(a as byte); }\n"
      "range r(1, 2, q);\n"
      "rule R { r as q; }\n"
      "start() {\n"
      "  v as byte[q];\n"
      "  v = q;\n"
      "  q = 1;\n"
      "  q[1] = 2;\n"
      "  v[q] = 1;\n"
      "  out q;\n"
      "  outch q;\n"
      "  C:f(q);\n"
      "  weight(q);\n"
      "  clear(q);\n"
      "  const k = q;\n"
      "  v = q:x;\n"
      "  v = -q;\n"
      "  v = q is r;\n"
      "  v = q@1;\n"
      "}\n"
      "C:q() { }\n");
  auto undeclared = [](int line, const char* token) {
    return At(line, token, "'q' : undeclared identifier.");
  };
  const std::string symbolic = "Expression value:  Error in symbolic value. ";
  EXPECT_EQ(run.entries,
            (Entries{
                undeclared(2, "q"),
                At(2, ")", symbolic),
                At(2, ")", "RANGE:  All parameters must be valid expressions."),
                At(2, ")", "RANGE:  Error; missing symbol name."),
                undeclared(3, "q"),
                At(3, ";", symbolic),
                At(3, ";", "RULE: Range not found."),
                undeclared(5, "q"),
                At(5, "]", symbolic),
                At(5, "]", "Array:  Requires valid subscript."),
                undeclared(6, "q"),
                At(6, ";", symbolic),
                At(6, ";", "ASSIGN:  Requires a valid expression."),
                undeclared(7, "="),
                At(7, "=", symbolic),
                At(7, ";", "ASSIGN: Requires a valid left-hand side."),
                undeclared(8, "["),
                At(8, "]", symbolic),
                At(8, "]", "Binary operator:  Requires two valid operands."),
                At(8, ";", "ASSIGN: Requires a valid left-hand side."),
                undeclared(9, "q"),
                At(9, "]", symbolic),
                At(9, "]", "Binary operator:  Requires two valid operands."),
                At(9, ";", "ASSIGN: Requires a valid left-hand side."),
                undeclared(10, "q"),
                At(10, ";", symbolic),
                At(10, ";", "ASSIGN:  Requires a valid expression."),
                undeclared(11, "q"),
                At(11, ";", symbolic),
                At(11, ";", "ASSIGN:  Requires a valid expression."),
                undeclared(12, "q"),
                At(12, ")", symbolic),
                At(12, ")", "PARAM:  Invalid call parameter."),
                At(12, ")", "CALL:  Call parameters do not match any known method prototype."),
                undeclared(13, "q"),
                At(13, ")", symbolic),
                At(13, ")", symbolic),  // WEIGHT has no message of its own
                undeclared(14, ")"),
                At(14, ")", "Clear:  can only clear variables."),
                undeclared(15, "q"),
                At(15, ";", symbolic),
                At(15, ";", "CONSTANT:  Requires valid expression."),
                undeclared(16, "q"),
                At(16, "x", "'x' : undeclared identifier."),  // x of C is not ownerless
                At(16, ";", symbolic),
                At(16, ";", "ASSIGN:  Requires a valid expression."),
                undeclared(17, "q"),
                At(17, ";", symbolic),
                At(17, ";", "Unary operator:  Requires a valid operand."),
                At(17, ";", "ASSIGN:  Requires a valid expression."),
                undeclared(18, "q"),
                At(18, "is", symbolic),
                At(18, "r", "'r' : undeclared identifier."),  // its declaration failed
                At(18, ";", symbolic),
                At(18, ";", "Fuzzy operator:  Requires two valid operands."),
                At(18, ";", "ASSIGN:  Requires a valid expression."),
                // A fuzzy literal takes two literals: the statement ends before '@'.
                undeclared(19, "q"),
                At(19, "@", symbolic),
                At(19, "@", "ASSIGN:  Requires a valid expression."),
                At(19, "@", "syntax error"),
                At(19, "@", "VARIABLE:  Bad declaration."),
                undeclared(21, "q"),
                At(21, "(", "METHOD:  Interal error, missing symbol."),
                At(21, ")", "METHOD:  Error; missing method name."),
                At(21, "{", "METHOD:  Error; missing method."),
            }));
}

TEST_F(CompilerTest, TenThousandErrorsInOneFile) {
  std::string source = "start() {\n";
  for (int i = 0; i < 10000; ++i) source += "  x" + std::to_string(i) + " = 1;\n";
  source += "}\n";
  Compiled run = Compile(source);
  EXPECT_EQ(run.result, 0);
  ASSERT_EQ(run.entries.size(), 30000u);
  EXPECT_EQ(run.entries[0], At(2, "=", "'x0' : undeclared identifier."));
  EXPECT_EQ(run.entries[29999], At(10001, ";", "ASSIGN: Requires a valid left-hand side."));
  EXPECT_EQ(run.parser->errorCount, 30000);
}

// Thousands of classes each with a member x: every method finds its own x without walking
// the others, so doubling the program doubles the time.
TEST_F(CompilerTest, HundredThousandNestedBlocks) {
  const int depth = 100000;
  std::string source = "start() {\n";
  for (int i = 0; i < depth; ++i) source += "{ x as byte; x = 1;\n";
  source += std::string(depth, '}') + "\n}\n";
  Compiled run = Compile(source);
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  EXPECT_EQ(run.compiler().scope.currentLevel, 0);
  const CBlock* block = &run.Body("start");
  for (int i = 0; i < depth && block != nullptr; ++i) {
    auto* nested = dynamic_cast<const CBlockStatement*>(block->statements.back());
    block = nested == nullptr ? nullptr : &nested->block;
  }
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(Shape(*block), "Var Assign");
  EXPECT_EQ(Nth<CVarStatement>(*block, 0)->symbol->frameDepth, depth + 1);
  EXPECT_EQ(block->frameSize, 1);
  // Destroying the parser tears the nesting down without recursion.
}

TEST_F(CompilerTest, DeeplyNestedCallArguments) {
  const int depth = 20000;
  std::string source =
      "def C { do f(a as byte) as byte; }\n"
      "C:f(a as byte) { f = a; }\n"
      "start() { C:f(";
  for (int i = 0; i < depth; ++i) source += "C:f(";
  source += "1" + std::string(depth, ')') + "); }\n";
  Compiled run = Compile(source);
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CCallStatement* call = Nth<CCallStatement>(run.Body("start"), 0);
  ASSERT_NE(call, nullptr);
  EXPECT_NE(Nth<CParamStatement>(*call->arguments, 0)->expression->OwnedStatement(), nullptr);
}

// Syntax errors abandon half-built constructs: argument blocks still pushed, contexts never
// popped, expressions and types left on the parser's stack. Nothing of it may leak or dangle.
TEST_F(CompilerTest, RecoveryLeavesNothingBehind) {
  Compiled run = Compile(
      "def C { do f(a as byte, b as integer) as byte; v as byte[2 + ; }\n"
      "C:f(a as byte, b as integer) {\n"
      "  f = C:f(a, (b + 1 2;\n"
      "  f = a + ;\n"
      "  while (a < b { f = 1; }\n"
      "  x as fuzzy[3;\n"
      "  if (a) { f = 2 } elseif (b) { } else { }\n"
      "}\n"
      "range r(1 + 2, 3 * 4, 5 6);\n"
      "start() { C:f(1, 2.5@1");
  EXPECT_EQ(run.result, 1);
  EXPECT_FALSE(run.entries.empty());
  // The compiler stays usable after the abandoned constructs.
  CCompiler& compiler = run.compiler();
  EXPECT_NE(compiler.NewBlockStatement(), nullptr);
}

}  // namespace
