// Declarations: symbols with their owners, levels and storage; the messages of each declaration.
#include "compiler_fixture.h"

namespace {

// The class Motor with a method go: levels, owners, frame offsets and the frame size.
TEST_F(CompilerTest, MotorExample) {
  Compiled run = Compile(
      "define Motor { speed as byte; do go(a as byte) as integer; }\n"
      "Motor:go(a as byte) { go = a * 2; }\n"
      "start() { Motor:go(3); }\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();
  auto* motor = dynamic_cast<CClassSymbol*>(Live(compiler, "Motor"));
  auto* speed = dynamic_cast<CVarSymbol*>(Live(compiler, "speed"));
  auto* go = dynamic_cast<CProtoSymbol*>(Live(compiler, "go"));
  ASSERT_TRUE(motor && speed && go);
  EXPECT_EQ(motor->level, 0);
  EXPECT_EQ(motor->owner, nullptr);
  EXPECT_EQ(speed->owner, motor);
  EXPECT_EQ(speed->level, 0);
  EXPECT_EQ(speed->frameDepth, 0);
  EXPECT_EQ(speed->statement->address, 0x7E);  // the first byte of global data
  EXPECT_EQ(motor->statement->address, 0x7E);  // where the members follow
  EXPECT_EQ(go->owner, motor);
  EXPECT_EQ(go->level, 0);
  EXPECT_EQ(go->returnType.kind, TYPE_INTEGER);
  EXPECT_EQ(go->parameters[0]->level, -1);
  EXPECT_EQ(go->parameters[0]->QualifiedName(), "Motor:go:a");
  EXPECT_EQ(go->parameterBytes, 1);

  CBlock& body = run.Body("Motor:go");
  EXPECT_EQ(Shape(body), "Var Var Assign");
  EXPECT_EQ(body.frameSize, 2);
  CVarStatement* result = Nth<CVarStatement>(body, 0);
  CVarStatement* parameter = Nth<CVarStatement>(body, 1);
  ASSERT_TRUE(result && parameter);
  EXPECT_EQ(result->address, 0);
  EXPECT_EQ(parameter->address, -6);
  EXPECT_EQ(result->symbol->frameDepth, 1);
  EXPECT_EQ(parameter->symbol->frameDepth, 1);
  // In the body go names the result variable; left with the scope, both print under the class.
  EXPECT_EQ(Nth<CAssignStatement>(body, 2)->target->value.symbol, result->symbol);
  EXPECT_EQ(Left(compiler, "go"), std::vector<CSymbol*>{result->symbol});
  EXPECT_EQ(Left(compiler, "a"), std::vector<CSymbol*>{parameter->symbol});
  EXPECT_EQ(result->symbol->QualifiedName(), "Motor:go");
  EXPECT_EQ(parameter->symbol->QualifiedName(), "Motor:a");
  EXPECT_EQ(result->symbol->level, 1);
  EXPECT_EQ(go->statement, Method(compiler, "Motor:go"));

  CCallStatement* call = Nth<CCallStatement>(run.Body("start"), 0);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->prototype, go);
  EXPECT_EQ(Shape(*call->arguments), "Param");
}

TEST_F(CompilerTest, RedefinitionIsSameLevelSameOwnerOnly) {
  Compiled run = Compile(
      "def C {\n"
      "  x as byte;\n"
      "  x as integer;\n"  // same owner, same level
      "  do f();\n"
      "}\n"
      "const K = 1;\n"
      "def K { }\n"                       // a class named like an ownerless constant
      "def D { x as real; }\n"            // another owner
      "C:f() { x as fuzzy; x = 1; }\n");  // an inner scope hides the member
  EXPECT_EQ(run.entries, (Entries{
                             At(3, ";", "'x' : name redefinition."),
                             At(7, "K", "DEFINE:  'K' name redefinition."),
                             At(7, "K", "CLASS:  Error; missing method name."),
                         }));
  CBlock& body = run.Body("C:f");
  ASSERT_EQ(Shape(body), "Var Assign");
  EXPECT_EQ(Nth<CAssignStatement>(body, 1)->target->value.symbol,
            Nth<CVarStatement>(body, 0)->symbol);
  EXPECT_EQ(Nth<CAssignStatement>(body, 1)->kind, TYPE_FUZZY);
}

TEST_F(CompilerTest, ConstantsAreFoldedValues) {
  Compiled run = Compile(
      "def C {\n"
      "  v as byte;\n"
      "  const c = v + 1;\n"
      "  const d = 200 + 100;\n"
      "}\n"
      "const e = 10@255;\n"
      "const f = 2 * 3;\n"
      "start() { x as integer; x = f; }\n");
  EXPECT_EQ(run.entries,
            (Entries{At(3, ";", "CONSTANT:  Expression does not evaluate to a constant. ")}));
  CCompiler& compiler = run.compiler();
  EXPECT_EQ(Live(compiler, "c"), nullptr);
  auto* d = dynamic_cast<CConstSymbol*>(Live(compiler, "d"));
  auto* e = dynamic_cast<CConstSymbol*>(Live(compiler, "e"));
  ASSERT_TRUE(d && e);
  EXPECT_EQ(d->value.kind, TYPE_BYTE);
  EXPECT_EQ(d->value.AsByte(), 44);
  EXPECT_EQ(e->value.kind, TYPE_FUZZY);
  EXPECT_EQ(e->value.AsReal(), 10.0f);
  EXPECT_EQ(e->value.weight, 1.0f);
  // A constant used in an expression is its value, converted to the target's kind.
  CAssignStatement* assign = Nth<CAssignStatement>(run.Body("start"), 1);
  ASSERT_NE(assign, nullptr);
  EXPECT_EQ(assign->value->op, EXPR_CONST);
  EXPECT_EQ(assign->value->value.kind, TYPE_INTEGER);
  EXPECT_EQ(assign->value->value.AsInteger(), 6);
}

TEST_F(CompilerTest, RangesAndRulesFillTheTableArea) {
  Compiled run = Compile(
      "def C { v as byte; }\n"
      "range r(1.7, 300, 2);\n"
      "rule R {\n"
      "  r as 2.9;\n"
      "  C as 1;\n"        // not a range
      "  nothing as 1;\n"  // not declared at all
      "  r as 258;\n"
      "}\n"
      "range s(1, C:v, 3);\n"
      "range r(4, 5, 6);\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(5, ";", "RULE: Range not found."),
                             At(6, ";", "RULE: Range not found."),
                             At(9, ")", "RANGE:  All parameters must evaluate to constant values."),
                             At(9, ")", "RANGE:  Error; missing symbol name."),
                             At(10, ")", "'r' : name redefinition."),
                             At(10, ")", "RANGE:  Error; missing symbol name."),
                         }));
  CCompiler& compiler = run.compiler();
  auto* r = dynamic_cast<CRangeSymbol*>(Live(compiler, "r"));
  auto* rule = dynamic_cast<CRuleSymbol*>(Live(compiler, "R"));
  ASSERT_TRUE(r && rule);
  EXPECT_EQ(r->center, 1);
  EXPECT_EQ(r->plateau, 44);  // 300 mod 256
  EXPECT_EQ(r->edge, 2);
  ASSERT_EQ(rule->entries.size(), 2u);
  EXPECT_EQ(rule->entries[0]->range, r);
  EXPECT_EQ(rule->entries[0]->owner, rule);
  EXPECT_EQ(rule->entries[0]->result, 2);
  EXPECT_EQ(rule->entries[1]->result, 2);  // 258 as a Byte
  // Data first; the tables follow it in the shared region: three range bytes, then the rule's
  // count byte and four bytes for each of its four entries, the failed ones too.
  EXPECT_EQ(Live(compiler, "v")->statement->address, 0x7E);
  EXPECT_EQ(r->statement->address, 0x7F);
  EXPECT_EQ(rule->statement->address, 0x82);
  EXPECT_EQ(compiler.base + compiler.codeCursor, 0x82 + 1 + 4 * 4);
  EXPECT_EQ(Shape(compiler.programBlock), "Class Var Range Rule");
}

// Within one class, go(Byte) and go(Integer) coexist; a definition matches its own overload
// exactly, and its body sees that overload's parameters, whatever the newest one is.
TEST_F(CompilerTest, DefinitionsMatchTheirOverloadExactly) {
  Compiled run = Compile(
      "def Cls { do go(x as integer); do go(x as byte); }\n"
      "Cls:go(x as integer) { }\n"
      "Cls:go(y as byte) { }\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CBlock& program = run.compiler().programBlock;
  ASSERT_EQ(Shape(program), "Class Method Method");
  CMethodStatement* integerGo = Nth<CMethodStatement>(program, 1);
  CMethodStatement* byteGo = Nth<CMethodStatement>(program, 2);
  EXPECT_EQ(integerGo->prototype->parameters[0]->type.kind, TYPE_INTEGER);
  EXPECT_EQ(byteGo->prototype->parameters[0]->type.kind, TYPE_BYTE);
  EXPECT_EQ(integerGo->prototype->statement, integerGo);
  EXPECT_EQ(integerGo->prototype->parameterBytes, 2);
  CVarStatement* integerX = Nth<CVarStatement>(integerGo->body, 0);
  CVarStatement* byteX = Nth<CVarStatement>(byteGo->body, 0);
  EXPECT_EQ(integerX->symbol->type.kind, TYPE_INTEGER);
  EXPECT_EQ(integerX->address, -7);
  EXPECT_EQ(byteX->symbol->name, "x");  // the prototype's name, not the heading's
  EXPECT_EQ(byteX->address, -6);
}

TEST_F(CompilerTest, FrameOffsetsOfResultParametersAndLocals) {
  Compiled run = Compile(
      "def M { do f(a as byte, b as integer, c as fuzzy) as real; }\n"
      "M:f(a as byte, b as integer, c as fuzzy) { l as byte; { m as integer; } }\n");
  ASSERT_EQ(run.entries, Entries());
  CBlock& body = run.Body("M:f");
  ASSERT_EQ(Shape(body), "Var Var Var Var Var Block");
  std::vector<int> addresses;
  for (size_t i = 0; i < 5; ++i) {
    addresses.push_back(Nth<CVarStatement>(body, i)->address);
    EXPECT_EQ(Nth<CVarStatement>(body, i)->symbol->frameDepth, 1);
  }
  // The result first in the frame; the parameters below its base, the first nearest.
  EXPECT_EQ(addresses, (std::vector<int>{0, -6, -8, -13, 3}));
  EXPECT_EQ(Method(run.compiler(), "M:f")->prototype->parameterBytes, 8);
  EXPECT_EQ(body.frameSize, 4);
  CBlock& nested = Nth<CBlockStatement>(body, 5)->block;
  EXPECT_EQ(Nth<CVarStatement>(nested, 0)->address, 0);
  EXPECT_EQ(Nth<CVarStatement>(nested, 0)->symbol->frameDepth, 2);
  EXPECT_EQ(nested.frameSize, 2);
}

TEST_F(CompilerTest, MethodDeclarationMistakes) {
  Compiled run = Compile(
      "def Cls {\n"
      "  do go(a as byte);\n"
      "  do go(b as byte);\n"  // an exact repeat
      "  do f() as byte;\n"
      "  do g(g as byte) as byte;\n"        // a parameter named like its method
      "  do h(p as byte, p as integer);\n"  // two parameters of one name
      "  do tick() as interrupt 3;\n"
      "}\n"
      "Cls:f() { f(1); }\n"  // f is the result variable here
      "Cls:g(g as byte) { }\n"
      "Cls:h(p as byte, p as integer) { }\n"
      "Cls:tick() { tick = 1; }\n");  // an interrupt handler has no result variable
  EXPECT_EQ(run.entries, (Entries{
                             At(3, ";", "METHOD:  Method already exists."),
                             At(9, ")", "CALL:  Attempt to call non-method symbol."),
                             At(10, "{", "METHOD:  Error declaring parameter-type information."),
                             At(11, "{", "METHOD:  Error declaring parameter-type information."),
                             At(12, "=", "Expression value: Invalid Identifier in expression."),
                             At(12, ";", "ASSIGN: Requires a valid left-hand side."),
                         }));
  EXPECT_EQ(Shape(run.Body("Cls:h")), "Var");  // the parameter before the failure stays
  EXPECT_EQ(run.Body("Cls:tick").frameSize, 0);
}

// The interrupt number selects one of 13 vectors in the image header, and the return
// instruction pops the parameters with a one-byte count: both are refused beyond that.
TEST_F(CompilerTest, PrototypesTheTargetCannotHoldAreRefused) {
  Compiled run = Compile(
      "def Cls {\n"
      "  do last() as interrupt 12;\n"
      "  do past() as interrupt 13;\n"
      "  do full(a as fuzzy[51]);\n"
      "  do over(a as fuzzy[51], b as byte);\n"
      "}\n"
      "Cls:past() { }\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(3, "13", "Interrupt: 'past' requires an interrupt number from 0 to 12."),
                At(5, ";", "METHOD:  Parameters of 'over' exceed 255 bytes."),
                At(7, "past", "'past' : undeclared identifier."),
                At(7, "(", "METHOD:  Interal error, missing symbol."),
                At(7, ")", "METHOD:  Error; missing method name."),
                At(7, "{", "METHOD:  Error; missing method."),
            }));
  EXPECT_NE(Live(run.compiler(), "last"), nullptr);
  EXPECT_NE(Live(run.compiler(), "full"), nullptr);
}

// A definition that matches no prototype: the body is still checked, then dropped, and the
// scopes stay paired so the next method is unaffected.
TEST_F(CompilerTest, UnmatchedDefinitionBodyIsCheckedAndDropped) {
  Compiled run = Compile(
      "def Cls { do go(a as byte); }\n"
      "Cls:go(x as integer) {\n"
      "  y = a;\n"
      "  { q as byte; }\n"
      "}\n"
      "start() { z as byte; }\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(2, ")", "METHOD:  Method definition does not match any known method prototype."),
                At(3, "=", "'y' : undeclared identifier."),
                At(3, "=", "Expression value:  Error in symbolic value. "),
                At(3, ";", "ASSIGN: Requires a valid left-hand side."),
            }));
  CCompiler& compiler = run.compiler();
  EXPECT_EQ(Shape(compiler.programBlock), "Class Method");
  EXPECT_EQ(compiler.scope.currentLevel, 0);
  EXPECT_EQ(compiler.FrameDepth(), 0);
  EXPECT_TRUE(compiler.blockStack.empty());
  EXPECT_TRUE(compiler.contextStack.empty());
  EXPECT_EQ(Nth<CVarStatement>(run.Body("start"), 0)->symbol->frameDepth, 1);
}

// Storage that cannot be placed fails the build at the declaration; no address is made up.
TEST_F(CompilerTest, StorageThatDoesNotFitIsReported) {
  Compiled run = Compile(
      "def Cls { x as byte; m as memory 0x80; }\n"
      "range r(1, 2, 3);\n"
      "rule R { r as 1; }\n",
      Placement{0, 2, 2});  // both regions external, but no external RAM
  EXPECT_EQ(run.entries, (Entries{
                             At(1, "Cls", "DEFINE:  No data memory left for class 'Cls'."),
                             At(1, ";", "VARIABLE:  No data memory left for 'x'."),
                             At(2, ")", "RANGE:  No table memory left for 'r'."),
                             At(3, "{", "RULE:  No table memory left for 'R'."),
                             At(3, ";", "RULE:  No table memory left for the entry 'r'."),
                         }));
  EXPECT_EQ(Live(run.compiler(), "m")->statement->address, 0x80);  // memory-mapped: no storage

  // In one region the tables follow the data, so data declared after a table cannot go in.
  const char* late = "range r(1, 2, 3);\ndef C { x as byte; }\n";
  EXPECT_EQ(Compile(late).entries,
            (Entries{At(2, ";",
                        "VARIABLE:  Can not place 'x' after the range and rule tables; declare "
                        "global data first.")}));
  Compiled apart = Compile(late, Placement{4, 1, 2});  // data in external RAM
  EXPECT_EQ(apart.entries, Entries());
  EXPECT_EQ(Live(apart.compiler(), "x")->statement->address, 0x260);
}

// The frame operand of the interpreter is one byte.
TEST_F(CompilerTest, FramesOverOneByteAreReportedOnce) {
  Compiled run = Compile(
      "start() {\n"
      "  a as byte[200];\n"
      "  b as byte[55];\n"  // 255 bytes: still fits
      "  c as byte;\n"
      "  d as byte;\n"
      "  { e as integer[200]; }\n"  // a nested block has a frame of its own
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(4, ";", "VARIABLE:  Locals of this block exceed 255 bytes at 'c'."),
                             At(6, ";", "VARIABLE:  Locals of this block exceed 255 bytes at 'e'."),
                         }));
}

}  // namespace
