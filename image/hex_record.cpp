#include "image/hex_record.h"

#include "platform/format.h"

void AppendHexRecord(std::string& out, unsigned address, const uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  unsigned sum = static_cast<unsigned>(count) + (address >> 8 & 0xFF) + (address & 0xFF);
  out += Format(":%02x%04x00", static_cast<unsigned>(count), address & 0xFFFF);
  for (std::size_t i = 0; i < count; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0xF];
    sum += bytes[i];
  }
  out += Format("%02x\n", (0x100 - (sum & 0xFF)) & 0xFF);
}
