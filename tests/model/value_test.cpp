// Kinds, constant conversion and the image encodings of Real and Fuzzy constants.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "model/value.h"

namespace {

using Bytes3 = std::array<uint8_t, 3>;
using Bytes5 = std::array<uint8_t, 5>;

Bytes3 Real(float real) {
  Bytes3 bytes{};
  EncodeReal(real, bytes.data());
  return bytes;
}

Bytes5 Fuzzy(float value, float weight) {
  Bytes5 bytes{};
  EncodeFuzzy(value, weight, bytes.data());
  return bytes;
}

TEST(Encoding, RealGoldenBytes) {
  EXPECT_EQ(Real(1.0f), (Bytes3{0x00, 0x00, 0x7F}));
  EXPECT_EQ(Real(-1.0f), (Bytes3{0x00, 0x80, 0x7F}));
  EXPECT_EQ(Real(2.5f), (Bytes3{0x00, 0x20, 0x80}));
  EXPECT_EQ(Real(100.0f), (Bytes3{0x00, 0x48, 0x85}));
  EXPECT_EQ(Real(0.0f), (Bytes3{0x00, 0x00, 0x00}));
  EXPECT_EQ(Real(-0.5f), (Bytes3{0x00, 0x80, 0x7E}));  // sign in bit 15, exponent of +0.5
  EXPECT_EQ(Real(-0.0f), (Bytes3{0x00, 0x00, 0x00}));  // -0.0 is not negative here
  // Only the upper 15 fraction bits survive: 1 + 2^-23 encodes as 1.0, 1 + 2^-15 does not.
  EXPECT_EQ(Real(std::nextafter(1.0f, 2.0f)), (Bytes3{0x00, 0x00, 0x7F}));
  EXPECT_EQ(Real(1.0f + 1.0f / 32768.0f), (Bytes3{0x01, 0x00, 0x7F}));
}

TEST(Encoding, FuzzyGoldenBytes) {
  EXPECT_EQ(Fuzzy(10.0f, 1.0f), (Bytes5{0x00, 0x01, 0x00, 0x0A, 0x00}));
  EXPECT_EQ(Fuzzy(10.0f, 0.5f), (Bytes5{0x80, 0x00, 0x00, 0x05, 0x00}));
  EXPECT_EQ(Fuzzy(-3.0f, 1.0f), (Bytes5{0x00, 0x01, 0x00, 0xFD, 0xFF}));
  EXPECT_EQ(Fuzzy(-0.75f, 1.0f), (Bytes5{0x00, 0x01, 0x40, 0xFF, 0xFF}));  // -192 in 24 bits
  EXPECT_EQ(Fuzzy(0.3f, 1.0f / 256.0f), (Bytes5{0x01, 0x00, 0x00, 0x00, 0x00}));  // truncated
  EXPECT_EQ(Fuzzy(15.0f, 2.0f), (Bytes5{0x00, 0x02, 0x00, 0x1E, 0x00}));
  // Non-finite and huge inputs stay defined (the sanitizer run checks for traps).
  Real(std::numeric_limits<float>::quiet_NaN());
  Fuzzy(std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(Fuzzy(1e30f, 1e30f)[1], 0xFF);
}

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
