// Typed compile-time constants.
#pragma once

#include <cstdint>

#include "model/type.h"

class CValue : public CType {
 public:
  CValue() = default;

  static CValue FromByte(uint8_t byte);
  static CValue FromInteger(int32_t integer);
  static CValue FromReal(float real);
  static CValue FromFuzzy(float value, float weight);

  using CType::Assign;
  // The type part as CType::Assign, then the bits the new kind uses.
  void Assign(const CValue& other);
  // Converts the constant in place; returns the resulting kind, or 0 when incompatible.
  TypeKind ConvertTo(TypeKind target);

  uint8_t AsByte() const { return static_cast<uint8_t>(value & 0xFF); }
  int32_t AsInteger() const { return static_cast<int32_t>(value); }
  float AsReal() const;  // also the value part of a Fuzzy
  // value / weight: how a Fuzzy constant reads as a plain number.
  float Crisp() const { return AsReal() / weight; }

  void SetByte(uint8_t byte);
  void SetInteger(int32_t integer);
  void SetReal(float real);
  void SetFuzzy(float fuzzyValue, float fuzzyWeight);

  uint32_t value = 0;  // raw bits: low byte (Byte), int32 (Integer), float (Real, Fuzzy value)
  float weight = 0.0f;  // Fuzzy only
};

// Truncates toward zero; NaN gives 0 and values beyond the int32 range saturate.
int32_t TruncateToInt32(double number);

