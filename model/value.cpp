#include "model/value.h"

#include <bit>
#include <cmath>
#include <limits>

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
