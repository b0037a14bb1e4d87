// Expressions of constants: promotion, folding per kind, operator checks and their texts.
#include <gtest/gtest.h>

#include <limits>

#include "model/expression.h"
#include "tests/support/test_arena.h"

namespace {

using Node = CExpression*;

Node Leaf(const CValue& value) {
  auto node = TestArena().Make<CExpression>();
  EXPECT_EQ(node->MakeLeaf(value), 1);
  return node;
}
Node B(uint8_t v) { return Leaf(CValue::FromByte(v)); }
Node I(int32_t v) { return Leaf(CValue::FromInteger(v)); }
Node R(float v) { return Leaf(CValue::FromReal(v)); }
Node F(float v, float w) { return Leaf(CValue::FromFuzzy(v, w)); }

// Runs one builder on a fresh node; null (and the message in `error`) on failure.
template <typename Make>
Node Build(Make make, std::string* error) {
  auto node = TestArena().Make<CExpression>();
  if (make(*node) != 0) return node;
  if (error != nullptr) *error = node->Error();
  return nullptr;
}
Node Binary(Node l, ExprOp op, Node r, std::string* error = nullptr) {
  return Build([&](CExpression& n) { return n.MakeBinary(l, op, r); }, error);
}
Node Unary(ExprOp op, Node operand, std::string* error = nullptr) {
  return Build([&](CExpression& n) { return n.MakeUnary(op, operand); }, error);
}

std::string FailureOf(Node l, ExprOp op, Node r) {
  std::string error;
  EXPECT_EQ(Binary(std::move(l), op, std::move(r), &error), nullptr);
  return error;
}

// A folded constant of that kind and value, with no operands left.
void ExpectConstant(const Node& node, TypeKind kind, int32_t expected) {
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(node->op == EXPR_CONST && node->left == nullptr && node->right == nullptr);
  EXPECT_EQ(node->kind, kind);
  EXPECT_EQ(kind == TYPE_BYTE ? node->value.AsByte() : node->value.AsInteger(), expected);
}
void ExpectByte(const Node& node, int32_t expected) { ExpectConstant(node, TYPE_BYTE, expected); }
void ExpectInteger(const Node& node, int32_t expected) { ExpectConstant(node, TYPE_INTEGER, expected); }

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(FoldByte, ArithmeticWrapsAtEightBits) {
  ExpectByte(Binary(B(200), EXPR_ADD, B(100)), 44);
  ExpectByte(Binary(B(3), EXPR_SUB, B(5)), 254);
  ExpectByte(Binary(B(16), EXPR_MUL, B(17)), 16);
  ExpectByte(Binary(B(200), EXPR_MOD, B(7)), 4);
  ExpectByte(Binary(B(200), EXPR_MIN, B(7)), 7);
  // Shifts take the count modulo 32; counts 8 to 31 empty the byte.
  ExpectByte(Binary(B(1), EXPR_SHL, B(9)), 0);
  ExpectByte(Binary(B(1), EXPR_SHL, B(33)), 2);
  ExpectByte(Binary(B(0x80), EXPR_SHR, B(7)), 1);
  // Comparisons give 255 or 0, the logical operators 1 or 0.
  ExpectByte(Binary(B(3), EXPR_LT, B(5)), 255);
  ExpectByte(Binary(B(200), EXPR_GT, B(5)), 255);  // unsigned comparison
  ExpectByte(Binary(B(3), EXPR_AND, B(5)), 1);
  ExpectByte(Binary(B(0), EXPR_OR, B(5)), 1);
  ExpectByte(Binary(B(0), EXPR_XOR, B(0)), 0);
}

TEST(FoldInteger, PromotionAndSignedArithmetic) {
  ExpectInteger(Binary(B(200), EXPR_ADD, I(300)), 500);  // 200 widens to Integer
  ExpectByte(Binary(B(7), EXPR_DIV, B(2)), 3);
  ExpectInteger(Binary(I(7), EXPR_DIV, I(2)), 3);
  ExpectInteger(Binary(Unary(EXPR_NEG, B(7)), EXPR_DIV, B(2)), -3);
  ExpectInteger(Binary(Unary(EXPR_NEG, B(7)), EXPR_MOD, B(2)), -1);
  ExpectInteger(Binary(I(256), EXPR_SHL, I(33)), 512);
  ExpectInteger(Binary(I(-8), EXPR_SHR, I(1)), -4);
  ExpectInteger(Binary(I(1), EXPR_SHL, I(-1)), kMin);  // count -1 is 31
  ExpectInteger(Binary(I(-300), EXPR_MIN, I(2)), -300);
  ExpectByte(Binary(I(-1), EXPR_LT, I(1)), 255);  // signed comparison
  ExpectByte(Binary(I(256), EXPR_AND, I(0)), 0);
}

TEST(FoldInteger, WrapsInsteadOfTrapping) {
  ExpectInteger(Binary(I(std::numeric_limits<int32_t>::max()), EXPR_ADD, I(1)), kMin);
  ExpectInteger(Binary(I(kMin), EXPR_SUB, I(1)), std::numeric_limits<int32_t>::max());
  ExpectInteger(Binary(I(0x10000), EXPR_MUL, I(0x10000)), 0);
  // The most negative value divided by -1 wraps to itself; its remainder is 0.
  ExpectInteger(Binary(I(kMin), EXPR_DIV, I(-1)), kMin);
  ExpectInteger(Binary(I(kMin), EXPR_MOD, I(-1)), 0);
  ExpectInteger(Unary(EXPR_NEG, I(kMin)), kMin);
}

TEST(FoldReal, ArithmeticAndComparison) {
  Node product = Binary(R(1.5f), EXPR_MUL, B(4));
  EXPECT_EQ(product->kind, TYPE_REAL);
  EXPECT_EQ(product->value.AsReal(), 6.0f);
  EXPECT_EQ(Binary(R(2.5f), EXPR_MIN, I(-3))->value.AsReal(), -3.0f);
  ExpectByte(Binary(R(2.5f), EXPR_GE, I(2)), 255);
}

TEST(FoldErrors, DivisionByZeroAndUndefinedOperators) {
  EXPECT_EQ(FailureOf(B(7), EXPR_MOD, B(0)), "Binary operator:  Divide by Zero.");
  EXPECT_EQ(FailureOf(I(7), EXPR_DIV, I(0)), "Binary operator:  Divide by Zero.");
  EXPECT_EQ(FailureOf(R(7.0f), EXPR_DIV, R(0.0f)), "Binary operator:  Divide by Zero.");
  EXPECT_EQ(FailureOf(R(7.0f), EXPR_DIV, R(-0.0f)), "Binary operator:  Divide by Zero.");
  EXPECT_EQ(FailureOf(R(1.5f), EXPR_MOD, R(2.0f)), "Binary operator:  Can not take the modulo of Real values.");
  EXPECT_EQ(FailureOf(F(1, 1), EXPR_MUL, F(2, 1)), "Binary operator: Multiplication is not defined for Fuzzy values.");
  EXPECT_EQ(FailureOf(nullptr, EXPR_ADD, B(1)), "Binary operator:  Requires two valid operands.");
  std::string error;
  EXPECT_EQ(Unary(EXPR_NOT, R(2.5f), &error), nullptr);
  EXPECT_EQ(error, "Error: Boolean operation on Real data type.");
  EXPECT_EQ(Unary(EXPR_NEG, nullptr, &error), nullptr);
  EXPECT_EQ(error, "Unary operator:  Requires a valid operand.");
}

TEST(FoldErrors, FailedBuildLeavesOperandsWithTheCaller) {
  auto node = TestArena().Make<CExpression>();
  Node l = B(7), r = B(0);
  EXPECT_EQ(node->MakeBinary(l, EXPR_DIV, r), 0);
  EXPECT_TRUE(l != nullptr && r != nullptr && node->op == EXPR_NOP);
}

TEST(FoldUnary, ByKind) {
  ExpectInteger(Unary(EXPR_NEG, B(5)), -5);  // a minus makes a Byte constant Integer
  ExpectByte(Unary(EXPR_NOT, B(0)), 1);
  ExpectByte(Unary(EXPR_NOT, I(300)), 0);
  ExpectByte(Unary(EXPR_BITNOT, B(0x0F)), 0xF0);
  ExpectInteger(Unary(EXPR_BITNOT, I(0)), -1);
  Node fuzzy = Unary(EXPR_NEG, F(3.0f, 0.5f));
  EXPECT_EQ(fuzzy->value.AsReal(), -3.0f);
  EXPECT_EQ(fuzzy->value.weight, 0.5f);
}

TEST(FoldFuzzy, WeightsAddAndSelect) {
  Node sum = Binary(F(10, 1), EXPR_ADD, F(20, 1));
  EXPECT_EQ(sum->kind, TYPE_FUZZY);
  EXPECT_EQ(sum->value.AsReal(), 30.0f);
  EXPECT_EQ(sum->value.weight, 2.0f);
  EXPECT_EQ(sum->value.Crisp(), 15.0f);
  Node difference = Binary(F(10, 1), EXPR_SUB, F(4, 0.5f));
  EXPECT_EQ(difference->value.AsReal(), 6.0f);
  EXPECT_EQ(difference->value.weight, 1.5f);  // weights add for subtraction too
  Node smaller = Binary(F(10, 1), EXPR_MIN, F(40, 0.5f));
  EXPECT_EQ(smaller->value.AsReal(), 40.0f);
  EXPECT_EQ(smaller->value.weight, 0.5f);
  Node tie = Binary(F(10, 1), EXPR_MAX, F(40, 1));
  EXPECT_EQ(tie->value.AsReal(), 10.0f);  // a tie keeps the left operand
  // Compared by value / weight: (10, 1) reads 10, (20, 2) reads 10.
  ExpectByte(Binary(F(10, 1), EXPR_EQ, Binary(F(10, 1), EXPR_ADD, F(10, 1))), 255);
  // A Byte widens to (v, 1.0).
  ExpectByte(Binary(B(10), EXPR_LT, F(30, 2)), 255);
}

TEST(CheckOperator, MessagesByKind) {
  struct Case {
    ExprOp op;
    TypeKind kind;
    const char* message;  // null: defined
  };
  const Case cases[] = {
      {EXPR_NEG, TYPE_BYTE, "Error: Signed operation on Unsigned data type."},
      {EXPR_IS, TYPE_INTEGER, "Error, bad operator."},
      {EXPR_CONST, TYPE_INTEGER, "Error, bad operator."},
      {static_cast<ExprOp>(32), TYPE_BYTE, "Error, bad operator."},
      {EXPR_ADD, TYPE_RANGE, "Unknown operand data type."},
      {EXPR_SHR, TYPE_ADDRESS, nullptr},
      {EXPR_INDEX, TYPE_FUZZY, nullptr},
      {EXPR_NEG, TYPE_FUZZY, nullptr},
      {EXPR_DIV, TYPE_FUZZY, "Binary operator: Division is not defined for Fuzzy values."},
      {EXPR_MOD, TYPE_FUZZY, "Binary operator:  Can not take the modulo of Fuzzy values."},
      {EXPR_BITOR, TYPE_REAL, "Binary operator:  Can not perform Bit operations on Real values."},
      {EXPR_BITAND, TYPE_FUZZY, "Binary operator:  Can not perform Bit operations on Fuzzy values."},
      {EXPR_XOR, TYPE_REAL, "Binary operator:  Can not perform Boolean operations on Real values."},
      {EXPR_OR, TYPE_FUZZY, "Binary operator:  Can not perform Boolean operations on Fuzzy values."},
      {EXPR_SHL, TYPE_REAL, "Binary operator:  Can not perform Shift operations on Real values."},
      {EXPR_SHR, TYPE_FUZZY, "Binary operator:  Can not perform Shift operations on Fuzzy values."},
      {EXPR_NOT, TYPE_FUZZY, "Error: Boolean operation on Fuzzy data type."},
      {EXPR_BITNOT, TYPE_REAL, "Error: Binary operation on Real data type."},
      {EXPR_BITNOT, TYPE_FUZZY, "Error: Binary operation on Fuzzy data type."},
  };
  for (const Case& c : cases) {
    CExpression node;
    EXPECT_EQ(node.CheckOperator(c.op, c.kind), c.message == nullptr ? 1 : 0) << c.op << "/" << c.kind;
    EXPECT_EQ(node.Error(), c.message == nullptr ? "" : c.message) << c.op << "/" << c.kind;
  }
}

TEST(Leaves, UnsupportedKindsAndConstantText) {
  for (TypeKind kind : {TYPE_VOID, TYPE_ADDRESS, TYPE_ID}) {
    CValue value;
    value.kind = kind;
    CExpression node;
    EXPECT_EQ(node.MakeLeaf(value), 0);
    EXPECT_EQ(node.Error(), "Expression: Unsupported data type.");
  }
  EXPECT_EQ(B(255)->DumpText(), "ff");
  EXPECT_EQ(I(-300)->DumpText(), "-300");
  EXPECT_EQ(R(2.5f)->DumpText(), "2.5");
  EXPECT_EQ(F(0.5f, 1.0f)->DumpText(), "0.5@1");
  EXPECT_EQ(CExpression().DumpText(), "<nop>");
}

}  // namespace
