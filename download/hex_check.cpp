#include "download/hex_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "download/programmer.h"
#include "platform/format.h"
#include "platform/system_error.h"

namespace {

// Hex images of a 64 K address space are well below this; anything larger is no image of ours
// and is not read whole.
constexpr off_t kMaxHexFileBytes = 4 * 1024 * 1024;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The file's bytes; false with message when it cannot be read.
bool ReadWhole(const std::string& path, std::string& contents, std::string& message) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    message = Format("%s: %s", path.c_str(), SystemErrorText(errno).c_str());
    return false;
  }
  struct stat info {};
  int error = 0;
  if (::fstat(fd, &info) != 0)
    error = errno;
  else if (S_ISDIR(info.st_mode))
    error = EISDIR;
  if (!error && !S_ISREG(info.st_mode)) {
    ::close(fd);
    message = Format("%s: not a regular file", path.c_str());
    return false;
  }
  if (!error && info.st_size > kMaxHexFileBytes) {
    ::close(fd);
    message = Format("%s: too large for a hex image (%lld bytes)", path.c_str(),
                     static_cast<long long>(info.st_size));
    return false;
  }
  char chunk[8192];
  while (!error) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    contents.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  if (error) message = Format("%s: %s", path.c_str(), SystemErrorText(error).c_str());
  return error == 0;
}

// One line taken apart: its bytes after the ':' (count, address, type, data, checksum).
struct Record {
  std::vector<uint8_t> bytes;
  unsigned count() const { return bytes[0]; }
  unsigned address() const { return static_cast<unsigned>(bytes[1]) << 8 | bytes[2]; }
  unsigned type() const { return bytes[3]; }
};

// Parses one non-blank line; false with what is wrong with it.
bool ParseRecord(const std::string& line, Record& record, std::string& problem) {
  size_t at = 0;
  while (at < line.size() && IsBlank(line[at])) ++at;
  size_t end = line.size();
  while (end > at && IsBlank(line[end - 1])) --end;
  if (line[at] != ':') {
    problem = "not a hex record (records start with ':')";
    return false;
  }
  ++at;
  record.bytes.clear();
  for (; at < end; at += 2) {
    if (at + 1 >= end) {
      problem = "malformed record: an odd number of hex digits";
      return false;
    }
    const int high = HexDigitValue(line[at]), low = HexDigitValue(line[at + 1]);
    if (high < 0 || low < 0) {
      const char bad = high < 0 ? line[at] : line[at + 1];
      problem = bad >= 0x20 && bad < 0x7f ? Format("malformed record: '%c' is no hex digit", bad)
                                          : Format("malformed record: byte 0x%02x is no hex digit",
                                                   static_cast<unsigned char>(bad));
      return false;
    }
    record.bytes.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  if (record.bytes.size() < 5) {
    problem = "malformed record: too short for count, address, type and checksum";
    return false;
  }
  const size_t data = record.bytes.size() - 5;
  if (data != record.count()) {
    problem = Format("malformed record: its count says %u data bytes, the line holds %zu", record.count(), data);
    return false;
  }
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < record.bytes.size(); ++i) sum += record.bytes[i];
  const unsigned expected = (0x100 - (sum & 0xFF)) & 0xFF;
  if (record.bytes.back() != expected) {
    problem = Format("checksum 0x%02x does not match the record (its bytes need 0x%02x)", record.bytes.back(),
                     expected);
    return false;
  }
  return true;
}

}  // namespace

HexCheck CheckHexFile(const std::string& path, HexDestination destination) {
  HexCheck check;
  std::string contents;
  if (!ReadWhole(path, contents, check.message)) return check;
  const char* file = path.c_str();

  int lineNumber = 0;
  int endLine = 0;
  bool firstData = true;
  bool looksLikeFlash = false;
  size_t start = 0;
  while (start < contents.size()) {
    // Lines end with LF, CR LF or a lone CR, as the reader skips any of them.
    size_t stop = contents.find_first_of("\r\n", start);
    if (stop == std::string::npos) stop = contents.size();
    const std::string line = contents.substr(start, stop - start);
    start = stop + (contents.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
    ++lineNumber;
    if (line.find_first_not_of(" \t\r\v\f") == std::string::npos) continue;

    Record record;
    std::string problem;
    const bool parsed = ParseRecord(line, record, problem);
    if (endLine) {
      // The download stops at the end record; records after it would silently be dropped.
      if (parsed && record.count() > 0) {
        check.message = Format("%s:%d: data after the end record on line %d would never be sent", file,
                               lineNumber, endLine);
        return check;
      }
      continue;
    }
    if (!parsed) {
      check.message = Format("%s:%d: %s", file, lineNumber, problem.c_str());
      return check;
    }
    // A record without data ends the reading, whatever its type.
    if (record.count() == 0) {
      endLine = lineNumber;
      continue;
    }
    if (record.type() != 0x00) {
      check.message = Format("%s:%d: record type %02x cannot be sent: only data records (type 00) within "
                             "64 K are, and extended or start address records are not",
                             file, lineNumber, record.type());
      return check;
    }
    const unsigned address = record.address();
    const unsigned past = address + record.count();
    if (firstData) looksLikeFlash = address == 0;
    if (destination == HexDestination::Sram) {
      if (address < kSramImageBase) {
        check.message = Format("%s:%d: record at 0x%04x lies below 0x%04x, where the chip keeps its registers "
                               "and I/O space; SRAM images start at 0x%04x",
                               file, lineNumber, address, kSramImageBase, kSramImageBase);
        if (looksLikeFlash)
          check.message += " (this looks like a Flash image, such as the interpreter firmware: it is "
                           "installed into Flash, not downloaded into SRAM)";
        return check;
      }
      if (past > kAddressSpace) {
        check.message = Format("%s:%d: record at 0x%04x with %u bytes runs past 0xffff, the end of the "
                               "64 K address space",
                               file, lineNumber, address, record.count());
        return check;
      }
    }
    if (firstData || address < check.lowest) check.lowest = address;
    if (firstData || past > check.highest) check.highest = past;
    firstData = false;
    ++check.records;
    check.dataBytes += static_cast<int>(record.count());
    check.sentBytes += record.count() == 1 ? 2 : static_cast<int>(record.count());
  }
  if (check.records == 0) {
    check.message = Format("%s:%d: no data records%s", file, endLine ? endLine : lineNumber > 0 ? lineNumber : 1,
                           endLine ? " before the end record" : "");
    return check;
  }
  if (!endLine) {
    check.message = Format("%s:%d: no end record (:00000001ff); the file may have been cut short", file,
                           lineNumber);
    return check;
  }
  check.ok = true;
  return check;
}

int EstimatedSramMilliseconds(const HexCheck& check, int baud) {
  const double byteMs = baud > 0 ? 10000.0 / baud : 0;  // start, 8 data and stop bit
  // A pause always lasts a little longer than asked (measured: about half a millisecond).
  const double pauseMs = kMinPacingDelayMs + 0.5;
  // Every byte waits a pause after it; every block adds its address command with its answer,
  // the block command's own pause, and the sum.
  const double perRecord = pauseMs + 7 * byteMs + 1;
  const double total = check.sentBytes * (pauseMs + byteMs) + check.records * perRecord;
  return static_cast<int>(total + 0.5);
}
