// Declarations: symbols with their owners, levels and storage; the messages of each declaration.
#include "compiler_fixture.h"

namespace {

using Entries = std::vector<std::string>;

// The class Motor with a method go: levels, owners, frame offsets and the frame size.
TEST_F(CompilerTest, MotorExampleGivesLevelsOwnersAndFrame) {
  Compiled run = Compile(
      "define Motor { speed as byte; do go(a as byte) as integer; }\n"
      "Motor:go(a as byte) { go = a * 2; }\n"
      "start() { Motor:go(3); }\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();

  auto* motor = dynamic_cast<CClassSymbol*>(Live(compiler, "Motor"));
  ASSERT_NE(motor, nullptr);
  EXPECT_EQ(motor->level, 0);
  EXPECT_EQ(motor->owner, nullptr);

  auto* speed = dynamic_cast<CVarSymbol*>(Live(compiler, "speed"));
  ASSERT_NE(speed, nullptr);
  EXPECT_EQ(speed->owner, motor);
  EXPECT_EQ(speed->level, 0);
  EXPECT_EQ(speed->frameDepth, 0);
  ASSERT_NE(speed->statement, nullptr);
  EXPECT_EQ(speed->statement->address, 0x7E);  // the first byte of global data
  EXPECT_EQ(motor->statement->address, 0x7E);  // the class starts where its members follow

  auto* go = dynamic_cast<CProtoSymbol*>(Live(compiler, "go"));
  ASSERT_NE(go, nullptr);
  EXPECT_EQ(go->owner, motor);
  EXPECT_EQ(go->level, 0);
  EXPECT_EQ(go->returnType.kind, TYPE_INTEGER);
  ASSERT_EQ(go->parameters.size(), 1u);
  EXPECT_EQ(go->parameters[0]->level, -1);
  EXPECT_EQ(go->parameters[0]->QualifiedName(), "Motor:go:a");
  EXPECT_EQ(go->parameterBytes, 1);

  CMethodStatement* body = Method(compiler, "Motor:go");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(go->statement, body);
  EXPECT_EQ(body->body.frameSize, 2);
  auto* result = StatementAt<CVarStatement>(body->body, 0);
  auto* parameter = StatementAt<CVarStatement>(body->body, 1);
  ASSERT_NE(result, nullptr);
  ASSERT_NE(parameter, nullptr);
  EXPECT_EQ(result->address, 0);
  EXPECT_EQ(parameter->address, -6);
  EXPECT_EQ(result->symbol->frameDepth, 1);
  EXPECT_EQ(parameter->symbol->frameDepth, 1);
  // Left with the body's scope, they print under the class.
  EXPECT_EQ(result->symbol->QualifiedName(), "Motor:go");
  EXPECT_EQ(parameter->symbol->QualifiedName(), "Motor:a");
  EXPECT_EQ(result->symbol->level, 1);
  EXPECT_EQ(Left(compiler, "go"), std::vector<CSymbol*>{result->symbol});
  EXPECT_EQ(Left(compiler, "a"), std::vector<CSymbol*>{parameter->symbol});
  // go = a * 2 assigns to the result variable.
  auto* assign = StatementAt<CAssignStatement>(body->body, 2);
  ASSERT_NE(assign, nullptr);
  EXPECT_EQ(assign->target->value.symbol, result->symbol);
  EXPECT_EQ(assign->kind, TYPE_INTEGER);

  CMethodStatement* start = Method(compiler, "start");
  ASSERT_NE(start, nullptr);
  auto* call = StatementAt<CCallStatement>(start->body, 0);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->prototype, go);
  EXPECT_EQ(call->arguments->statements.size(), 1u);
}

}  // namespace

namespace {

using Entries = std::vector<std::string>;

TEST_F(CompilerTest, RedefinitionIsSameLevelSameOwnerOnly) {
  Compiled run = Compile(
      "def C {\n"
      "  x as byte;\n"
      "  x as integer;\n"  // same owner, same level
      "  do f();\n"
      "}\n"
      "const K = 1;\n"
      "def K { }\n"                       // a class named like an ownerless constant
      "def D { x as real; }\n"            // another owner: no redefinition
      "C:f() { x as fuzzy; x = 1; }\n");  // an inner scope hides the member
  EXPECT_EQ(run.entries, (Entries{
                             At(3, ";", "'x' : name redefinition."),
                             At(7, "K", "DEFINE:  'K' name redefinition."),
                             At(7, "K", "CLASS:  Error; missing method name."),
                         }));
  CCompiler& compiler = run.compiler();
  CMethodStatement* f = Method(compiler, "C:f");
  ASSERT_NE(f, nullptr);
  auto* local = StatementAt<CVarStatement>(f->body, 0);
  auto* assign = StatementAt<CAssignStatement>(f->body, 1);
  ASSERT_NE(local, nullptr);
  ASSERT_NE(assign, nullptr);
  EXPECT_EQ(local->symbol->type.kind, TYPE_FUZZY);
  EXPECT_EQ(assign->target->value.symbol, local->symbol);
  EXPECT_EQ(assign->kind, TYPE_FUZZY);
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
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->value.kind, TYPE_BYTE);
  EXPECT_EQ(d->value.AsByte(), 44);
  auto* e = dynamic_cast<CConstSymbol*>(Live(compiler, "e"));
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->value.kind, TYPE_FUZZY);
  EXPECT_EQ(e->value.AsReal(), 10.0f);
  EXPECT_EQ(e->value.weight, 1.0f);
  // A constant used in an expression is its value, converted to the target's kind.
  CMethodStatement* start = Method(compiler, "start");
  ASSERT_NE(start, nullptr);
  auto* assign = StatementAt<CAssignStatement>(start->body, 1);
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
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->center, 1);
  EXPECT_EQ(r->plateau, 44);  // 300 mod 256
  EXPECT_EQ(r->edge, 2);
  auto* rule = dynamic_cast<CRuleSymbol*>(Live(compiler, "R"));
  ASSERT_NE(rule, nullptr);
  ASSERT_EQ(rule->entries.size(), 2u);
  EXPECT_EQ(rule->entries[0]->range, r);
  EXPECT_EQ(rule->entries[0]->result, 2);
  EXPECT_EQ(rule->entries[0]->owner, rule);
  EXPECT_EQ(rule->entries[1]->result, 2);  // 258 as a Byte
  // Data first; tables follow it in the shared region: three range bytes, then the rule's
  // count byte and four bytes for each of its four entries, the failed ones too.
  EXPECT_EQ(Live(compiler, "v")->statement->address, 0x7E);
  EXPECT_EQ(r->statement->address, 0x7F);
  EXPECT_EQ(rule->statement->address, 0x82);
  EXPECT_EQ(compiler.base + compiler.codeCursor, 0x82 + 1 + 4 * 4);
}

// Within one class, go(Byte) and go(Integer) coexist; a definition matches its own overload
// exactly, and its body sees that overload's parameters.
TEST_F(CompilerTest, DefinitionsMatchTheirOverloadExactly) {
  Compiled run = Compile(
      "def Cls {\n"
      "  do go(x as integer);\n"
      "  do go(x as byte);\n"
      "}\n"
      "Cls:go(x as integer) { }\n"
      "Cls:go(y as byte) { }\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CCompiler& compiler = run.compiler();
  ASSERT_EQ(compiler.programBlock.statements.size(), 3u);
  auto* integerBody = StatementAt<CMethodStatement>(compiler.programBlock, 1);
  auto* byteBody = StatementAt<CMethodStatement>(compiler.programBlock, 2);
  ASSERT_NE(integerBody, nullptr);
  ASSERT_NE(byteBody, nullptr);
  EXPECT_EQ(integerBody->prototype->parameters[0]->type.kind, TYPE_INTEGER);
  EXPECT_EQ(byteBody->prototype->parameters[0]->type.kind, TYPE_BYTE);
  EXPECT_EQ(integerBody->prototype->statement, integerBody);
  // The parameter visible in each body carries the matched prototype's name and type.
  auto* integerParameter = StatementAt<CVarStatement>(integerBody->body, 0);
  auto* byteParameter = StatementAt<CVarStatement>(byteBody->body, 0);
  ASSERT_NE(integerParameter, nullptr);
  ASSERT_NE(byteParameter, nullptr);
  EXPECT_EQ(integerParameter->symbol->type.kind, TYPE_INTEGER);
  EXPECT_EQ(integerParameter->address, -7);
  EXPECT_EQ(integerBody->prototype->parameterBytes, 2);
  EXPECT_EQ(byteParameter->symbol->name, "x");
  EXPECT_EQ(byteParameter->address, -6);
}

TEST_F(CompilerTest, FrameOffsetsOfResultAndParameters) {
  Compiled run = Compile(
      "def M { do f(a as byte, b as integer, c as fuzzy) as real; }\n"
      "M:f(a as byte, b as integer, c as fuzzy) { l as byte; { m as integer; } }\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CMethodStatement* f = Method(run.compiler(), "M:f");
  ASSERT_NE(f, nullptr);
  std::vector<int> addresses;
  for (size_t i = 0; i < 5; ++i) {
    auto* variable = StatementAt<CVarStatement>(f->body, i);
    ASSERT_NE(variable, nullptr);
    addresses.push_back(variable->address);
    EXPECT_EQ(variable->symbol->frameDepth, 1);
  }
  // Result first in the frame; parameters below the base, the first nearest; then the local.
  EXPECT_EQ(addresses, (std::vector<int>{0, -6, -8, -13, 3}));
  EXPECT_EQ(f->prototype->parameterBytes, 8);
  EXPECT_EQ(f->body.frameSize, 4);
  auto* nested = StatementAt<CBlockStatement>(f->body, 5);
  ASSERT_NE(nested, nullptr);
  auto* m = StatementAt<CVarStatement>(nested->block, 0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->address, 0);
  EXPECT_EQ(m->symbol->frameDepth, 2);
  EXPECT_EQ(nested->block.frameSize, 2);
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
  CCompiler& compiler = run.compiler();
  // The parameter declared before the failure stays declared.
  CMethodStatement* h = Method(compiler, "Cls:h");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->body.statements.size(), 1u);
  CMethodStatement* tick = Method(compiler, "Cls:tick");
  ASSERT_NE(tick, nullptr);
  EXPECT_EQ(tick->body.frameSize, 0);
  EXPECT_EQ(tick->prototype->returnType.kind, TYPE_ADDRESS);
  EXPECT_EQ(tick->prototype->returnType.ref, 3);
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
  EXPECT_EQ(Live(run.compiler(), "over"), nullptr);
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
      "start() { z as byte; z = 1; }\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(2, ")", "METHOD:  Method definition does not match any known method prototype."),
                At(3, "=", "'y' : undeclared identifier."),
                At(3, "=", "Expression value:  Error in symbolic value. "),
                At(3, ";", "ASSIGN: Requires a valid left-hand side."),
            }));
  CCompiler& compiler = run.compiler();
  EXPECT_EQ(Method(compiler, "Cls:go"), nullptr);
  ASSERT_NE(Method(compiler, "start"), nullptr);
  EXPECT_EQ(compiler.scope.currentLevel, 0);
  EXPECT_EQ(compiler.FrameDepth(), 0);
  EXPECT_TRUE(compiler.blockStack.empty());
  EXPECT_TRUE(compiler.contextStack.empty());
  auto* z = StatementAt<CVarStatement>(Method(compiler, "start")->body, 0);
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->symbol->level, 1);
  EXPECT_EQ(z->symbol->frameDepth, 1);
}

// Storage that cannot be placed fails the build at the declaration; no address is made up.
TEST_F(CompilerTest, StorageThatDoesNotFitIsReported) {
  Placement noExternalRam{0, 2, 2};  // both regions external, but no external RAM
  Compiled run = Compile(
      "def Cls { x as byte; m as memory 0x80; }\n"
      "range r(1, 2, 3);\n"
      "rule R { r as 1; }\n",
      noExternalRam);
  EXPECT_EQ(run.entries, (Entries{
                             At(1, "Cls", "DEFINE:  No data memory left for class 'Cls'."),
                             At(1, ";", "VARIABLE:  No data memory left for 'x'."),
                             At(2, ")", "RANGE:  No table memory left for 'r'."),
                             At(3, "{", "RULE:  No table memory left for 'R'."),
                             At(3, ";", "RULE:  No table memory left for the entry 'r'."),
                         }));
  // A memory-mapped member needs no storage.
  EXPECT_EQ(Live(run.compiler(), "m")->statement->address, 0x80);
}

TEST_F(CompilerTest, FramesOverOneByteAreReportedOnce) {
  Compiled run = Compile(
      "start() {\n"
      "  a as byte[200];\n"
      "  b as byte[55];\n"  // 255 bytes: still fits
      "  c as byte;\n"      // 256
      "  d as byte;\n"
      "  { e as integer[200]; }\n"  // a nested block has a frame of its own
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(4, ";", "VARIABLE:  Locals of this block exceed 255 bytes at 'c'."),
                             At(6, ";", "VARIABLE:  Locals of this block exceed 255 bytes at 'e'."),
                         }));
}

}  // namespace

namespace {

// With data and code in one region the tables follow the data, so data declared after a
// table has nowhere to go; the message says what to do about it.
TEST_F(CompilerTest, DataAfterTablesInOneRegion) {
  const char* source =
      "range r(1, 2, 3);\n"
      "def C { x as byte; }\n";
  Compiled shared = Compile(source);
  EXPECT_EQ(
      shared.entries,
      (std::vector<std::string>{At(2, ";",
                                   "VARIABLE:  Can not place 'x' after the range and rule tables; "
                                   "declare global data first.")}));
  Compiled apart = Compile(source, Placement{4, 1, 2});  // data in external RAM
  EXPECT_EQ(apart.entries, std::vector<std::string>());
  EXPECT_EQ(Live(apart.compiler(), "x")->statement->address, 0x260);
}

}  // namespace
