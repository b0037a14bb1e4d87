#include "model/value.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

// Truncates toward zero into 64 bits; NaN gives 0, values beyond the range saturate.
int64_t TruncateToInt64(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (number <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(number);
}

}  // namespace

int32_t TruncateToInt32(double number) {
  if (std::isnan(number)) return 0;
  if (number >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (number <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(number);
}

CValue CValue::FromByte(uint8_t byte) {
  CValue result;
  result.SetByte(byte);
  return result;
}

CValue CValue::FromInteger(int32_t integer) {
  CValue result;
  result.SetInteger(integer);
  return result;
}

CValue CValue::FromReal(float real) {
  CValue result;
  result.SetReal(real);
  return result;
}

CValue CValue::FromFuzzy(float fuzzyValue, float fuzzyWeight) {
  CValue result;
  result.SetFuzzy(fuzzyValue, fuzzyWeight);
  return result;
}

float CValue::AsReal() const { return std::bit_cast<float>(value); }

void CValue::SetByte(uint8_t byte) {
  kind = TYPE_BYTE;
  value = byte;
}

void CValue::SetInteger(int32_t integer) {
  kind = TYPE_INTEGER;
  value = static_cast<uint32_t>(integer);
}

void CValue::SetReal(float real) {
  kind = TYPE_REAL;
  value = std::bit_cast<uint32_t>(real);
}

void CValue::SetFuzzy(float fuzzyValue, float fuzzyWeight) {
  kind = TYPE_FUZZY;
  value = std::bit_cast<uint32_t>(fuzzyValue);
  weight = fuzzyWeight;
}

void CValue::Assign(const CValue& other) {
  CType::Assign(other);
  switch (kind) {
    case TYPE_BYTE:
      value = (value & ~0xFFu) | (other.value & 0xFFu);
      break;
    case TYPE_INTEGER:
    case TYPE_REAL:
      value = other.value;
      break;
    case TYPE_FUZZY:
      value = other.value;
      weight = other.weight;
      break;
    default:
      break;
  }
}

TypeKind CValue::ConvertTo(TypeKind target) {
  const KindMatch match = Compatible(target);
  if (match == MATCH_SAME) return target;
  if (match == MATCH_NONE) return TYPE_VOID;
  if (kind == TYPE_ADDRESS) return TYPE_ADDRESS;
  // A reference is converted when its code runs; here only compatibility counts.
  if (kind == TYPE_VAR || kind == TYPE_CALL) return target;

  const bool toByte = target == TYPE_BYTE || target == TYPE_ADDRESS;
  switch (kind) {
    case TYPE_BYTE: {
      const uint8_t byte = AsByte();
      if (target == TYPE_INTEGER) SetInteger(byte);
      if (target == TYPE_REAL) SetReal(byte);
      if (target == TYPE_FUZZY) SetFuzzy(byte, 1.0f);
      break;
    }
    case TYPE_INTEGER: {
      const int32_t integer = AsInteger();
      if (toByte) SetByte(static_cast<uint8_t>(integer & 0xFF));
      if (target == TYPE_REAL) SetReal(static_cast<float>(integer));
      if (target == TYPE_FUZZY) SetFuzzy(static_cast<float>(integer), 1.0f);
      break;
    }
    case TYPE_REAL: {
      const float real = AsReal();
      if (toByte) SetByte(static_cast<uint8_t>(TruncateToInt32(real) & 0xFF));
      if (target == TYPE_INTEGER) SetInteger(TruncateToInt32(real));
      if (target == TYPE_FUZZY) SetFuzzy(real, 1.0f);
      break;
    }
    case TYPE_FUZZY: {
      const float crisp = Crisp();
      if (toByte) SetByte(static_cast<uint8_t>(TruncateToInt32(crisp) & 0xFF));
      if (target == TYPE_INTEGER) SetInteger(TruncateToInt32(crisp));
      if (target == TYPE_REAL) SetReal(crisp);
      break;
    }
    default:
      break;
  }
  return target;
}

void EncodeReal(float real, uint8_t out[3]) {
  const uint32_t pattern = std::bit_cast<uint32_t>(real);
  uint32_t word = (pattern >> 8) & 0x7FFF;
  if (!(real >= 0.0f)) word |= 0x8000;  // negative (and NaN); -0.0 counts as positive
  out[0] = static_cast<uint8_t>(word & 0xFF);
  out[1] = static_cast<uint8_t>(word >> 8);
  out[2] = static_cast<uint8_t>((pattern >> 23) & 0xFF);
}

void EncodeFuzzy(float fuzzyValue, float fuzzyWeight, uint8_t out[5]) {
  const double weight = fuzzyWeight;
  const uint64_t fixedWeight = static_cast<uint64_t>(TruncateToInt64(weight * 256.0));
  const uint64_t wholeWeight = static_cast<uint64_t>(TruncateToInt64(weight));
  const uint64_t weighted =
      static_cast<uint64_t>(TruncateToInt64(static_cast<double>(fuzzyValue) * weight * 256.0));
  out[0] = static_cast<uint8_t>(fixedWeight & 0xFF);
  out[1] = static_cast<uint8_t>(wholeWeight & 0xFF);
  out[2] = static_cast<uint8_t>(weighted & 0xFF);
  out[3] = static_cast<uint8_t>((weighted >> 8) & 0xFF);
  out[4] = static_cast<uint8_t>((weighted >> 16) & 0xFF);
}
