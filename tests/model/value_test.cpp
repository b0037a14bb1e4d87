// Kinds and constant conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/value.h"

namespace {

TEST(Kinds, CompatibilityTableBothWays) {
  const TypeKind kinds[] = {TYPE_BYTE, TYPE_INTEGER, TYPE_ADDRESS, TYPE_REAL, TYPE_FUZZY};
  const KindMatch S = MATCH_SAME, F = MATCH_WIDEN_FIRST, W = MATCH_WIDEN_SECOND;
  const KindMatch table[5][5] = {
      {S, F, S, F, F}, {W, S, W, F, F}, {S, F, S, F, F}, {W, W, W, S, F}, {W, W, W, W, S},
  };
  for (int a = 0; a < 5; ++a) {
    for (int b = 0; b < 5; ++b) EXPECT_EQ(CompareKinds(kinds[a], kinds[b]), table[a][b]) << a << "," << b;
    for (TypeKind other : {TYPE_VOID, TYPE_ID, TYPE_VAR, TYPE_RANGE, TYPE_RULE, TYPE_CALL, static_cast<TypeKind>(11)}) {
      EXPECT_EQ(CompareKinds(kinds[a], other), MATCH_NONE);
      EXPECT_EQ(CompareKinds(other, kinds[a]), MATCH_NONE);
    }
  }
  EXPECT_EQ(CompareKinds(TYPE_RANGE, TYPE_RANGE), MATCH_SAME);
  EXPECT_EQ(CompareKinds(TYPE_RANGE, TYPE_RULE), MATCH_NONE);
}

TEST(Kinds, NamesSizesAndDescriptions) {
  EXPECT_EQ(KindName(TYPE_VOID), "<void>");
  EXPECT_EQ(KindName(TYPE_RULE), "Rule");
  EXPECT_EQ(KindName(static_cast<TypeKind>(11)), "<none>");
  EXPECT_EQ(KindName(static_cast<TypeKind>(-5)), "<none>");
  const int32_t sizes[] = {0, 1, 2, 2, 3, 5, 0, 0, 9, 0, 0, 0};
  for (int kind = 0; kind <= 11; ++kind) EXPECT_EQ(KindSize(static_cast<TypeKind>(kind)), sizes[kind]);

  CType type;
  type.kind = TYPE_FUZZY;
  type.flags = TYPE_FLAG_ARRAY;
  type.count = 4;
  EXPECT_EQ(type.Size(), 20);
  type.kind = TYPE_ID;
  type.ref = 7;
  type.flags = TYPE_FLAG_ARRAY | TYPE_FLAG_INTERRUPT | TYPE_FLAG_WRITE | TYPE_FLAG_READ;
  EXPECT_EQ(type.Describe(), "Compiler ID<7><read><write><interrupt>[ 4 ]");
  type.kind = TYPE_RULE;
  EXPECT_EQ(type.Size(), 0);  // no rule referenced
}

// Converts a copy of `value` and returns the reported kind with the converted copy.
std::pair<TypeKind, CValue> Convert(CValue value, TypeKind kind) {
  const TypeKind reported = value.ConvertTo(kind);
  return {reported, value};
}

TEST(Conversion, TruncationAndWrapAround) {
  EXPECT_EQ(Convert(CValue::FromInteger(300), TYPE_BYTE).second.AsByte(), 44);
  EXPECT_EQ(Convert(CValue::FromInteger(-1), TYPE_BYTE).second.AsByte(), 255);
  EXPECT_EQ(Convert(CValue::FromReal(-1.5f), TYPE_INTEGER).second.AsInteger(), -1);
  EXPECT_EQ(Convert(CValue::FromReal(-1.5f), TYPE_BYTE).second.AsByte(), 255);
  EXPECT_EQ(Convert(CValue::FromReal(2.99f), TYPE_BYTE).second.AsByte(), 2);
  EXPECT_EQ(Convert(CValue::FromFuzzy(10.0f, 0.5f), TYPE_REAL).second.AsReal(), 20.0f);
  EXPECT_EQ(Convert(CValue::FromFuzzy(-7.0f, 2.0f), TYPE_INTEGER).second.AsInteger(), -3);
  EXPECT_EQ(Convert(CValue::FromFuzzy(600.0f, 2.0f), TYPE_BYTE).second.AsByte(), 44);
  auto [kind, fuzzy] = Convert(CValue::FromByte(7), TYPE_FUZZY);
  EXPECT_EQ(kind, TYPE_FUZZY);
  EXPECT_EQ(fuzzy.AsReal(), 7.0f);
  EXPECT_EQ(fuzzy.weight, 1.0f);
  // An Address request yields a Byte value while reporting Address.
  auto [addressKind, asAddress] = Convert(CValue::FromInteger(0x1234), TYPE_ADDRESS);
  EXPECT_EQ(addressKind, TYPE_ADDRESS);
  EXPECT_EQ(asAddress.kind, TYPE_BYTE);
  EXPECT_EQ(asAddress.AsByte(), 0x34);
}

TEST(Conversion, OutOfRangeRealsSaturate) {
  EXPECT_EQ(Convert(CValue::FromReal(1e20f), TYPE_INTEGER).second.AsInteger(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(Convert(CValue::FromReal(-1e20f), TYPE_INTEGER).second.AsInteger(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Convert(CValue::FromReal(std::nanf("")), TYPE_INTEGER).second.AsInteger(), 0);
  EXPECT_EQ(Convert(CValue::FromFuzzy(0.0f, 0.0f), TYPE_BYTE).second.AsByte(), 0);  // 0 / 0
}

TEST(Conversion, SameAddressOrIncompatibleChangeNothing) {
  CValue address;
  address.kind = TYPE_ADDRESS;
  address.value = 0xAB;
  EXPECT_EQ(address.ConvertTo(TYPE_INTEGER), TYPE_ADDRESS);
  EXPECT_EQ(address.kind, TYPE_ADDRESS);
  EXPECT_EQ(address.value, 0xABu);
  CValue byte = CValue::FromByte(9);
  EXPECT_EQ(byte.ConvertTo(TYPE_ADDRESS), TYPE_ADDRESS);
  EXPECT_EQ(byte.ConvertTo(TYPE_RANGE), TYPE_VOID);
  EXPECT_EQ(byte.kind, TYPE_BYTE);
  EXPECT_EQ(byte.AsByte(), 9);
}

}  // namespace
