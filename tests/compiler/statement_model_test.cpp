// The statement model on its own: ownership of blocks, statements and expressions, and a
// teardown that survives any nesting depth.
#include <gtest/gtest.h>

#include <memory>

#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"

namespace {

std::unique_ptr<CExpression> Constant(int value) {
  auto node = std::make_unique<CExpression>();
  node->MakeLeaf(CValue::FromInteger(value));
  return node;
}

// Counts destructions, to see that every statement goes exactly once.
struct Counted : CStatement {
  explicit Counted(int* counter) : destroyed(counter) {}
  ~Counted() override { ++*destroyed; }
  int* destroyed;
};

TEST(StatementModel, BlocksOwnEverythingNestedInThem) {
  int destroyed = 0;
  {
    CBlock program;
    auto loop = std::make_unique<CLoopStatement>(Constant(1));
    auto decide = std::make_unique<CDecideStatement>(Constant(2));
    decide->thenBlock.Add(std::make_unique<Counted>(&destroyed));
    decide->elseBlock.Add(std::make_unique<Counted>(&destroyed));
    auto nested = std::make_unique<CBlockStatement>();
    nested->block.Add(std::make_unique<Counted>(&destroyed));
    decide->thenBlock.Add(std::move(nested));
    loop->body.Add(std::move(decide));
    CProtoSymbol prototype("f");
    auto arguments = std::make_unique<CBlock>();
    arguments->Add(std::make_unique<CParamStatement>(Constant(3)));
    arguments->Add(std::make_unique<Counted>(&destroyed));
    loop->body.Add(std::make_unique<CCallStatement>(&prototype, std::move(arguments)));
    program.Add(std::move(loop));
    EXPECT_EQ(program.statements.size(), 1u);
  }
  EXPECT_EQ(destroyed, 4);
}

TEST(StatementModel, HundredThousandNestedBlocksTearDownIteratively) {
  int destroyed = 0;
  {
    CBlock program;
    CBlock* block = &program;
    for (int i = 0; i < 100000; ++i) {
      // Alternate the kinds of statement that hold blocks.
      std::unique_ptr<CStatement> holder;
      CBlock* inner = nullptr;
      switch (i % 3) {
        case 0: {
          auto statement = std::make_unique<CBlockStatement>();
          inner = &statement->block;
          holder = std::move(statement);
          break;
        }
        case 1: {
          auto statement = std::make_unique<CLoopStatement>(Constant(i));
          inner = &statement->body;
          holder = std::move(statement);
          break;
        }
        default: {
          auto statement = std::make_unique<CDecideStatement>(Constant(i));
          inner = &statement->elseBlock;
          holder = std::move(statement);
          break;
        }
      }
      block->Add(std::move(holder));
      block = inner;
    }
    block->Add(std::make_unique<Counted>(&destroyed));
  }
  EXPECT_EQ(destroyed, 1);
}

// f(f(f(...))): each argument is an expression whose leaf owns the call made inside it.
TEST(StatementModel, CallsNestedInArgumentsTearDownIteratively) {
  CProtoSymbol prototype("f");
  prototype.returnType.kind = TYPE_BYTE;
  int destroyed = 0;
  {
    std::unique_ptr<CExpression> argument = Constant(1);
    for (int i = 0; i < 100000; ++i) {
      auto arguments = std::make_unique<CBlock>();
      arguments->Add(std::make_unique<CParamStatement>(std::move(argument)));
      if (i == 0) arguments->Add(std::make_unique<Counted>(&destroyed));
      auto call = std::make_unique<CCallStatement>(&prototype, std::move(arguments));
      CValue reference;
      reference.kind = TYPE_CALL;
      reference.symbol = &prototype;
      reference.statement = call.get();
      argument = std::make_unique<CExpression>();
      ASSERT_EQ(argument->MakeLeaf(reference), 1);
      argument->ownedStatement = std::move(call);
    }
    CBlock program;
    program.Add(std::make_unique<COutStatement>(std::move(argument), 0));
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
