// The compiler's state: the predeclared start, contexts, blocks, scopes and name resolution.
#include "compiler_fixture.h"

namespace {

TEST_F(CompilerTest, StartIsPredeclared) {
  Compiled run = Compile("");
  ASSERT_EQ(run.result, 0);
  CCompiler& compiler = run.compiler();
  auto* start = dynamic_cast<CProtoSymbol*>(compiler.FindSymbol(nullptr, "start"));
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->level, 0);
  EXPECT_EQ(start->owner, nullptr);
  EXPECT_EQ(start->returnType.kind, TYPE_VOID);
  EXPECT_TRUE(start->parameters.empty());
  EXPECT_EQ(compiler.scope.buckets.size(), 1000u);
  EXPECT_EQ(compiler.scope.buckets[558], start);
  EXPECT_EQ(compiler.currentBlock, &compiler.programBlock);
}

TEST_F(CompilerTest, BuildersNeedABlock) {
  CCompiler compiler;  // before BeginProgram
  EXPECT_EQ(compiler.NewBlockStatement(), nullptr);
  EXPECT_EQ(compiler.errorText, "(no block in scope)");
  compiler.errorText.clear();
  EXPECT_EQ(compiler.NewCallStatement(nullptr, compiler.NewArgumentBlock(), 1), nullptr);
  EXPECT_EQ(compiler.errorText, "(no block in scope)");
}

TEST_F(CompilerTest, ScopesCloseSafelyBeyondWhatWasOpened) {
  Compiled run = Compile("");
  CCompiler& compiler = run.compiler();
  CBlock block;
  compiler.OpenScope(&block);
  compiler.AllocateLocal(1);
  compiler.AllocateLocal(2);
  compiler.AllocateLocal(5);
  EXPECT_EQ(compiler.currentBlock, &block);
  EXPECT_EQ(compiler.CloseScope(), 1);
  EXPECT_EQ(block.frameSize, 8);
  EXPECT_EQ(compiler.CloseScope(), 0);
  EXPECT_EQ(compiler.currentBlock, &compiler.programBlock);
  EXPECT_EQ(compiler.scope.currentLevel, 0);
  EXPECT_EQ(compiler.FrameDepth(), 0);
  EXPECT_EQ(compiler.PopContext(), 0);
  EXPECT_EQ(compiler.PopBlock(), 0);
}

// Symbols of a closed scope are gone for lookups even when a new scope reopens that level.
TEST_F(CompilerTest, ClosedScopesStayClosed) {
  Compiled run = Compile("");
  CCompiler& compiler = run.compiler();
  CBlock first;
  CBlock second;
  compiler.OpenScope(&first);
  CVarSymbol* inner = compiler.DeclareVariable("x", nullptr);
  EXPECT_TRUE(compiler.IsRedefinition("x"));
  compiler.CloseScope();
  compiler.OpenScope(&second);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), nullptr);
  EXPECT_FALSE(compiler.IsRedefinition("x"));
  CVarSymbol* again = compiler.DeclareVariable("x", nullptr);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), again);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), nullptr);
  EXPECT_EQ(Left(compiler, "x"), (std::vector<CSymbol*>{again, inner}));
}

// Closing an inner scope forgets its names only: a namesake of an open outer scope is
// found again, at every depth, and a name declared after the close is found.
TEST_F(CompilerTest, ClosingAnInnerScopeKeepsTheOuterNamesake) {
  Compiled run = Compile("");
  CCompiler& compiler = run.compiler();
  CBlock outer;
  CBlock inner;
  CBlock innermost;
  compiler.OpenScope(&outer);
  CVarSymbol* outerX = compiler.DeclareVariable("x", nullptr);
  compiler.OpenScope(&inner);
  CVarSymbol* innerX = compiler.DeclareVariable("x", nullptr);
  compiler.OpenScope(&innermost);
  CVarSymbol* innermostX = compiler.DeclareVariable("x", nullptr);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), innermostX);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), innerX);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), outerX);
  compiler.OpenScope(&inner);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), outerX);
  CVarSymbol* y = compiler.DeclareVariable("y", nullptr);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "y"), y);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindSymbol(nullptr, "y"), nullptr);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), outerX);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindSymbol(nullptr, "x"), nullptr);
}

// Every read of a variable is one leaf: widening it for one use leaves it as it is for
// the others (its parent converts it).
TEST_F(CompilerTest, ReadsOfAVariableShareOneUnchangedLeaf) {
  Compiled run = Compile("start() { b as byte; i as integer; i = b + 300; b = b; i = b; }\n");
  ASSERT_EQ(run.entries, Entries());
  CBlock& start = run.Body("start");
  ASSERT_EQ(Shape(start), "Var Var Assign Assign Assign");
  const CExpression* sum = Nth<CAssignStatement>(start, 2)->value;
  ASSERT_EQ(sum->op, EXPR_ADD);
  EXPECT_EQ(sum->kind, TYPE_INTEGER);
  const CExpression* read = Nth<CAssignStatement>(start, 3)->value;
  EXPECT_EQ(sum->left, read);
  EXPECT_EQ(Nth<CAssignStatement>(start, 4)->value, read);
  EXPECT_EQ(read->op, EXPR_VAR);
  EXPECT_EQ(read->kind, TYPE_BYTE);
}

// Declarations share the plain types they name; an array or memory type made from one
// leaves it plain for the declarations after it.
TEST_F(CompilerTest, DeclarationsOfOneKindKeepTheirOwnTypes) {
  Compiled run = Compile(
      "def C { a as byte; g as byte[4]; m as memory 0x70; b as byte; h as integer[2]; i as integer; }\n"
      "start() { }\n");
  ASSERT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();
  CSymbol* c = compiler.FindSymbol(nullptr, "C");
  auto type = [&](const char* name) {
    auto* variable = SymbolCast<CVarSymbol>(compiler.FindSymbol(c, name));
    EXPECT_NE(variable, nullptr) << name;
    return variable == nullptr ? CType() : variable->type;
  };
  for (const char* plain : {"a", "b"}) {
    EXPECT_EQ(type(plain).kind, TYPE_BYTE) << plain;
    EXPECT_EQ(type(plain).flags, 0u) << plain;
    EXPECT_EQ(type(plain).count, 0) << plain;
  }
  EXPECT_EQ(type("g").kind, TYPE_BYTE);
  EXPECT_EQ(type("g").flags, static_cast<uint32_t>(TYPE_FLAG_ARRAY));
  EXPECT_EQ(type("g").count, 4);
  EXPECT_EQ(type("m").kind, TYPE_ADDRESS);
  EXPECT_EQ(type("m").ref, 0x70);
  EXPECT_EQ(type("h").count, 2);
  EXPECT_EQ(type("i").flags, 0u);
  EXPECT_EQ(type("i").count, 0);
}

TEST_F(CompilerTest, MembersAreFoundBeforeOwnerlessNames) {
  Compiled run = Compile(
      "const x = 1;\n"
      "const y = 2;\n"
      "def C { x as byte; do f(); }\n"
      "C:f() { a as byte; a = x; a = y; }\n"
      "start() { a as byte; a = x; a = C:x; }\n");
  ASSERT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();
  CSymbol* c = compiler.FindSymbol(nullptr, "C");
  CSymbol* member = compiler.FindSymbol(c, "x");
  ASSERT_NE(member, nullptr);
  EXPECT_EQ(member->owner, c);
  EXPECT_NE(dynamic_cast<CConstSymbol*>(compiler.FindSymbol(c, "y")), nullptr);
  EXPECT_NE(dynamic_cast<CConstSymbol*>(compiler.FindSymbol(nullptr, "x")), nullptr);
  CBlock& f = run.Body("C:f");
  ASSERT_EQ(Shape(f), "Var Assign Assign");
  EXPECT_EQ(Nth<CAssignStatement>(f, 1)->value->value.symbol, member);
  EXPECT_EQ(Nth<CAssignStatement>(f, 2)->value->op, EXPR_CONST);
  CBlock& start = run.Body("start");
  ASSERT_EQ(Shape(start), "Var Assign Assign");
  EXPECT_EQ(Nth<CAssignStatement>(start, 1)->value->op, EXPR_CONST);
  EXPECT_EQ(Nth<CAssignStatement>(start, 2)->value->value.symbol, member);
}

TEST_F(CompilerTest, QualifiedNamesAndTheirFailures) {
  Compiled run = Compile(
      "const b = 7;\n"
      "def A { b as byte; do go(n as byte); }\n"
      "A:go(n as byte) { }\n"
      "start() {\n"
      "  v as byte;\n"
      "  v = a:b;\n"  // no a: reported, then b among the ownerless names
      "  v = A:b;\n"
      "  A:go(3);\n"
      "  go(3);\n"  // only ownerless names without qualification
      "  v = A:nothing;\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(6, "a", "'a' : undeclared identifier."),
                             At(9, "(", "'go' : undeclared identifier."),
                             At(9, ")", "CALL:  Error; missing method name."),
                             At(10, "nothing", "'nothing' : undeclared identifier."),
                             At(10, ";", "Expression value:  Error in symbolic value. "),
                             At(10, ";", "ASSIGN:  Requires a valid expression."),
                         }));
  CBlock& start = run.Body("start");
  ASSERT_EQ(Shape(start), "Var Assign Assign Call");
  EXPECT_EQ(Nth<CAssignStatement>(start, 1)->value->value.AsByte(), 7);
  EXPECT_EQ(Nth<CAssignStatement>(start, 2)->value->op, EXPR_VAR);
}

TEST_F(CompilerTest, FindRangeLooksPastOtherSymbols) {
  Compiled run = Compile(
      "range r(1, 2, 3);\n"
      "def C { do f(); }\n"
      "C:f() { r as byte; r = 1; }\n"
      "rule R { r as 1; }\n");
  ASSERT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();
  CRangeSymbol* range = compiler.FindRange("r");
  ASSERT_NE(range, nullptr);
  CBlock block;
  compiler.OpenScope(&block);
  CVarSymbol* hiding = compiler.DeclareVariable("r", nullptr);
  EXPECT_EQ(compiler.FindSymbol(nullptr, "r"), hiding);
  EXPECT_EQ(compiler.FindRange("r"), range);
  compiler.CloseScope();
  EXPECT_EQ(compiler.FindRange("q"), nullptr);
  EXPECT_EQ(compiler.errorText, "Range not found.");
}

TEST_F(CompilerTest, UsedFilesAndTheirMessages) {
  Write("lib/defs.tvr", "def Lib { v as byte; }\nconst = 1;\n");
  Compiled run = Compile(
      "use \"missing.tvr\";\n"
      "use \"lib/defs.tvr\";\n"
      "start() { x as byte; x = Lib:v; }\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(1, ";", "USE unable to open file 'missing.tvr'"),
                             At(2, "=", "syntax error"),
                             At(2, "=", "CONSTANT:  Requires valid identifier."),
                         }));
  EXPECT_EQ(run.files, (std::vector<std::string>{"main.tvr", "lib/defs.tvr", "lib/defs.tvr"}));
  EXPECT_EQ(Shape(run.Body("start")), "Var Assign");
}

}  // namespace
