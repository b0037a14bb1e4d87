// Intel HEX files in tests: one data record as the hex writer writes it, and a file's bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "image/hex_record.h"
#include "image/intellec_file.h"
#include "platform/format.h"

inline std::string Record(unsigned address, const std::vector<uint8_t>& bytes) {
  return HexRecord(address, bytes.data(), bytes.size());
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
