#include "image/encoding.h"

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
