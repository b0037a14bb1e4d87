// Statements and expressions as the builders make them: checks, messages and the blocks they land in.
#include "compiler_fixture.h"

namespace {

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
      "}\n");
  EXPECT_EQ(run.entries,
            (Entries{
                At(5, ";", "ASSIGN: Requires a valid left-hand side."),
                At(6, ";", "ASSIGN:  Right-hand side must be type compatible with Left-hand side."),
                At(7, ";", "ASSIGN:  Left-hand side must be a valid variable."),
            }));
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Assign Assign");
  const CExpression& narrowed = *Nth<CAssignStatement>(body, 1)->value;
  EXPECT_EQ(narrowed.op, EXPR_CONST);
  EXPECT_EQ(narrowed.value.kind, TYPE_BYTE);
  EXPECT_EQ(narrowed.value.AsByte(), 44);
  EXPECT_EQ(Nth<CAssignStatement>(body, 2)->kind, TYPE_BYTE);
  EXPECT_EQ(Nth<CAssignStatement>(body, 2)->value->kind, TYPE_REAL);  // converted by the code
}

TEST_F(CompilerTest, LiteralsTakeTheirKinds) {
  Compiled run = Compile("start() { f as fuzzy; f = 10@255; f = 10@0; }\n");
  ASSERT_EQ(run.entries, Entries());
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Assign Assign");
  EXPECT_EQ(Nth<CAssignStatement>(body, 1)->value->value.AsReal(), 10.0f);
  EXPECT_EQ(Nth<CAssignStatement>(body, 1)->value->value.weight, 1.0f);
  EXPECT_EQ(Nth<CAssignStatement>(body, 2)->value->value.weight, 0.00390625f);

  CCompiler& compiler = run.compiler();
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, 200)->kind, TYPE_BYTE);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, 256)->kind, TYPE_INTEGER);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_INTEGER, -1)->kind, TYPE_INTEGER);
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_BYTE, 0x141)->value.AsByte(), 0x41);  // a character
  EXPECT_EQ(compiler.NewIntegerValue(TYPE_REAL, 1), nullptr);
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
  const std::string noMatch = "CALL:  Call parameters do not match any known method prototype.";
  EXPECT_EQ(run.entries, (Entries{
                             At(12, ")", "CALL:  Attempt to call non-method symbol."),
                             At(13, "r", "'r' : undeclared identifier."),
                             At(13, ")", "Expression value:  Error in symbolic value. "),
                             At(13, ")", "PARAM:  Invalid call parameter."),
                             At(13, ")", noMatch),
                             At(14, ")", noMatch),
                         }));
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Call Call Assign");
  EXPECT_EQ(Nth<CCallStatement>(body, 1)->prototype->parameters[0]->type.kind, TYPE_INTEGER);
  EXPECT_EQ(Nth<CCallStatement>(body, 2)->prototype->parameters[0]->type.kind, TYPE_REAL);
  const CExpression& value = *Nth<CAssignStatement>(body, 3)->value;
  ASSERT_EQ(value.op, EXPR_CALL);
  EXPECT_EQ(value.kind, TYPE_BYTE);
  auto* call = dynamic_cast<CCallStatement*>(value.value.statement);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call, value.OwnedStatement());
  EXPECT_EQ(call->prototype->parameters.size(), 2u);
  EXPECT_EQ(Shape(*call->arguments), "Param Param");
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
  EXPECT_EQ(Shape(run.Body("start")), "Var Var Var Clear Clear");
}

TEST_F(CompilerTest, ArrayTypesAndElements) {
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
  const std::string integer = "Array:  Subscript must evaluate to an integer value.";
  EXPECT_EQ(run.entries,
            (Entries{
                At(4, "]", integer),
                At(6, "]", "Array:  Subscript does not evaluate to a constant. "),
                At(7, "]", integer),
                At(10, "]", "Index operator:  Array must be assocatiated with a variable."),
                At(10, ";", "ASSIGN: Requires a valid left-hand side."),
                At(11, "]", "Index operator:  Attempting to index a non-array variable."),
                At(11, ";", "ASSIGN: Requires a valid left-hand side."),
            }));
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Var Var Var Var Assign Assign");
  EXPECT_EQ(Nth<CVarStatement>(body, 0)->symbol->type.count, 8);
  EXPECT_EQ(Nth<CVarStatement>(body, 0)->Size(), 8);
  EXPECT_EQ(Nth<CVarStatement>(body, 1)->symbol->type.kind, TYPE_VOID);  // its type was refused
  EXPECT_EQ(Nth<CVarStatement>(body, 2)->symbol->type.count, 4);
  EXPECT_EQ(Nth<CVarStatement>(body, 2)->address, 8);
  EXPECT_EQ(Nth<CAssignStatement>(body, 5)->target->op, EXPR_INDEX);
  EXPECT_EQ(Nth<CAssignStatement>(body, 5)->kind, TYPE_BYTE);

  // A count whose bytes a 32-bit size cannot hold is refused before any size is computed.
  CCompiler& compiler = run.compiler();
  CType fuzzy;
  fuzzy.kind = TYPE_FUZZY;
  EXPECT_EQ(compiler.NewArrayType(&fuzzy, compiler.NewIntegerValue(TYPE_INTEGER, 0x7FFFFFFF)),
            nullptr);
  EXPECT_EQ(compiler.errorText, "Array:  Subscript is too large.");
}

TEST_F(CompilerTest, OutputAndWeight) {
  Compiled run = Compile(
      "start() {\n"
      "  b as byte;\n"
      "  out \"Hi\";\n"
      "  outch b + 1;\n"
      "  out 2.5;\n"
      "  out nothing;\n"
      "  weight(b);\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(6, "nothing", "'nothing' : undeclared identifier."),
                             At(6, ";", "Expression value:  Error in symbolic value. "),
                             At(6, ";", "ASSIGN:  Requires a valid expression."),
                         }));
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Out Out Out With");
  EXPECT_EQ(Nth<COutStatement>(body, 1)->text, "Hi");
  EXPECT_EQ(Nth<COutStatement>(body, 1)->expression, nullptr);
  EXPECT_EQ(Nth<COutStatement>(body, 2)->asChar, 1);
  EXPECT_FALSE(Nth<COutStatement>(body, 2)->text.has_value());
  EXPECT_EQ(Nth<COutStatement>(body, 3)->asChar, 0);
}

// An IF is appended to its block; each ELSEIF hangs off the clause before it; the ELSE body
// fills the else-block of the last clause.
TEST_F(CompilerTest, DecisionChainsAndTheirBlocks) {
  Compiled run = Compile(
      "start() {\n"
      "  b as byte;\n"
      "  if (b == 1) { b = 1; } elseif (b == 2) { b = 2; } elseif (b == 3) { b = 3; }"
      " else { b = 4; }\n"
      "  if (b) { b = 5; } else { b = 6; }\n"
      "  if (b) { b = 7; }\n"
      "  if (b) { } elseif (b) { b = 8; }\n"
      "  b = 9;\n"
      "}\n");
  ASSERT_EQ(run.entries, Entries());
  // The constants the assignments of a block store, which tell the statements apart.
  auto stores = [](const CBlock& block) {
    std::vector<int> values;
    for (const auto& statement : block.statements) {
      auto* assign = dynamic_cast<CAssignStatement*>(statement);
      if (assign != nullptr) values.push_back(assign->value->value.AsByte());
    }
    return values;
  };
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Decide Decide Decide Decide Assign");
  CDecideStatement* chain = Nth<CDecideStatement>(body, 1);
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

  CDecideStatement* plain = Nth<CDecideStatement>(body, 2);
  EXPECT_EQ(stores(plain->thenBlock), std::vector<int>{5});
  EXPECT_EQ(stores(plain->elseBlock), std::vector<int>{6});
  EXPECT_EQ(plain->elseIf, nullptr);
  EXPECT_TRUE(Nth<CDecideStatement>(body, 3)->elseBlock.IsEmpty());
  ASSERT_NE(Nth<CDecideStatement>(body, 4)->elseIf, nullptr);
  EXPECT_EQ(stores(Nth<CDecideStatement>(body, 4)->elseIf->thenBlock), std::vector<int>{8});
  EXPECT_EQ(stores(body), std::vector<int>{9});
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
  ASSERT_EQ(run.entries, Entries());
  CBlock& body = run.Body("start");
  ASSERT_EQ(Shape(body), "Var Loop");
  EXPECT_EQ(body.frameSize, 1);
  CLoopStatement* loop = Nth<CLoopStatement>(body, 1);
  EXPECT_EQ(loop->condition->op, EXPR_LT);
  ASSERT_EQ(Shape(loop->body), "Var Var Var Block");
  EXPECT_EQ(loop->body.frameSize, 8);  // 1 + 2 + 5
  EXPECT_EQ(Nth<CVarStatement>(loop->body, 2)->address, 3);
  EXPECT_EQ(Nth<CVarStatement>(loop->body, 2)->symbol->frameDepth, 2);
  CBlock& nested = Nth<CBlockStatement>(loop->body, 3)->block;
  ASSERT_EQ(Shape(nested), "Var Assign");
  EXPECT_EQ(nested.frameSize, 3);
  EXPECT_EQ(Nth<CVarStatement>(nested, 0)->symbol->frameDepth, 3);
}

// A condition that failed leaves no loop; the builder has no message of its own, so the
// condition's message is reported once more.
TEST_F(CompilerTest, FailedConditionsRepeatTheirMessage) {
  Compiled run = Compile("start() {\n  while (nothing) { }\n}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(2, "nothing", "'nothing' : undeclared identifier."),
                             At(2, ")", "Expression value:  Error in symbolic value. "),
                             At(2, "{", "Expression value:  Error in symbolic value. "),
                         }));
  EXPECT_EQ(Shape(run.Body("start")), "");
}

// Checking and folding failures of expressions are reported, and so is the follow-on failure
// of the statement that received nothing.
TEST_F(CompilerTest, ExpressionMessagesReachTheLog) {
  Compiled run = Compile(
      "range warm(1, 2, 3);\n"
      "start() {\n"
      "  b as byte; x as byte;\n"
      "  x = -b;\n"
      "  x = (b is warm) + 300;\n"
      "  x = (b is warm) + 1;\n"
      "  x = start[1];\n"  // a declared name that is no variable: only the index node reports
      "  start[1] = x;\n"
      "}\n");
  EXPECT_EQ(run.entries, (Entries{
                             At(4, ";", "Error: Signed operation on Unsigned data type."),
                             At(4, ";", "ASSIGN:  Requires a valid expression."),
                             At(5, ";", "Binary operator: Types are not compatible."),
                             At(5, ";", "ASSIGN:  Requires a valid expression."),
                             At(7, "]", "Binary operator:  Requires two valid operands."),
                             At(7, ";", "ASSIGN:  Requires a valid expression."),
                             At(8, "]", "Binary operator:  Requires two valid operands."),
                             At(8, ";", "ASSIGN: Requires a valid left-hand side."),
                         }));
}

}  // namespace
