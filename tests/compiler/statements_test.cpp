// Statements and expressions as the builders make them: checks, messages and the blocks they land in.
#include "compiler_fixture.h"

namespace {

using Entries = std::vector<std::string>;

CMethodStatement* Start(Compiled& run) { return Method(run.compiler(), "start"); }

TEST_F(CompilerTest, AssignmentChecksItsTwoSides) {
  Compiled run = Compile(
      "range r(1, 2, 3);\n"
      "const k = 5;\n"
      "start() {\n"
      "  b as byte;\n"
      "  = 5;\n"          // no left-hand side
      "  b = r;\n"        // a range is no value
      "  k = 1;\n"        // a constant is no variable
      "  b = 300;\n"      // narrowing a constant: converted at once
      "  b = 2.5 * b;\n"  // narrowing an expression: accepted
      "  b = ;\n"
      "}\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(5, ";", "ASSIGN: Requires a valid left-hand side."),
                At(6, ";", "ASSIGN:  Right-hand side must be type compatible with Left-hand side."),
                At(7, ";", "ASSIGN:  Left-hand side must be a valid variable."),
                At(10, ";", "syntax error"),
                At(10, ";", "VARIABLE:  Bad declaration."),
            }));
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start->body.statements.size(), 3u);
  auto* narrowed = StatementAt<CAssignStatement>(start->body, 1);
  ASSERT_NE(narrowed, nullptr);
  EXPECT_EQ(narrowed->value->op, EXPR_CONST);
  EXPECT_EQ(narrowed->value->value.kind, TYPE_BYTE);
  EXPECT_EQ(narrowed->value->value.AsByte(), 44);
  auto* real = StatementAt<CAssignStatement>(start->body, 2);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(real->kind, TYPE_BYTE);
  EXPECT_EQ(real->value->value.kind, TYPE_REAL);  // converted when the code is made
}

TEST_F(CompilerTest, LiteralsTakeTheirKinds) {
  Compiled run = Compile(
      "start() {\n"
      "  i as integer; f as fuzzy; r as real;\n"
      "  i = 200; i = 256; i = 'c'; i = 0xFF; i = 0x100;\n"
      "  f = 10@255; f = 10@0; r = 1.5;\n"
      "  i = -5;\n"
      "}\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  // Each value before the assignment converted it: read the kinds the literals made.
  std::vector<std::pair<TypeKind, int>> integers;
  for (size_t i = 3; i < 8; ++i) {
    auto* assign = StatementAt<CAssignStatement>(start->body, i);
    ASSERT_NE(assign, nullptr);
    integers.emplace_back(assign->value->value.kind, assign->value->value.AsInteger());
  }
  // Every integer literal lands in an Integer variable as an Integer constant.
  EXPECT_EQ(integers, (std::vector<std::pair<TypeKind, int>>{{TYPE_INTEGER, 200},
                                                             {TYPE_INTEGER, 256},
                                                             {TYPE_INTEGER, 'c'},
                                                             {TYPE_INTEGER, 255},
                                                             {TYPE_INTEGER, 256}}));
  auto* full = StatementAt<CAssignStatement>(start->body, 8);
  auto* least = StatementAt<CAssignStatement>(start->body, 9);
  auto* negative = StatementAt<CAssignStatement>(start->body, 11);
  ASSERT_NE(full, nullptr);
  ASSERT_NE(least, nullptr);
  ASSERT_NE(negative, nullptr);
  EXPECT_EQ(full->value->value.AsReal(), 10.0f);
  EXPECT_EQ(full->value->value.weight, 1.0f);
  EXPECT_EQ(least->value->value.weight, 0.00390625f);
  EXPECT_EQ(negative->value->value.AsInteger(), -5);
}

// The kind a literal makes, before any assignment converts it.
TEST_F(CompilerTest, IntegerLiteralsFitTheirKind) {
  Compiled run = Compile("start() { }\n");
  CCompiler& compiler = run.compiler();
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, 200)->kind, TYPE_BYTE);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, 256)->kind, TYPE_INTEGER);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, -1)->kind, TYPE_INTEGER);
  std::unique_ptr<CExpression> character = compiler.NewIntegerValue(TYPE_BYTE, 0x141);
  EXPECT_EQ(character->kind, TYPE_BYTE);
  EXPECT_EQ(character->value.AsByte(), 0x41);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_REAL, 1), nullptr);
  EXPECT_EQ(compiler.errorText, "Expression value: Unsupported type.");
  EXPECT_EQ(compiler.NewRealValue(TYPE_INTEGER, 1.0f), nullptr);
  EXPECT_EQ(compiler.errorText, "Expression value: Unsupported type.");
}

TEST_F(CompilerTest, CallsMatchExactlyThenLoosely) {
  Compiled run = Compile(
      "def M {\n"
      "  do f(a as integer) as byte;\n"
      "  do f(a as real) as byte;\n"
      "  do f(a as integer, b as byte) as byte;\n"
      "  v as byte;\n"
      "}\n"
      "start() {\n"
      "  x as byte;\n"
      "  M:f(300);\n"       // Integer: exact
      "  M:f(1);\n"         // Byte: no exact match; the newest convertible one is f(Real)
      "  x = M:f(1, 2);\n"  // a call as a value stands in no block
      "  M:v(1);\n"
      "  M:f(r);\n"
      "  M:f(1, 2, 3);\n"
      "}\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(12, ")", "CALL:  Attempt to call non-method symbol."),
                At(13, "r", "'r' : undeclared identifier."),
                At(13, ")", "Expression value:  Error in symbolic value. "),
                At(13, ")", "PARAM:  Invalid call parameter."),
                At(13, ")", "CALL:  Call parameters do not match any known method prototype."),
                At(14, ")", "CALL:  Call parameters do not match any known method prototype."),
            }));
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start->body.statements.size(), 4u);
  auto* exact = StatementAt<CCallStatement>(start->body, 1);
  auto* loose = StatementAt<CCallStatement>(start->body, 2);
  auto* assign = StatementAt<CAssignStatement>(start->body, 3);
  ASSERT_NE(exact, nullptr);
  ASSERT_NE(loose, nullptr);
  ASSERT_NE(assign, nullptr);
  EXPECT_EQ(exact->prototype->parameters[0]->type.kind, TYPE_INTEGER);
  EXPECT_EQ(loose->prototype->parameters[0]->type.kind, TYPE_REAL);
  ASSERT_EQ(assign->value->op, EXPR_CALL);
  auto* value = dynamic_cast<CCallStatement*>(assign->value->value.statement);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->prototype->parameters.size(), 2u);
  EXPECT_EQ(value->arguments->statements.size(), 2u);
  EXPECT_EQ(assign->value->kind, TYPE_BYTE);
}

TEST_F(CompilerTest, ClearTakesFuzzyVariablesOnly) {
  Compiled run = Compile(
      "range r(1, 2, 3);\n"
      "start() {\n"
      "  b as byte; f as fuzzy; g as fuzzy[4];\n"
      "  clear(b);\n"
      "  clear(r);\n"
      "  clear(nothing);\n"
      "  clear(f);\n"
      "  clear(g);\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(4, ")", "Clear:  requires a Fuzzy variable."),
                             At(5, ")", "Clear:  can only clear variables."),
                             At(6, ")", "'nothing' : undeclared identifier."),
                             At(6, ")", "Clear:  can only clear variables."),
                         }));
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  EXPECT_NE(StatementAt<CClearStatement>(start->body, 3), nullptr);
  EXPECT_NE(StatementAt<CClearStatement>(start->body, 4), nullptr);
}

TEST_F(CompilerTest, ArrayTypes) {
  Compiled run = Compile(
      "const n = 3;\n"
      "start() {\n"
      "  a as byte[4][8];\n"  // one dimension: the last count wins
      "  b as byte[2.5];\n"
      "  c as integer[n + 1];\n"
      "  d as byte[b];\n"
      "  e as real[1@1];\n"
      "  a[1] = 2;\n"
      "  c[a[0]] = a[1] + 1;\n"
      "  n[1] = 2;\n"
      "  b[1] = 2;\n"
      "}\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(4, "]", "Array:  Subscript must evaluate to an integer value."),
                At(6, "]", "Array:  Subscript does not evaluate to a constant. "),
                At(7, "]", "Array:  Subscript must evaluate to an integer value."),
                At(10, "]", "Index operator:  Array must be assocatiated with a variable."),
                At(10, ";", "ASSIGN: Requires a valid left-hand side."),
                At(11, "]", "Index operator:  Attempting to index a non-array variable."),
                At(11, ";", "ASSIGN: Requires a valid left-hand side."),
            }));
  CCompiler& compiler = run.compiler();
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  auto* a = StatementAt<CVarStatement>(start->body, 0);
  auto* b = StatementAt<CVarStatement>(start->body, 1);
  auto* c = StatementAt<CVarStatement>(start->body, 2);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(a->symbol->type.kind, TYPE_BYTE);
  EXPECT_EQ(a->symbol->type.count, 8);
  EXPECT_EQ(a->Size(), 8);
  EXPECT_EQ(b->symbol->type.kind, TYPE_VOID);  // declared without the refused type
  EXPECT_EQ(c->symbol->type.count, 4);
  EXPECT_EQ(c->address, 8);
  auto* element = StatementAt<CAssignStatement>(start->body, 5);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->target->op, EXPR_INDEX);
  EXPECT_EQ(element->kind, TYPE_BYTE);
  // A count whose bytes could never be addressed is refused before any size is computed.
  CType fuzzy;
  fuzzy.kind = TYPE_FUZZY;
  std::unique_ptr<CExpression> huge = compiler.NewIntegerValue(TYPE_INTEGER, 0x7FFFFFFF);
  EXPECT_EQ(compiler.NewArrayType(&fuzzy, huge.get()), nullptr);
  EXPECT_EQ(compiler.errorText, "Array:  Subscript is too large.");
}

TEST_F(CompilerTest, OutputAndWeight) {
  Compiled run = Compile(
      "start() {\n"
      "  b as byte;\n"
      "  out \"Hi\";\n"
      "  out \"\";\n"
      "  outch b + 1;\n"
      "  out 2.5;\n"
      "  out nothing;\n"
      "  weight(b);\n"
      "  weight(nothing);\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(7, "nothing", "'nothing' : undeclared identifier."),
                             At(7, ";", "Expression value:  Error in symbolic value. "),
                             At(7, ";", "ASSIGN:  Requires a valid expression."),
                             At(9, "nothing", "'nothing' : undeclared identifier."),
                             At(9, ")", "Expression value:  Error in symbolic value. "),
                             At(9, ")", "Expression value:  Error in symbolic value. "),
                         }));
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start->body.statements.size(), 6u);
  auto* text = StatementAt<COutStatement>(start->body, 1);
  auto* empty = StatementAt<COutStatement>(start->body, 2);
  auto* character = StatementAt<COutStatement>(start->body, 3);
  auto* real = StatementAt<COutStatement>(start->body, 4);
  ASSERT_NE(text, nullptr);
  ASSERT_NE(empty, nullptr);
  ASSERT_NE(character, nullptr);
  ASSERT_NE(real, nullptr);
  EXPECT_EQ(text->text, "Hi");
  EXPECT_EQ(text->expression, nullptr);
  EXPECT_EQ(empty->text, "");
  EXPECT_EQ(character->asChar, 1);
  EXPECT_FALSE(character->text.has_value());
  EXPECT_EQ(real->asChar, 0);
  EXPECT_EQ(real->expression->kind, TYPE_REAL);
  EXPECT_NE(StatementAt<CWithStatement>(start->body, 5), nullptr);
}

// An IF is appended to its block; each ELSEIF hangs off the clause before it; the ELSE body
// fills the else-block of the last clause.
TEST_F(CompilerTest, DecisionChainsAndTheirBlocks) {
  Compiled run = Compile(
      "start() {\n"
      "  b as byte;\n"
      "  if (b == 1) { b = 1; } elseif (b == 2) { b = 2; } elseif (b == 3) { b = 3; } else { b = "
      "4; }\n"
      "  if (b) { b = 5; } else { b = 6; }\n"
      "  if (b) { b = 7; }\n"
      "  if (b) { } elseif (b) { b = 8; }\n"
      "  b = 9;\n"
      "}\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  ASSERT_EQ(start->body.statements.size(), 6u);
  // The constant each assignment stores identifies it.
  auto stores = [](const CBlock& block) {
    std::vector<int> values;
    for (const auto& statement : block.statements) {
      auto* assign = dynamic_cast<CAssignStatement*>(statement.get());
      values.push_back(assign == nullptr ? -1 : assign->value->value.AsByte());
    }
    return values;
  };
  auto* chain = StatementAt<CDecideStatement>(start->body, 1);
  ASSERT_NE(chain, nullptr);
  EXPECT_EQ(stores(chain->thenBlock), std::vector<int>{1});
  EXPECT_TRUE(chain->elseBlock.IsEmpty());
  CDecideStatement* second = chain->elseIf;
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(stores(second->thenBlock), std::vector<int>{2});
  EXPECT_TRUE(second->elseBlock.IsEmpty());
  CDecideStatement* third = second->elseIf;
  ASSERT_NE(third, nullptr);
  EXPECT_EQ(stores(third->thenBlock), std::vector<int>{3});
  EXPECT_EQ(stores(third->elseBlock), std::vector<int>{4});
  EXPECT_EQ(third->elseIf, nullptr);

  auto* plain = StatementAt<CDecideStatement>(start->body, 2);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(stores(plain->thenBlock), std::vector<int>{5});
  EXPECT_EQ(stores(plain->elseBlock), std::vector<int>{6});
  EXPECT_EQ(plain->elseIf, nullptr);
  auto* alone = StatementAt<CDecideStatement>(start->body, 3);
  ASSERT_NE(alone, nullptr);
  EXPECT_TRUE(alone->elseBlock.IsEmpty());
  auto* noElse = StatementAt<CDecideStatement>(start->body, 4);
  ASSERT_NE(noElse, nullptr);
  ASSERT_NE(noElse->elseIf, nullptr);
  EXPECT_EQ(stores(noElse->elseIf->thenBlock), std::vector<int>{8});
  EXPECT_EQ(stores(start->body), (std::vector<int>{-1, -1, -1, -1, -1, 9}));
  // Every clause opened and closed its scopes in pairs.
  EXPECT_EQ(run.compiler().scope.currentLevel, 0);
  EXPECT_TRUE(run.compiler().blockStack.empty());
}

TEST_F(CompilerTest, LoopsAndNestedBlocksNestFrames) {
  Compiled run = Compile(
      "start() {\n"
      "  a as byte;\n"
      "  while (a < 10) {\n"
      "    b as byte; c as integer; d as fuzzy;\n"
      "    { e as real; a = a + 1; }\n"
      "  }\n"
      "}\n");
  ASSERT_EQ(run.result, 0);
  EXPECT_EQ(run.entries, Entries());
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(start->body.frameSize, 1);
  auto* loop = StatementAt<CLoopStatement>(start->body, 1);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->condition->op, EXPR_LT);
  EXPECT_EQ(loop->body.frameSize, 8);  // 1 + 2 + 5
  std::vector<int> offsets;
  for (size_t i = 0; i < 3; ++i)
    offsets.push_back(StatementAt<CVarStatement>(loop->body, i)->address);
  EXPECT_EQ(offsets, (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(StatementAt<CVarStatement>(loop->body, 0)->symbol->frameDepth, 2);
  auto* nested = StatementAt<CBlockStatement>(loop->body, 3);
  ASSERT_NE(nested, nullptr);
  EXPECT_EQ(nested->block.frameSize, 3);
  EXPECT_EQ(StatementAt<CVarStatement>(nested->block, 0)->symbol->frameDepth, 3);
  EXPECT_NE(StatementAt<CAssignStatement>(nested->block, 1), nullptr);
}

// A condition that failed leaves no loop or decision; the builder has no message of its own,
// so the condition's message is reported once more.
TEST_F(CompilerTest, FailedConditionsRepeatTheirMessage) {
  Compiled run = Compile(
      "start() {\n"
      "  while (nothing) { }\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(2, "nothing", "'nothing' : undeclared identifier."),
                             At(2, ")", "Expression value:  Error in symbolic value. "),
                             At(2, "{", "Expression value:  Error in symbolic value. "),
                         }));
  CMethodStatement* start = Start(run);
  ASSERT_NE(start, nullptr);
  EXPECT_TRUE(start->body.IsEmpty());
}

TEST_F(CompilerTest, ExpressionMessagesReachTheLog) {
  Compiled run = Compile(
      "range warm(1, 2, 3);\n"
      "start() {\n"
      "  b as byte; r as real; x as byte;\n"
      "  x = -b;\n"
      "  x = 7 % 0;\n"
      "  r = r % 2.0;\n"
      "  x = (b is warm) + 300;\n"
      "  x = (b is warm) + 1;\n"
      "  x = b is 3;\n"
      "  x = warm is warm;\n"
      "  x = not 2.5;\n"
      "}\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(4, ";", "Error: Signed operation on Unsigned data type."),
                At(4, ";", "ASSIGN:  Requires a valid expression."),
                At(5, ";", "Binary operator:  Divide by Zero."),
                At(5, ";", "ASSIGN:  Requires a valid expression."),
                At(6, ";", "Binary operator:  Can not take the modulo of Real values."),
                At(6, ";", "ASSIGN:  Requires a valid expression."),
                At(7, ";", "Binary operator: Types are not compatible."),
                At(7, ";", "ASSIGN:  Requires a valid expression."),
                At(9, ";", "Fuzzy operator:  Right operand must be a Range or Rule."),
                At(9, ";", "ASSIGN:  Requires a valid expression."),
                At(10, ";", "Fuzzy operator: Left operand must be compatible with Real value."),
                At(10, ";", "ASSIGN:  Requires a valid expression."),
                At(11, ";", "Error: Boolean operation on Real data type."),
                At(11, ";", "ASSIGN:  Requires a valid expression."),
            }));
}

}  // namespace
