// One Intel HEX data record as the hex writer writes it, for tests that make their own files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/format.h"

inline std::string Record(unsigned address, const std::vector<uint8_t>& bytes) {
  unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
  std::string line = Format(":%02x%04x00", static_cast<unsigned>(bytes.size()), address);
  for (uint8_t byte : bytes) {
    line += Format("%02x", byte);
    sum += byte;
  }
  return line + Format("%02x\n", (0x100 - (sum & 0xFF)) & 0xFF);
}
