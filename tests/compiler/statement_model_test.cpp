// The statement model on its own: blocks hold their statements in order, every part of a
// program lives in one arena, and dropping the arena needs no walk of any nesting depth.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "tests/support/test_arena.h"

namespace {

CExpression* Constant(CArena& arena, int value) {
  auto* node = arena.Make<CExpression>();
  node->MakeLeaf(CValue::FromInteger(value));
  return node;
}

// Counts destructions: arena objects are never destroyed one by one.
struct Counted : CStatement {
  explicit Counted(int* counter) : destroyed(counter) {}
  ~Counted() override { ++*destroyed; }
  int* destroyed;
};

TEST(StatementModel, BlocksHoldTheirStatementsInOrder) {
  int destroyed = 0;
  {
    CArena arena;
    CBlock program;
    auto* loop = arena.Make<CLoopStatement>(Constant(arena, 1));
    auto* decide = arena.Make<CDecideStatement>(Constant(arena, 2));
    auto* first = arena.Make<Counted>(&destroyed);
    decide->thenBlock.Add(arena, first);
    decide->elseBlock.Add(arena, arena.Make<Counted>(&destroyed));
    auto* nested = arena.Make<CBlockStatement>();
    nested->block.Add(arena, arena.Make<Counted>(&destroyed));
    decide->thenBlock.Add(arena, nested);
    loop->body.Add(arena, decide);
    program.Add(arena, loop);
    // Many statements in one block: the list grows and keeps its order.
    for (int i = 0; i < 1000; ++i) nested->block.Add(arena, arena.Make<CParamStatement>(Constant(arena, i)));
    ASSERT_EQ(program.statements.size(), 1u);
    EXPECT_EQ(program.statements[0], loop);
    ASSERT_EQ(decide->thenBlock.statements.size(), 2u);
    EXPECT_EQ(decide->thenBlock.statements[0], first);
    EXPECT_EQ(decide->thenBlock.statements.back(), nested);
    ASSERT_EQ(nested->block.statements.size(), 1001u);
    int expected = 0;
    for (size_t i = 1; i < nested->block.statements.size(); ++i) {
      auto* parameter = dynamic_cast<CParamStatement*>(nested->block.statements[i]);
      ASSERT_NE(parameter, nullptr);
      EXPECT_EQ(parameter->expression->value.AsInteger(), expected++);
    }
  }
  EXPECT_EQ(destroyed, 0);
}

TEST(StatementModel, HundredThousandNestedBlocksGoWithTheirArena) {
  CArena arena;
  CBlock program;
  CBlock* block = &program;
  for (int i = 0; i < 100000; ++i) {
    // Alternate the kinds of statement that hold blocks.
    CStatement* holder = nullptr;
    CBlock* inner = nullptr;
    switch (i % 3) {
      case 0: {
        auto* statement = arena.Make<CBlockStatement>();
        inner = &statement->block;
        holder = statement;
        break;
      }
      case 1: {
        auto* statement = arena.Make<CLoopStatement>(Constant(arena, i));
        inner = &statement->body;
        holder = statement;
        break;
      }
      default: {
        auto* statement = arena.Make<CDecideStatement>(Constant(arena, i));
        inner = &statement->elseBlock;
        holder = statement;
        break;
      }
    }
    block->Add(arena, holder);
    block = inner;
  }
  EXPECT_TRUE(block->IsEmpty());
  EXPECT_FALSE(program.IsEmpty());
}

TEST(Arena, PiecesAreAlignedAndLargeOnesGetTheirOwnBlock) {
  CArena arena;
  for (int i = 0; i < 1000; ++i) {
    arena.Allocate(1 + i % 7, 1);
    void* aligned = arena.Allocate(24, 16);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 16, 0u);
  }
  const size_t before = arena.Reserved();
  // A piece far larger than any block: usable in full.
  auto* big = static_cast<unsigned char*>(arena.Allocate(10 << 20, 8));
  big[0] = 1;
  big[(10 << 20) - 1] = 2;
  EXPECT_GE(arena.Reserved(), before + (10 << 20));
  // The small pieces go on in the current block.
  const size_t afterBig = arena.Reserved();
  arena.Allocate(16, 8);
  EXPECT_EQ(arena.Reserved(), afterBig);
}

// Pieces taken across many blocks (and across the parts of a block made present at a
// time) never overlap: each keeps what was written into it.
TEST(Arena, PiecesAcrossBlocksKeepTheirContents) {
  CArena arena;
  struct Piece {
    unsigned char* bytes;
    size_t size;
  };
  std::vector<Piece> pieces;
  for (size_t i = 0; i < 40000; ++i) {
    const size_t size = 1 + (i * 37) % 300;
    const size_t alignment = size_t{1} << (i % 5);
    auto* bytes = static_cast<unsigned char*>(arena.Allocate(size, alignment));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(bytes) % alignment, 0u);
    std::memset(bytes, static_cast<int>(i & 0xFF), size);
    pieces.push_back({bytes, size});
  }
  EXPECT_GT(arena.Reserved(), size_t{4} << 20);
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Piece& piece = pieces[i];
    for (size_t at = 0; at < piece.size; ++at) ASSERT_EQ(piece.bytes[at], i & 0xFF) << i << " " << at;
  }
}

TEST(Arena, TextsAreTerminatedCopies) {
  CArena arena;
  char source[] = "motor speed";
  std::string_view copy = arena.Text(source, 5);
  source[0] = 'X';
  EXPECT_EQ(copy, "motor");
  EXPECT_EQ(copy.data()[5], '\0');
  EXPECT_EQ(arena.Text("", 0), "");
  EXPECT_EQ(arena.Text("", 0).data()[0], '\0');
}

}  // namespace
