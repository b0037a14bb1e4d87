// One Intel HEX data record, as the hex writer writes it: ":", count, address, type 00, the
// bytes, the checksum, a line feed (lower-case digits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

void AppendHexRecord(std::string& out, unsigned address, const uint8_t* bytes, std::size_t count);

inline std::string HexRecord(unsigned address, const uint8_t* bytes, std::size_t count) {
  std::string record;
  AppendHexRecord(record, address, bytes, count);
  return record;
}
