// Symbols: qualified names, chain links, the listing lines of every class, and the
// type operations that look through references to symbols.
#include <gtest/gtest.h>

#include "semantic/symbol.h"
#include "tests/semantic/listing_capture.h"

namespace {

template <typename Symbol>
std::string DumpOf(const Symbol& symbol, int depth) {
  ListingCapture listing;
  symbol.Dump(listing.file(), depth);
  return listing.Text();
}

CType MakeType(TypeKind kind, uint32_t flags = 0, int32_t count = 0) {
  CType type;
  type.kind = kind;
  type.flags = flags;
  type.count = count;
  return type;
}

// class Motor { go(a as byte) as integer; }
struct MotorClass {
  MotorClass() {
    go.returnType = MakeType(TYPE_INTEGER);
    go.level = 0;
    auto a = std::make_unique<CVarSymbol>("x", &go);
    a->type = MakeType(TYPE_BYTE);
    x = a.get();
    go.parameters.push_back(std::move(a));
  }
  CClassSymbol motor{"Motor"};
  CProtoSymbol go{"go", &motor};
  CVarSymbol* x = nullptr;
};

TEST(SymbolNames, OwnersJoinWithColons) {
  MotorClass m;
  EXPECT_EQ(m.motor.QualifiedName(), "Motor");
  EXPECT_EQ(m.go.QualifiedName(), "Motor:go");
  EXPECT_EQ(m.x->QualifiedName(), "Motor:go:x");
  EXPECT_EQ(CSymbol::IndentPrefix(0), "");
  EXPECT_EQ(CSymbol::IndentPrefix(3), "| | | ");
}

TEST(SymbolChain, LinkAheadAndUnlinkFromTheFront) {
  CClassSymbol a("a"), b("b"), c("c");
  c.LinkAhead(nullptr);
  b.LinkAhead(&c);
  a.LinkAhead(&b);
  EXPECT_EQ(a.next, &b);
  EXPECT_EQ(b.prev, &a);
  EXPECT_EQ(c.prev, &b);
  EXPECT_EQ(a.prev, nullptr);
  EXPECT_EQ(a.Unlink(), &b);
  EXPECT_EQ(b.prev, nullptr);
  EXPECT_EQ(a.next, nullptr);
  EXPECT_EQ(a.Unlink(), nullptr);  // on no chain: nothing changes
  EXPECT_EQ(b.next, &c);
  EXPECT_EQ(b.Unlink(), &c);  // leave no links to objects that die first
  EXPECT_EQ(c.prev, nullptr);
}

TEST(SymbolDump, ClassVariablePrototypeLines) {
  MotorClass m;
  m.motor.level = 0;
  EXPECT_EQ(DumpOf(m.motor, 0), "Class: Motor{0}\n");
  EXPECT_EQ(DumpOf(*m.x, 3), "| | | Variable: Motor:go:x{-1} type : Byte\n");
  EXPECT_EQ(DumpOf(m.go, 1),
            "| Method: Motor:go{0} AS Integer\n"
            "| | Variable: Motor:go:x{-1} type : Byte\n");
  CProtoSymbol start("start");
  start.level = 0;
  EXPECT_EQ(DumpOf(start, 2), "| | Method: start{0} AS <void>\n");
}

TEST(SymbolDump, InterruptMethodAndArrayVariable) {
  CProtoSymbol handler("tick");
  handler.level = 0;
  handler.returnType = MakeType(TYPE_ADDRESS, TYPE_FLAG_INTERRUPT);
  handler.returnType.ref = 3;
  EXPECT_EQ(DumpOf(handler, 0), "Method: tick{0} AS Address 3<interrupt>\n");
  CVarSymbol table("table");
  table.level = 2;
  table.type = MakeType(TYPE_REAL, TYPE_FLAG_ARRAY, 8);
  EXPECT_EQ(DumpOf(table, 1), "| Variable: table{2} type : Real[ 8 ]\n");
}

TEST(SymbolDump, ConstantsByKind) {
  CConstSymbol constant("k");
  constant.level = 0;
  constant.value = CValue::FromByte(0x0A);
  EXPECT_EQ(DumpOf(constant, 0), "Constant: k{0} type : Byte = 0a\n");
  constant.value = CValue::FromInteger(-300);
  EXPECT_EQ(DumpOf(constant, 0), "Constant: k{0} type : Integer = -300\n");
  constant.value = CValue::FromReal(2.5f);
  EXPECT_EQ(DumpOf(constant, 0), "Constant: k{0} type : Real = 2.5\n");
  // 0.5@255 is stored with the weight (255 + 1) / 256.
  constant.value = CValue::FromFuzzy(0.5f, (255 + 1) * 0.00390625f);
  EXPECT_EQ(DumpOf(constant, 1), "| Constant: k{0} type : Fuzzy = 0.5@1\n");
  constant.value = CValue();
  EXPECT_EQ(DumpOf(constant, 0), "Constant: k{0} type : ERROR = <unknown>\n");
}

TEST(SymbolDump, RangesAndRules) {
  CRangeSymbol warm("warm");
  warm.level = 0;
  warm.center = 128;
  warm.plateau = 16;
  warm.edge = 32;
  EXPECT_EQ(DumpOf(warm, 1), "| Range: warm{0} c0080 p0010 e0020\n");

  CRuleSymbol heat("heat");
  heat.level = 0;
  EXPECT_EQ(DumpOf(heat, 0), "Rule: heat{0}\n");  // no entries: its own line only
  auto entry = std::make_unique<CRangeValueSymbol>("warm", &heat);
  entry->range = &warm;
  entry->result = 200;
  heat.entries.push_back(std::move(entry));
  EXPECT_EQ(DumpOf(heat, 0),
            "Rule: heat{0}\n"
            "| Range->Value: heat:warm{-1} c0080 p0010 e0020 => 00c8\n");
}

TEST(TypeReferences, VariableReferenceDescribesAndSizesThroughTheVariable) {
  CVarSymbol x("x");
  x.type = MakeType(TYPE_INTEGER, TYPE_FLAG_ARRAY, 4);
  CType reference = MakeType(TYPE_VAR);
  reference.symbol = &x;
  EXPECT_EQ(reference.Describe(), "Var x AS Integer[ 4 ]");
  EXPECT_EQ(reference.BaseKind(), TYPE_INTEGER);
  EXPECT_EQ(reference.Size(), 8);
  EXPECT_NE(reference.Resolved().flags & TYPE_FLAG_ARRAY, 0u);
  EXPECT_EQ(reference.Resolved().count, 4);
  EXPECT_EQ(reference.Compatible(TYPE_REAL), MATCH_WIDEN_FIRST);
  EXPECT_EQ(reference.Compatible(MakeType(TYPE_BYTE)), MATCH_WIDEN_SECOND);
}

TEST(TypeReferences, CallRuleAndRangeReferences) {
  CProtoSymbol read("read");
  read.returnType = MakeType(TYPE_REAL);
  CType call = MakeType(TYPE_CALL);
  call.symbol = &read;
  EXPECT_EQ(call.Describe(), "Call read");
  EXPECT_EQ(call.BaseKind(), TYPE_REAL);
  EXPECT_EQ(call.Size(), 3);

  CRuleSymbol heat("heat");
  for (int i = 0; i < 3; ++i) heat.entries.push_back(std::make_unique<CRangeValueSymbol>("r", &heat));
  CType rule = MakeType(TYPE_RULE);
  rule.symbol = &heat;
  EXPECT_EQ(rule.Describe(), "Rule heat");
  EXPECT_EQ(rule.Size(), 36);

  CRangeSymbol warm("warm");
  CType range = MakeType(TYPE_RANGE);
  range.symbol = &warm;
  EXPECT_EQ(range.Describe(), "Range warm");
  EXPECT_EQ(range.Size(), 9);
}

TEST(TypeReferences, ConvertingAReferenceOnlyChecksCompatibility) {
  CVarSymbol x("x");
  x.type = MakeType(TYPE_BYTE);
  CValue reference;
  reference.kind = TYPE_VAR;
  reference.symbol = &x;
  EXPECT_EQ(reference.ConvertTo(TYPE_REAL), TYPE_REAL);
  EXPECT_EQ(reference.kind, TYPE_VAR);
  EXPECT_EQ(reference.ConvertTo(TYPE_RULE), TYPE_VOID);
  CValue copy;
  copy.Assign(reference);
  EXPECT_EQ(copy.symbol, &x);
}

TEST(TypeReferences, DanglingReferencesStayHarmless) {
  CType reference = MakeType(TYPE_VAR);
  EXPECT_EQ(reference.BaseKind(), TYPE_VOID);
  EXPECT_EQ(reference.Size(), 0);
  EXPECT_EQ(&reference.Resolved(), &reference);
  // A variable whose type refers back to itself ends instead of looping.
  CVarSymbol loop("loop");
  loop.type = MakeType(TYPE_VAR);
  loop.type.symbol = &loop;
  EXPECT_EQ(loop.type.BaseKind(), TYPE_VOID);
  EXPECT_EQ(loop.type.Size(), 0);
  EXPECT_FALSE(loop.type.Describe().empty());
}

}  // namespace
