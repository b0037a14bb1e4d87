// Expression trees: building a node checks its operands, brings them to a common kind and
// folds constant operands at compile time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "model/type.h"
#include "model/value.h"

class CStatement;

// The numbers are shared with the parser actions and the builders: keep the order.
enum ExprOp : int32_t {
  EXPR_NOP = 0,
  EXPR_CONST = 1,
  EXPR_VAR = 2,
  EXPR_RANGE = 3,
  EXPR_RULE = 4,
  EXPR_CALL = 5,
  EXPR_ADD = 6,
  EXPR_SUB = 7,
  EXPR_MUL = 8,
  EXPR_DIV = 9,
  EXPR_MOD = 10,
  EXPR_BITAND = 11,
  EXPR_BITOR = 12,
  EXPR_BITXOR = 13,
  EXPR_AND = 14,
  EXPR_OR = 15,
  EXPR_XOR = 16,
  EXPR_MIN = 17,
  EXPR_MAX = 18,
  EXPR_EQ = 19,
  EXPR_NE = 20,
  EXPR_LE = 21,
  EXPR_LT = 22,
  EXPR_GE = 23,
  EXPR_GT = 24,
  EXPR_SHL = 25,
  EXPR_SHR = 26,
  EXPR_INDEX = 27,  // left: the array variable, right: the index
  EXPR_IS = 28,     // left: the tested value, right: the range or rule leaf
  EXPR_NEG = 29,    // unary operators hold their operand in right
  EXPR_NOT = 30,
  EXPR_BITNOT = 31,
};

// TYPE_BYTE for the logical and comparison operators and EXPR_NOT; `kind` for the others.
TypeKind ResultKind(ExprOp op, TypeKind kind);

// A node of an expression tree. Nodes live in the build's arena (model/arena.h) with the
// rest of the program model: they are never destroyed one by one, so they own nothing.
class CExpression {
 public:
  // A node made where an earlier one failed (the arena of a later build, a stack slot)
  // must not inherit that node's message.
  CExpression() { ForgetError(); }
  CExpression(const CExpression&) = delete;
  CExpression& operator=(const CExpression&) = delete;

  // Builders: each is called once on a fresh node and returns 1, or 0 with the
  // diagnostic in Error().  On success the node links the operands handed in (folded
  // operands are simply left behind); on failure they stay as they were, possibly cast.
  int MakeLeaf(const CValue& leaf);
  int MakeBinary(CExpression* leftOperand, ExprOp op, CExpression* rightOperand);
  int MakeIs(CExpression* tested, CExpression* rangeOrRule);
  int MakeUnary(ExprOp op, CExpression* operand);

  // Brings a and b to a common kind; returns it, or 0 with a message in this node's Error().
  TypeKind Promote(CExpression& a, CExpression& b);
  // Widens or narrows this subtree to `target`; returns the resulting kind or 0.
  // An operator node that widens computes in its new kind; a node that cannot widen
  // (a reference, an element read, an operator without an instruction for the kind)
  // keeps its kind and is converted by its parent.
  TypeKind CastTo(TypeKind target);
  TypeKind CastTo(const CType& target) { return CastTo(target.BaseKind()); }
  // 1 when `op` is defined for `operandKind`, else 0 with the message in Error().
  int CheckOperator(ExprOp op, TypeKind operandKind);

  // Writes the expression's text into the listing (no line break).  Iterative.
  void Dump(FILE* file, int indent) const;
  std::string DumpText() const;

  ExprOp op = EXPR_NOP;
  TypeKind kind = TYPE_VOID;  // the kind the node yields
  // A constant's value; a reference leaf's descriptor; for an operator node only its
  // kind counts: the kind the operator computes in.
  CValue value;
  CExpression* left = nullptr;
  CExpression* right = nullptr;

  // The fixed message of this node's last failure, empty when it has none.  A failed
  // node is read at once and then dropped, so only the latest failure is kept, beside
  // the nodes rather than in each of them (a program has ~50 nodes per 400 bytes).
  std::string_view Error() const;
  // A call made inside an expression: it stands in no block and is reached through its
  // leaf only.  Null for every other node.
  CStatement* OwnedStatement() const { return op == EXPR_CALL ? value.statement : nullptr; }

 private:
  // The cast of one node that needs no cast of its children; false when it does.
  bool CastWithoutChildren(TypeKind target, TypeKind& result);
  // The rest of an operator node's cast, once its children are cast (`childResult`
  // is the last child's result, 0 when one failed).
  TypeKind FinishCast(TypeKind target, TypeKind childResult);
  // Folds two constants already promoted to `common`; 0 with a message for a zero divisor.
  int FoldBinary(ExprOp op, TypeKind common, const CValue& l, const CValue& r);
  void FoldUnary(ExprOp op, TypeKind operandKind, const CValue& operand);
  void BecomeConstant(const CValue& folded);
  void Fail(std::string_view message);
  void ForgetError();
  std::string OwnText() const;
};
