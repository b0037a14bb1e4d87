// Expressions over variables, ranges and rules: indexing, IS, promotion and casting of
// operator nodes, the listing text, and very deep trees.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "model/expression.h"
#include "tests/support/test_arena.h"
#include "model/statement.h"
#include "model/symbol.h"

namespace {

using Node = CExpression*;

bool SameKind(TypeKind a, TypeKind b) { return CompareKinds(a, b) == MATCH_SAME && a != TYPE_VOID; }

// A handful of declared names to build expressions from.
class Names {
 public:
  CVarSymbol* Variable(const std::string& name, TypeKind kind, int address, int arrayCount = 0) {
    auto variable = std::make_unique<CVarSymbol>(TestArena().Text(name));
    variable->type.kind = kind;
    if (arrayCount > 0) {
      variable->type.flags = TYPE_FLAG_ARRAY;
      variable->type.count = arrayCount;
    }
    auto statement = std::make_unique<CStatement>();
    statement->address = address;
    variable->statement = statement.get();
    statements_.push_back(std::move(statement));
    variables_.push_back(std::move(variable));
    return variables_.back().get();
  }
  CRangeSymbol warm{"warm"};
  CRuleSymbol heat{"heat"};

 private:
  std::vector<std::unique_ptr<CVarSymbol>> variables_;
  std::vector<std::unique_ptr<CStatement>> statements_;
};

Node Leaf(const CValue& value) {
  auto node = TestArena().Make<CExpression>();
  EXPECT_EQ(node->MakeLeaf(value), 1) << node->Error();
  return node;
}
Node Ref(CSymbol* symbol, TypeKind kind = TYPE_VAR) {
  CValue value;
  value.kind = kind;
  value.symbol = symbol;
  return Leaf(value);
}
Node B(uint8_t v) { return Leaf(CValue::FromByte(v)); }
Node I(int32_t v) { return Leaf(CValue::FromInteger(v)); }
Node R(float v) { return Leaf(CValue::FromReal(v)); }

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
Node Is(Node l, Node r, std::string* error = nullptr) {
  return Build([&](CExpression& n) { return n.MakeIs(l, r); }, error);
}
Node Unary(ExprOp op, Node operand, std::string* error = nullptr) {
  return Build([&](CExpression& n) { return n.MakeUnary(op, operand); }, error);
}

// The kind a node's code leaves on the stack, read from what the code generator uses.
TypeKind Pushed(const CExpression& node) {
  switch (node.op) {
    case EXPR_CONST:
    case EXPR_VAR:
    case EXPR_CALL:
      return node.value.BaseKind();
    case EXPR_RANGE:
    case EXPR_RULE:
      return node.kind;  // only ever the table operand of an IS node
    case EXPR_IS:
      return node.right->op == EXPR_RANGE ? TYPE_BYTE : TYPE_FUZZY;
    case EXPR_INDEX:
      return node.value.kind;
    default:
      return ResultKind(node.op, node.value.kind);
  }
}

// Every node reports what its code pushes, computes in a kind its operator has an
// instruction for, and gets children that convert to that kind.
void ExpectConsistent(const CExpression& root) {
  std::vector<const CExpression*> pending{&root};
  while (!pending.empty()) {
    const CExpression* node = pending.back();
    pending.pop_back();
    EXPECT_TRUE(SameKind(node->kind, Pushed(*node)))
        << node->DumpText() << " reports " << node->kind << " but pushes " << Pushed(*node);
    if (node->op >= EXPR_ADD && node->op != EXPR_IS && node->op != EXPR_INDEX) {
      CExpression probe;
      EXPECT_EQ(probe.CheckOperator(node->op, node->value.kind), 1) << node->DumpText() << " computes in " << node->value.kind << " kind " << node->kind << " children " << (node->left ? node->left->kind : -1) << "," << (node->right ? node->right->kind : -1);
      for (const CExpression* child : {node->left, node->right}) {
        if (child == nullptr) continue;
        EXPECT_NE(CompareKinds(child->kind, node->value.kind), MATCH_NONE) << node->DumpText();
      }
    }
    if (node->left != nullptr) pending.push_back(node->left);
    if (node->right != nullptr) pending.push_back(node->right);
  }
}

TEST(ExpressionDump, WorkedExamples) {
  Names names;
  CVarSymbol* a = names.Variable("a", TYPE_BYTE, 0x62);
  CVarSymbol* x = names.Variable("x", TYPE_INTEGER, 0x70, 4);
  CVarSymbol* i = names.Variable("i", TYPE_BYTE, 0x72);
  EXPECT_EQ(Binary(Ref(a), EXPR_ADD, B(3))->DumpText(), "(<0062>a + 3)");
  EXPECT_EQ(Unary(EXPR_NOT, Ref(a))->DumpText(), " not <0062>a");
  EXPECT_EQ(Binary(Ref(x), EXPR_INDEX, Binary(Ref(i), EXPR_ADD, B(1)))->DumpText(), "<0070>x[(<0072>i + 1)]");
  Node is = Is(Ref(a), Ref(&names.warm, TYPE_RANGE));
  EXPECT_EQ(Binary(std::move(is), EXPR_SHL, B(10))->DumpText(), "((<0062>a IS warm) << a)");
  EXPECT_EQ(Unary(EXPR_BITNOT, Unary(EXPR_NEG, Ref(x)))->DumpText(), " ~ -<0070>x");
}

TEST(ExpressionIndex, ChecksAndTheIndexKind) {
  Names names;
  CVarSymbol* x = names.Variable("x", TYPE_FUZZY, 0x70, 4);
  CVarSymbol* r = names.Variable("r", TYPE_REAL, 0x80);
  std::string error;
  EXPECT_EQ(Binary(Ref(x), EXPR_INDEX, Ref(r), &error), nullptr);
  EXPECT_EQ(error, "Index operator:  Array index must be compatible with Int type.");
  EXPECT_EQ(Binary(B(1), EXPR_INDEX, B(1), &error), nullptr);
  EXPECT_EQ(error, "Index operator:  Array must be assocatiated with a variable.");
  EXPECT_EQ(Binary(Ref(r), EXPR_INDEX, B(1), &error), nullptr);
  EXPECT_EQ(error, "Index operator:  Attempting to index a non-array variable.");

  Node element = Binary(Ref(x), EXPR_INDEX, B(2));
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->kind, TYPE_FUZZY);
  EXPECT_EQ(element->value.kind, TYPE_FUZZY);
  EXPECT_EQ(element->right->op, EXPR_CONST);  // a constant index is never folded away
  EXPECT_EQ(element->right->kind, TYPE_INTEGER);
  EXPECT_EQ(element->right->value.AsInteger(), 2);
}

TEST(ExpressionIs, RangesGiveBytesRulesGiveFuzzies) {
  Names names;
  CVarSymbol* t = names.Variable("t", TYPE_REAL, 0x62);
  Node onRange = Is(Ref(t), Ref(&names.warm, TYPE_RANGE));
  ASSERT_NE(onRange, nullptr);
  EXPECT_EQ(onRange->kind, TYPE_BYTE);
  EXPECT_EQ(onRange->value.kind, TYPE_REAL);
  EXPECT_EQ(Is(I(3), Ref(&names.heat, TYPE_RULE))->kind, TYPE_FUZZY);
  std::string error;
  EXPECT_EQ(Is(Ref(t), Ref(t), &error), nullptr);
  EXPECT_EQ(error, "Fuzzy operator:  Right operand must be a Range or Rule.");
  EXPECT_EQ(Is(Ref(&names.warm, TYPE_RANGE), Ref(&names.warm, TYPE_RANGE), &error), nullptr);
  EXPECT_EQ(error, "Fuzzy operator: Left operand must be compatible with Real value.");
  EXPECT_EQ(Is(nullptr, Ref(&names.warm, TYPE_RANGE), &error), nullptr);
  EXPECT_EQ(error, "Fuzzy operator:  Requires two valid operands.");

  // An IS node cannot widen: (t is warm) + 300 is refused, (t is warm) + 1 is a Byte sum.
  EXPECT_EQ(Binary(Is(Ref(t), Ref(&names.warm, TYPE_RANGE)), EXPR_ADD, I(300), &error), nullptr);
  EXPECT_EQ(error, "Binary operator: Types are not compatible.");
  EXPECT_EQ(Binary(Is(Ref(t), Ref(&names.warm, TYPE_RANGE)), EXPR_ADD, B(1))->kind, TYPE_BYTE);
  EXPECT_EQ(onRange->CastTo(TYPE_INTEGER), TYPE_VOID);
  EXPECT_EQ(onRange->Error(), "Type casting:  Types are not compatible.");
  EXPECT_EQ(onRange->kind, TYPE_BYTE);  // left as it was
  EXPECT_EQ(onRange->right->kind, TYPE_RANGE);
}

TEST(ExpressionCast, OperatorsComputeInTheKindTheyReport) {
  Names names;
  CVarSymbol* a = names.Variable("a", TYPE_INTEGER, 0x62);
  CVarSymbol* b = names.Variable("b", TYPE_BYTE, 0x64);
  CVarSymbol* c = names.Variable("c", TYPE_BYTE, 0x65);
  CVarSymbol* r = names.Variable("r", TYPE_REAL, 0x66);
  CVarSymbol* x = names.Variable("x", TYPE_INTEGER, 0x70, 8);
  CVarSymbol* bytes = names.Variable("bytes", TYPE_BYTE, 0x80, 8);
  struct Case {
    Node tree;
    TypeKind operand;  // the kind the root computes in
    TypeKind inner;    // the kind its left child computes in
  };
  Case cases[] = {
      // (a < r) + r is computed in Byte: a comparison reports Byte when asked to widen.
      {Binary(Binary(Ref(a), EXPR_LT, Ref(r)), EXPR_ADD, Ref(r)), TYPE_BYTE, TYPE_REAL},
      // (b + 1) + 300: the sum widens to an Integer addition of b (converted) and 1.
      {Binary(Binary(Ref(b), EXPR_ADD, B(1)), EXPR_ADD, I(300)), TYPE_INTEGER, TYPE_INTEGER},
      // (b + c) + 300: nothing inside can widen; the inner sum stays Byte and is converted.
      {Binary(Binary(Ref(b), EXPR_ADD, Ref(c)), EXPR_ADD, I(300)), TYPE_INTEGER, TYPE_BYTE},
      // bytes[2] + 300: an element read keeps its kind.
      {Binary(Binary(Ref(bytes), EXPR_INDEX, B(2)), EXPR_ADD, I(300)), TYPE_INTEGER, TYPE_BYTE},
      // (b % 3) + 1.5: there is no Real remainder, so it stays a Byte computation.
      {Binary(Binary(Ref(b), EXPR_MOD, B(3)), EXPR_ADD, R(1.5f)), TYPE_REAL, TYPE_BYTE},
      // x[b + 1]: the index widens to Integer.
      {Binary(Ref(x), EXPR_INDEX, Binary(Ref(b), EXPR_ADD, B(1))), TYPE_INTEGER, TYPE_INTEGER},
      // (-a) + 1.5: the negation stays Integer and is converted to Real.
      {Binary(Unary(EXPR_NEG, Ref(a)), EXPR_ADD, R(1.5f)), TYPE_REAL, TYPE_INTEGER},
  };
  std::string error;
  EXPECT_EQ(Unary(EXPR_NEG, Ref(b), &error), nullptr);
  EXPECT_EQ(error, "Error: Signed operation on Unsigned data type.");
  for (const Case& c : cases) {
    ASSERT_NE(c.tree, nullptr);
    EXPECT_EQ(c.tree->value.kind, c.operand) << c.tree->DumpText();
    const CExpression& inner = c.tree->op == EXPR_INDEX ? *c.tree->right : *c.tree->left;
    EXPECT_EQ(inner.value.kind, c.inner) << c.tree->DumpText();
    ExpectConsistent(*c.tree);
  }
}

TEST(ExpressionCast, RandomTreesStayConsistent) {
  Names names;
  std::vector<CVarSymbol*> scalars = {
      names.Variable("b", TYPE_BYTE, 0x62), names.Variable("i", TYPE_INTEGER, 0x64),
      names.Variable("r", TYPE_REAL, 0x66), names.Variable("f", TYPE_FUZZY, 0x69)};
  std::vector<CVarSymbol*> arrays = {names.Variable("bs", TYPE_BYTE, 0x70, 4),
                                     names.Variable("is", TYPE_INTEGER, 0x74, 4)};
  std::mt19937 random(2024);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

  std::function<Node(int)> build = [&](int depth) -> Node {
    if (depth == 0 || pick(4) == 0) {
      switch (pick(7)) {
        case 0: return B(static_cast<uint8_t>(pick(256)));
        case 1: return I(pick(2000) - 1000);
        case 2: return R(static_cast<float>(pick(100)) / 4.0f);
        case 3: return Leaf(CValue::FromFuzzy(static_cast<float>(pick(50)), 0.5f + static_cast<float>(pick(2))));
        case 4: {
          Node element = Binary(Ref(arrays[pick(2)]), EXPR_INDEX, build(depth > 0 ? depth - 1 : 0));
          return element != nullptr ? std::move(element) : Ref(scalars[0]);
        }
        case 5: {
          Node is = Is(build(depth > 0 ? depth - 1 : 0),
                       pick(2) == 0 ? Ref(&names.warm, TYPE_RANGE) : Ref(&names.heat, TYPE_RULE));
          return is != nullptr ? std::move(is) : Ref(scalars[1]);
        }
        default: return Ref(scalars[pick(4)]);
      }
    }
    if (pick(5) == 0) {
      const ExprOp op = static_cast<ExprOp>(EXPR_NEG + pick(3));
      Node operand = build(depth - 1);
      auto node = TestArena().Make<CExpression>();
      return node->MakeUnary(op, operand) ? std::move(node) : std::move(operand);
    }
    const ExprOp op = static_cast<ExprOp>(EXPR_ADD + pick(EXPR_SHR - EXPR_ADD + 1));
    Node l = build(depth - 1);
    Node r = build(depth - 1);
    auto node = TestArena().Make<CExpression>();
    return node->MakeBinary(l, op, r) ? std::move(node) : (l != nullptr ? std::move(l) : std::move(r));
  };
  for (int round = 0; round < 3000; ++round) {
    Node tree = build(5);
    ASSERT_NE(tree, nullptr);
    ExpectConsistent(*tree);
    if (HasFailure()) break;
  }
}

TEST(ExpressionDepth, DeepTreesBuildCastDumpAndDieWithoutRecursion) {
  Names names;
  CVarSymbol* b = names.Variable("b", TYPE_BYTE, 0x62);
  constexpr int kTerms = 200000;
  Node chain = Ref(b);
  for (int i = 0; i < kTerms; ++i) chain = Binary(std::move(chain), EXPR_ADD, i % 2 == 0 ? Ref(b) : B(1));
  // Widening the whole chain walks every node.
  Node sum = Binary(std::move(chain), EXPR_ADD, I(300));
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(sum->left->value.kind, TYPE_INTEGER);
  const std::string text = sum->DumpText();
  EXPECT_EQ(text.substr(text.size() - 7), " + 300)");
  EXPECT_EQ(text.front(), '(');
}

}  // namespace
