// Hand-built programs for code generation tests: declared names, expression trees and the bytes
// they generate.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codegen/code_generator.h"
#include "image/target.h"
#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "tests/support/listing_capture.h"
#include "tests/support/test_arena.h"

using Node = CExpression*;
using Bytes = std::vector<int>;

// A target (on-chip, 8 K external RAM) with names to build expressions from.
class CodegenTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(target.Initialize(8, 1, 1)); }

  CVarSymbol* Global(const std::string& name, TypeKind kind, int address, int arrayCount = 0) {
    return Variable(name, kind, 0, address, arrayCount);
  }
  CVarSymbol* Local(const std::string& name, TypeKind kind, int depth, int offset) {
    return Variable(name, kind, depth, offset, 0);
  }
  CVarSymbol* Variable(const std::string& name, TypeKind kind, int depth, int address, int arrayCount) {
    auto variable = std::make_unique<CVarSymbol>(TestArena().Text(name));
    variable->type.kind = kind;
    if (arrayCount > 0) {
      variable->type.flags = TYPE_FLAG_ARRAY;
      variable->type.count = arrayCount;
    }
    variable->frameDepth = depth;
    auto statement = std::make_unique<CVarStatement>(variable.get());
    statement->address = address;
    variable->statement = statement.get();
    statements.push_back(std::move(statement));
    variables.push_back(std::move(variable));
    return variables.back().get();
  }
  // A memory-mapped byte: its storage is the fixed address.
  CVarSymbol* Mapped(const std::string& name, int address, int depth = 0) {
    CVarSymbol* variable = Variable(name, TYPE_ADDRESS, depth, address, 0);
    variable->type.ref = address;
    return variable;
  }
  CRangeSymbol* Range(const std::string& name, int table, uint8_t center, uint8_t plateau, uint8_t edge) {
    auto range = std::make_unique<CRangeSymbol>(TestArena().Text(name));
    range->center = center;
    range->plateau = plateau;
    range->edge = edge;
    auto statement = std::make_unique<CRangeStatement>(range.get());
    statement->address = table;
    range->statement = statement.get();
    statements.push_back(std::move(statement));
    ranges.push_back(std::move(range));
    return ranges.back().get();
  }

  // Appends a new statement to a block and returns it.
  template <typename T, typename... Args>
  static T* Add(CBlock& block, Args&&... args) {
    T* statement = TestArena().Make<T>(std::forward<Args>(args)...);
    block.Add(TestArena(), statement);
    return statement;
  }

  CProtoSymbol* Prototype(const std::string& name, TypeKind result = TYPE_VOID,
                         const std::vector<TypeKind>& parameters = {}) {
    auto prototype = std::make_unique<CProtoSymbol>(TestArena().Text(name));
    prototype->returnType.kind = result;
    for (TypeKind kind : parameters) {
      auto* parameter = TestArena().Make<CVarSymbol>("p");
      parameter->type.kind = kind;
      prototype->parameters.Add(TestArena(), parameter);
      prototype->parameterBytes += KindSize(kind);
    }
    prototypes.push_back(std::move(prototype));
    return prototypes.back().get();
  }

  static Node Leaf(const CValue& value) {
    auto node = TestArena().Make<CExpression>();
    EXPECT_EQ(node->MakeLeaf(value), 1) << node->Error();
    return node;
  }
  static Node Ref(CSymbol* symbol, TypeKind kind = TYPE_VAR, CStatement* statement = nullptr) {
    CValue value;
    value.kind = kind;
    value.symbol = symbol;
    value.statement = statement != nullptr ? statement : symbol->statement;
    return Leaf(value);
  }
  static Node B(int v) { return Leaf(CValue::FromByte(static_cast<uint8_t>(v))); }
  static Node I(int v) { return Leaf(CValue::FromInteger(v)); }
  static Node R(float v) { return Leaf(CValue::FromReal(v)); }
  static Node F(float v, float w) { return Leaf(CValue::FromFuzzy(v, w)); }
  static Node Bin(Node l, ExprOp op, Node r) {
    auto node = TestArena().Make<CExpression>();
    EXPECT_EQ(node->MakeBinary(l, op, r), 1) << node->Error();
    return node;
  }
  static Node Un(ExprOp op, Node operand) {
    auto node = TestArena().Make<CExpression>();
    EXPECT_EQ(node->MakeUnary(op, operand), 1) << node->Error();
    return node;
  }
  static Node Is(Node tested, Node rangeOrRule) {
    auto node = TestArena().Make<CExpression>();
    EXPECT_EQ(node->MakeIs(tested, rangeOrRule), 1) << node->Error();
    return node;
  }

  // The code emitted so far (from the first code byte to the code cursor).
  Bytes Code() const {
    Bytes bytes;
    if (target.codeStart == 0) return bytes;
    for (int offset = target.codeStart - target.base; offset < target.codeCursor; ++offset) {
      bytes.push_back(target.GetByte(offset));
    }
    return bytes;
  }
  Bytes At(int address, int count) const {
    Bytes bytes;
    for (int i = 0; i < count; ++i) bytes.push_back(target.GetByte(address - target.base + i));
    return bytes;
  }

  CTarget target;
  std::vector<std::unique_ptr<CVarSymbol>> variables;
  std::vector<std::unique_ptr<CRangeSymbol>> ranges;
  std::vector<std::unique_ptr<CProtoSymbol>> prototypes;
  std::vector<std::unique_ptr<CStatement>> statements;
};

// A listing file in memory.
using Capture = ListingCapture;
