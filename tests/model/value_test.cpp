// Kinds, constant conversion and the image encodings of Real and Fuzzy constants.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "model/value.h"

namespace {

std::array<uint8_t, 3> Real(float real) {
  std::array<uint8_t, 3> bytes{};
  EncodeReal(real, bytes.data());
  return bytes;
}

std::array<uint8_t, 5> Fuzzy(float value, float weight) {
  std::array<uint8_t, 5> bytes{};
  EncodeFuzzy(value, weight, bytes.data());
  return bytes;
}

using Bytes3 = std::array<uint8_t, 3>;
using Bytes5 = std::array<uint8_t, 5>;

const TypeKind kValueKinds[] = {TYPE_BYTE, TYPE_INTEGER, TYPE_ADDRESS, TYPE_REAL, TYPE_FUZZY};

TEST(Encoding, RealGoldenBytes) {
  EXPECT_EQ(Real(1.0f), (Bytes3{0x00, 0x00, 0x7F}));
  EXPECT_EQ(Real(-1.0f), (Bytes3{0x00, 0x80, 0x7F}));
  EXPECT_EQ(Real(2.5f), (Bytes3{0x00, 0x20, 0x80}));
  EXPECT_EQ(Real(100.0f), (Bytes3{0x00, 0x48, 0x85}));
  EXPECT_EQ(Real(0.0f), (Bytes3{0x00, 0x00, 0x00}));
  // The sign lives in bit 15 of the word; the exponent is that of +0.5.
  EXPECT_EQ(Real(-0.5f), (Bytes3{0x00, 0x80, 0x7E}));
  // -0.0 is not negative for the encoding.
  EXPECT_EQ(Real(-0.0f), (Bytes3{0x00, 0x00, 0x00}));
}

TEST(Encoding, RealDropsTheLowFractionBits) {
  // 1 + 2^-23: only the lowest fraction bit set, which the 15-bit word cannot hold.
  const float justAboveOne = std::nextafter(1.0f, 2.0f);
  EXPECT_EQ(Real(justAboveOne), (Bytes3{0x00, 0x00, 0x7F}));
  // 1 + 2^-15: the lowest fraction bit that survives.
  EXPECT_EQ(Real(1.0f + 1.0f / 32768.0f), (Bytes3{0x01, 0x00, 0x7F}));
}

TEST(Encoding, FuzzyGoldenBytes) {
  EXPECT_EQ(Fuzzy(10.0f, 1.0f), (Bytes5{0x00, 0x01, 0x00, 0x0A, 0x00}));
  EXPECT_EQ(Fuzzy(10.0f, 0.5f), (Bytes5{0x80, 0x00, 0x00, 0x05, 0x00}));
  EXPECT_EQ(Fuzzy(-3.0f, 1.0f), (Bytes5{0x00, 0x01, 0x00, 0xFD, 0xFF}));
}

TEST(Encoding, FuzzyTruncatesTowardZeroAndWraps) {
  // A written weight of 0 is 1/256; 0.3 x 1/256 x 256 = 0.3 truncates to 0.
  EXPECT_EQ(Fuzzy(0.3f, 1.0f / 256.0f), (Bytes5{0x01, 0x00, 0x00, 0x00, 0x00}));
  // -0.75 x 256 = -192 = 0xFFFF40 in 24 bits.
  EXPECT_EQ(Fuzzy(-0.75f, 1.0f), (Bytes5{0x00, 0x01, 0x40, 0xFF, 0xFF}));
  // Weight 2.0 (two added weights): integer part 2, fraction 0 (512 keeps its low byte 0).
  EXPECT_EQ(Fuzzy(15.0f, 2.0f), (Bytes5{0x00, 0x02, 0x00, 0x1E, 0x00}));
}

TEST(Encoding, NonFiniteInputsStayDefined) {
  // Only the absence of a trap matters here (the sanitizer run checks it).
  Real(std::numeric_limits<float>::quiet_NaN());
  Real(std::numeric_limits<float>::infinity());
  Fuzzy(std::numeric_limits<float>::infinity(), 1.0f);
  Fuzzy(1.0f, std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(Fuzzy(1e30f, 1e30f)[1], 0xFF);  // saturated, low byte of the largest value
}

TEST(Kinds, CompatibilityTable) {
  // Rows a, columns b, in the order Byte, Integer, Address, Real, Fuzzy.
  const KindMatch S = MATCH_SAME, F = MATCH_WIDEN_FIRST, W = MATCH_WIDEN_SECOND;
  const KindMatch table[5][5] = {
      {S, F, S, F, F},
      {W, S, W, F, F},
      {S, F, S, F, F},
      {W, W, W, S, F},
      {W, W, W, W, S},
  };
  for (int a = 0; a < 5; ++a) {
    for (int b = 0; b < 5; ++b) {
      EXPECT_EQ(CompareKinds(kValueKinds[a], kValueKinds[b]), table[a][b]) << a << "," << b;
    }
  }
}

TEST(Kinds, ReferenceAndOtherKinds) {
  EXPECT_EQ(CompareKinds(TYPE_RANGE, TYPE_RANGE), MATCH_SAME);
  EXPECT_EQ(CompareKinds(TYPE_VOID, TYPE_VOID), MATCH_SAME);
  EXPECT_EQ(CompareKinds(TYPE_RANGE, TYPE_RULE), MATCH_NONE);
  for (TypeKind value : kValueKinds) {
    for (TypeKind other : {TYPE_VOID, TYPE_ID, TYPE_VAR, TYPE_RANGE, TYPE_RULE, TYPE_CALL,
                           static_cast<TypeKind>(11), static_cast<TypeKind>(-1)}) {
      EXPECT_EQ(CompareKinds(value, other), MATCH_NONE);
      EXPECT_EQ(CompareKinds(other, value), MATCH_NONE);
    }
  }
}

TEST(Kinds, NamesAndSizes) {
  EXPECT_EQ(KindName(TYPE_VOID), "<void>");
  EXPECT_EQ(KindName(TYPE_RULE), "Rule");
  EXPECT_EQ(KindName(TYPE_ID), "ID");
  EXPECT_EQ(KindName(static_cast<TypeKind>(11)), "<none>");
  EXPECT_EQ(KindName(static_cast<TypeKind>(-5)), "<none>");
  const int32_t sizes[] = {0, 1, 2, 2, 3, 5, 0, 0, 9, 0, 0, 0};
  for (int kind = 0; kind <= 11; ++kind) EXPECT_EQ(KindSize(static_cast<TypeKind>(kind)), sizes[kind]);
}

TEST(Type, SizeOfArrays) {
  CType bytes;
  bytes.kind = TYPE_BYTE;
  bytes.flags = TYPE_FLAG_ARRAY;
  bytes.count = 10;
  EXPECT_EQ(bytes.Size(), 10);
  CType fuzzies = bytes;
  fuzzies.kind = TYPE_FUZZY;
  fuzzies.count = 4;
  EXPECT_EQ(fuzzies.Size(), 20);
  CType rule;
  rule.kind = TYPE_RULE;
  EXPECT_EQ(rule.Size(), 0);  // no rule referenced
}

TEST(Type, DescribeNumbersAndFlags) {
  CType type;
  EXPECT_EQ(type.Describe(), "<void>");
  type.kind = TYPE_ADDRESS;
  type.ref = 0x38;
  type.flags = TYPE_FLAG_READ | TYPE_FLAG_WRITE;
  EXPECT_EQ(type.Describe(), "Address 56<read><write>");
  type.kind = TYPE_ID;
  type.ref = 7;
  type.flags = TYPE_FLAG_INTERRUPT | TYPE_FLAG_ARRAY | TYPE_FLAG_READ;
  type.count = 3;
  EXPECT_EQ(type.Describe(), "Compiler ID<7><read><interrupt>[ 3 ]");
}

TEST(Type, AssignCopiesTheReferenceOnlyForReferenceKinds) {
  CType target;
  target.ref = 99;
  CType integer;
  integer.kind = TYPE_INTEGER;
  integer.ref = 5;
  integer.flags = TYPE_FLAG_ARRAY;
  integer.count = 4;
  target.Assign(integer);
  EXPECT_EQ(target.kind, TYPE_INTEGER);
  EXPECT_EQ(target.count, 4);
  EXPECT_EQ(target.ref, 99);
  CType address;
  address.kind = TYPE_ADDRESS;
  address.ref = 0x3B;
  target.Assign(address);
  EXPECT_EQ(target.ref, 0x3B);
}

// Converts a fresh copy of `value` to `kind` and returns it with the reported kind.
std::pair<TypeKind, CValue> Convert(CValue value, TypeKind kind) {
  const TypeKind reported = value.ConvertTo(kind);
  return {reported, value};
}

TEST(Value, IntegerToByteKeepsTheLowBits) {
  auto [kind, byte] = Convert(CValue::FromInteger(300), TYPE_BYTE);
  EXPECT_EQ(kind, TYPE_BYTE);
  EXPECT_EQ(byte.kind, TYPE_BYTE);
  EXPECT_EQ(byte.AsByte(), 44);
  EXPECT_EQ(Convert(CValue::FromInteger(-1), TYPE_BYTE).second.AsByte(), 255);
  // An Address request yields a Byte value while reporting Address.
  auto [addressKind, asAddress] = Convert(CValue::FromInteger(0x1234), TYPE_ADDRESS);
  EXPECT_EQ(addressKind, TYPE_ADDRESS);
  EXPECT_EQ(asAddress.kind, TYPE_BYTE);
  EXPECT_EQ(asAddress.AsByte(), 0x34);
}

TEST(Value, RealTruncatesTowardZero) {
  EXPECT_EQ(Convert(CValue::FromReal(-1.5f), TYPE_INTEGER).second.AsInteger(), -1);
  EXPECT_EQ(Convert(CValue::FromReal(-1.5f), TYPE_BYTE).second.AsByte(), 255);
  EXPECT_EQ(Convert(CValue::FromReal(2.99f), TYPE_BYTE).second.AsByte(), 2);
  auto [kind, fuzzy] = Convert(CValue::FromReal(2.5f), TYPE_FUZZY);
  EXPECT_EQ(kind, TYPE_FUZZY);
  EXPECT_EQ(fuzzy.AsReal(), 2.5f);
  EXPECT_EQ(fuzzy.weight, 1.0f);
}

TEST(Value, OutOfRangeRealsSaturate) {
  EXPECT_EQ(Convert(CValue::FromReal(1e20f), TYPE_INTEGER).second.AsInteger(),
            std::numeric_limits<int32_t>::max());
  EXPECT_EQ(Convert(CValue::FromReal(-1e20f), TYPE_INTEGER).second.AsInteger(),
            std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Convert(CValue::FromReal(std::nanf("")), TYPE_INTEGER).second.AsInteger(), 0);
  // A zero weight reads as infinity or NaN; the conversion stays defined.
  EXPECT_EQ(Convert(CValue::FromFuzzy(0.0f, 0.0f), TYPE_INTEGER).second.AsInteger(), 0);
}

TEST(Value, FuzzyReadsAsValueOverWeight) {
  auto [kind, real] = Convert(CValue::FromFuzzy(10.0f, 0.5f), TYPE_REAL);
  EXPECT_EQ(kind, TYPE_REAL);
  EXPECT_EQ(real.AsReal(), 20.0f);
  EXPECT_EQ(Convert(CValue::FromFuzzy(-7.0f, 2.0f), TYPE_INTEGER).second.AsInteger(), -3);
  EXPECT_EQ(Convert(CValue::FromFuzzy(600.0f, 2.0f), TYPE_BYTE).second.AsByte(), 44);
}

TEST(Value, WideningIntoFuzzyGivesWeightOne) {
  auto [kind, fuzzy] = Convert(CValue::FromByte(7), TYPE_FUZZY);
  EXPECT_EQ(kind, TYPE_FUZZY);
  EXPECT_EQ(fuzzy.AsReal(), 7.0f);
  EXPECT_EQ(fuzzy.weight, 1.0f);
  EXPECT_EQ(Convert(CValue::FromByte(200), TYPE_INTEGER).second.AsInteger(), 200);
  EXPECT_EQ(Convert(CValue::FromInteger(-40000), TYPE_REAL).second.AsReal(), -40000.0f);
}

TEST(Value, SameOrIncompatibleKindsChangeNothing) {
  CValue address;
  address.kind = TYPE_ADDRESS;
  address.ref = 0x3B;
  address.value = 0xAB;
  EXPECT_EQ(address.ConvertTo(TYPE_INTEGER), TYPE_ADDRESS);
  EXPECT_EQ(address.kind, TYPE_ADDRESS);
  EXPECT_EQ(address.value, 0xABu);

  CValue byte = CValue::FromByte(9);
  EXPECT_EQ(byte.ConvertTo(TYPE_ADDRESS), TYPE_ADDRESS);  // Byte and Address are the same
  EXPECT_EQ(byte.kind, TYPE_BYTE);
  EXPECT_EQ(byte.ConvertTo(TYPE_RANGE), TYPE_VOID);
  EXPECT_EQ(byte.kind, TYPE_BYTE);
  EXPECT_EQ(byte.AsByte(), 9);
}

TEST(Value, AssignCopiesTheBitsOfTheNewKind) {
  CValue target = CValue::FromInteger(0x12345678);
  target.Assign(CValue::FromByte(0xAB));
  EXPECT_EQ(target.kind, TYPE_BYTE);
  EXPECT_EQ(target.AsByte(), 0xAB);
  target.Assign(CValue::FromFuzzy(3.0f, 0.25f));
  EXPECT_EQ(target.AsReal(), 3.0f);
  EXPECT_EQ(target.weight, 0.25f);
}

}  // namespace
