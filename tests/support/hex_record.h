// Intel HEX files in tests: one data record as the hex writer writes it, and a file's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "image/intellec_file.h"
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

// Every data byte of a hex file by address, as the programmer reads it.
inline std::map<unsigned, uint8_t> HexBytes(const std::string& path) {
  std::map<unsigned, uint8_t> bytes;
  CIntellecFile file;
  for (bool more = file.Open(path); more; more = file.ReadRecord())
    for (size_t i = 0; i < file.data.size(); ++i) bytes[file.address + i] = file.data[i];
  file.Close();
  return bytes;
}
