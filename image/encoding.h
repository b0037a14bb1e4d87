// How the image stores Real and Fuzzy constants.
#pragma once

#include <cstdint>

// Real constant in the image: a word (15 fraction bits, sign in bit 15), low byte first, then
// the biased exponent.  1.0 gives 00 00 7F.
void EncodeReal(float real, uint8_t out[3]);
// Fuzzy constant in the image: the weight in unsigned 8.8 fixed point (fraction byte first),
// then value x weight in signed 16.8 fixed point, 24 bits, low byte first.
void EncodeFuzzy(float value, float weight, uint8_t out[5]);
