// The image encodings of Real and Fuzzy constants.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "image/encoding.h"

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

}  // namespace
