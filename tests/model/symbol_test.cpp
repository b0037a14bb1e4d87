// Symbols: qualified names, the listing lines of every class, and the type operations
// that look through references to symbols.
#include <gtest/gtest.h>

#include "model/symbol.h"
#include "tests/support/listing_capture.h"
#include "tests/support/test_arena.h"

namespace {

std::string DumpOf(const CSymbol& symbol, int depth) {
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

TEST(SymbolDump, ClassPrototypeAndParameterLines) {
  CClassSymbol motor("Motor");
  motor.level = 0;
  CProtoSymbol go("go", &motor);
  go.level = 0;
  go.returnType = MakeType(TYPE_INTEGER);
  auto* x = TestArena().Make<CVarSymbol>("x", &go);
  x->type = MakeType(TYPE_BYTE);
  go.parameters.Add(TestArena(), x);
  EXPECT_EQ(go.parameters[0]->QualifiedName(), "Motor:go:x");
  EXPECT_EQ(DumpOf(motor, 0), "Class: Motor{0}\n");
  EXPECT_EQ(DumpOf(*go.parameters[0], 3), "| | | Variable: Motor:go:x{-1} type : Byte\n");
  EXPECT_EQ(DumpOf(go, 1),
            "| Method: Motor:go{0} AS Integer\n"
            "| | Variable: Motor:go:x{-1} type : Byte\n");
  CProtoSymbol start("start");
  start.level = 0;
  EXPECT_EQ(DumpOf(start, 2), "| | Method: start{0} AS <void>\n");
  CProtoSymbol tick("tick");
  tick.returnType = MakeType(TYPE_ADDRESS, TYPE_FLAG_INTERRUPT);
  tick.returnType.ref = 3;
  EXPECT_EQ(DumpOf(tick, 0), "Method: tick{-1} AS Address 3<interrupt>\n");
}

TEST(SymbolDump, ConstantsByKind) {
  CConstSymbol constant("k");
  constant.level = 0;
  const std::pair<CValue, const char*> cases[] = {
      {CValue::FromByte(0x0A), "Constant: k{0} type : Byte = 0a\n"},
      {CValue::FromInteger(-300), "Constant: k{0} type : Integer = -300\n"},
      {CValue::FromReal(2.5f), "Constant: k{0} type : Real = 2.5\n"},
      // 0.5@255 is stored with the weight (255 + 1) / 256.
      {CValue::FromFuzzy(0.5f, (255 + 1) * 0.00390625f), "Constant: k{0} type : Fuzzy = 0.5@1\n"},
      {CValue(), "Constant: k{0} type : ERROR = <unknown>\n"},
  };
  for (const auto& [value, line] : cases) {
    constant.value = value;
    EXPECT_EQ(DumpOf(constant, 0), line);
  }
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
  EXPECT_EQ(DumpOf(heat, 0), "Rule: heat{0}\n");
  auto* entry = TestArena().Make<CRangeValueSymbol>("warm", &heat);
  entry->range = &warm;
  entry->result = 200;
  heat.entries.Add(TestArena(), entry);
  EXPECT_EQ(DumpOf(heat, 0),
            "Rule: heat{0}\n"
            "| Range->Value: heat:warm{-1} c0080 p0010 e0020 => 00c8\n");
}

TEST(TypeReferences, DescribeSizeAndKindThroughSymbols) {
  CVarSymbol x("x");
  x.type = MakeType(TYPE_INTEGER, TYPE_FLAG_ARRAY, 4);
  CType variable = MakeType(TYPE_VAR);
  variable.symbol = &x;
  EXPECT_EQ(variable.Describe(), "Var x AS Integer[ 4 ]");
  EXPECT_EQ(variable.BaseKind(), TYPE_INTEGER);
  EXPECT_EQ(variable.Size(), 8);
  EXPECT_EQ(variable.Resolved().count, 4);
  EXPECT_EQ(variable.Compatible(TYPE_REAL), MATCH_WIDEN_FIRST);

  CProtoSymbol read("read");
  read.returnType = MakeType(TYPE_REAL);
  CType call = MakeType(TYPE_CALL);
  call.symbol = &read;
  EXPECT_EQ(call.Describe(), "Call read");
  EXPECT_EQ(call.BaseKind(), TYPE_REAL);
  EXPECT_EQ(call.Size(), 3);

  CRuleSymbol heat("heat");
  for (int i = 0; i < 3; ++i) heat.entries.Add(TestArena(), TestArena().Make<CRangeValueSymbol>("r", &heat));
  CType rule = MakeType(TYPE_RULE);
  rule.symbol = &heat;
  EXPECT_EQ(rule.Describe(), "Rule heat");
  EXPECT_EQ(rule.Size(), 36);

  // Converting a reference only checks compatibility.
  CValue reference;
  reference.Assign(variable);
  EXPECT_EQ(reference.ConvertTo(TYPE_BYTE), TYPE_BYTE);
  EXPECT_EQ(reference.kind, TYPE_VAR);
  EXPECT_EQ(reference.ConvertTo(TYPE_RULE), TYPE_VOID);
}

TEST(TypeReferences, DanglingOrLoopingReferencesStayHarmless) {
  CType nothing = MakeType(TYPE_VAR);
  EXPECT_EQ(nothing.BaseKind(), TYPE_VOID);
  EXPECT_EQ(nothing.Size(), 0);
  EXPECT_EQ(&nothing.Resolved(), &nothing);
  CVarSymbol loop("loop");
  loop.type = MakeType(TYPE_VAR);
  loop.type.symbol = &loop;
  EXPECT_EQ(loop.type.BaseKind(), TYPE_VOID);
  EXPECT_EQ(loop.type.Size(), 0);
  EXPECT_FALSE(loop.type.Describe().empty());
}

}  // namespace
