#include "image/intellec_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/system_error.h"
#include "platform/user_interface.h"

namespace {

constexpr size_t kBufferSize = 64 * 1024;

const char* const kEndOfFile = "End of File";
const char* const kNotIntellec = "Error in file; not Intellec format";
const char* const kReadError = "Error reading file";
const char* const kBadDigit = "Invalid character in file";

bool IsBlank(uint8_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int HexDigitValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int ClampToInt(int64_t value) { return value > INT_MAX ? INT_MAX : static_cast<int>(value); }

void ShowSystemError(int code) {
  UserInterface().ShowMessage(SystemErrorText(code), std::string(), MessageIcon::Information);
}

}  // namespace

CIntellecFile::~CIntellecFile() {
  if (handle >= 0) ::close(handle);
}

bool CIntellecFile::Open(const std::string& path) {
  if (handle >= 0) Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int code = errno;
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    // A folder opens on this system but is no file to read.
    ::close(fd);
    fd = -1;
    code = EISDIR;
  }
  if (fd < 0) {
    message = SystemErrorText(code);
    ShowSystemError(code);
    return false;
  }
  handle = fd;
  buffer.assign(kBufferSize, 0);
  bufferPos = bufferEnd = 0;
  consumed = 0;
  stopped = 0;
  return ReadRecord();
}

CIntellecFile::ReadResult CIntellecFile::ReadChar(uint8_t& c) {
  if (handle < 0) return ReadResult::End;
  if (bufferPos == bufferEnd) {
    ssize_t got;
    do {
      got = ::read(handle, buffer.data(), buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
      readErrno = errno;
      return ReadResult::Failed;
    }
    if (got == 0) return ReadResult::End;
    bufferPos = 0;
    bufferEnd = static_cast<size_t>(got);
  }
  c = buffer[bufferPos++];
  ++consumed;
  return ReadResult::Ok;
}

bool CIntellecFile::ReadHexByte(uint8_t& value) {
  int digits[2];
  for (int& digit : digits) {
    uint8_t c = 0;
    switch (ReadChar(c)) {
      case ReadResult::End:
        message = kEndOfFile;
        return false;
      case ReadResult::Failed:
        message = kReadError;
        return false;
      case ReadResult::Ok:
        break;
    }
    digit = HexDigitValue(c);
    if (digit < 0) {
      message = kBadDigit;
      return false;
    }
  }
  value = static_cast<uint8_t>(digits[0] << 4 | digits[1]);
  return true;
}

bool CIntellecFile::ReadRecord() {
  if (stopped) {
    message = kEndOfFile;
    return false;
  }
  uint8_t c = 0;
  for (;;) {
    ReadResult result = ReadChar(c);
    if (result == ReadResult::End) {
      message = kEndOfFile;
      stopped = 1;
      return false;
    }
    if (result == ReadResult::Failed) {
      // The caller reports message; the box shows the system's own words.
      message = SystemErrorText(readErrno);
      ShowSystemError(readErrno);
      return false;
    }
    if (!IsBlank(c)) break;
  }
  if (c != ':') {
    message = kNotIntellec;
    return false;
  }

  uint8_t newCount = 0;
  if (!ReadHexByte(newCount)) return false;
  if (newCount == 0) {
    // The end record, or any record without data, ends the file.
    stopped = 1;
    message = kEndOfFile;
    return false;
  }
  uint8_t high = 0, low = 0, type = 0;
  if (!ReadHexByte(high) || !ReadHexByte(low) || !ReadHexByte(type)) return false;
  // Every record with data is taken as data, whatever its type.
  count = newCount;
  address = static_cast<uint16_t>(high << 8 | low);
  data.assign(count, 0);
  for (uint8_t& byte : data) {
    if (!ReadHexByte(byte)) return false;
  }
  return ReadHexByte(checksum);
}

bool CIntellecFile::Close() {
  stopped = 1;
  if (handle < 0) return true;
  int fd = handle;
  handle = -1;
  if (::close(fd) != 0) {
    int code = errno;
    message = SystemErrorText(code);
    ShowSystemError(code);
    return false;
  }
  return true;
}

int CIntellecFile::FileSize() const {
  if (handle < 0) return 0;
  struct stat info {};
  if (::fstat(handle, &info) != 0) return 0;
  return ClampToInt(info.st_size);
}

int CIntellecFile::Position() const { return ClampToInt(consumed); }
