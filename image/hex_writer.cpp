// CTarget::WriteHexFile: the finished image as an Intel HEX file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "image/hex_record.h"
#include "image/target.h"
#include "platform/format.h"
#include "platform/system_error.h"
#include "platform/user_interface.h"

namespace {

constexpr int kLineBytes = 16;
constexpr const char* kEndRecord = ":00000001ff";

std::string HexPathFor(const std::string& path) {
  size_t dot = path.rfind('.');
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ".hex";
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      if (wrote == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

// A new, empty file beside `path` with the permissions a plain create would give.
int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  temporary = path + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return -1;
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  return fd;
}

}  // namespace

// A whole line lies in memory that nothing uses (between the header and the
// regions, or between the regions); such lines are left out of the file.
bool CTarget::IsUnusedLine(int offset) const {
  auto overlaps = [offset](int first, int last) {
    return first < last && offset < last && first < offset + kLineBytes;
  };
  return !overlaps(0, kHeaderSize) && !overlaps(dataStart, dataCursor) &&
         !overlaps(codeRegionStart, codeCursor);
}

bool CTarget::WriteHexFile(std::string& path) {
  path = HexPathFor(path);
  return WriteHexFileAt(path);
}

bool CTarget::WriteHexFileAt(const std::string& path) {
  if (image.empty()) {
    errorText = "No target image to write.";
    return false;
  }
  // A folder in the way can never be replaced: say so as for any file that can not be created.
  struct stat existing;
  bool blocked = ::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode);
  std::string temporary;
  int fd = blocked ? -1 : CreateTemporaryBeside(path, temporary);
  if (fd < 0) {
    errorText = Format("Can not open output hex file '%s'", path.c_str());
    UserInterface().ShowMessage(errorText);
    return false;
  }
  auto abandon = [&]() {
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  };

  if (EmitInstruction(OP_END) < 0) {
    errorText = Format("Code memory full: no room for the end instruction at 0x%04x.", base + codeCursor);
    return abandon();
  }
  PatchWord(base + kCodeWordOffset, codeStart);
  PatchWord(base + kStartWordOffset, startAddress);

  const int top = codeCursor > dataCursor ? codeCursor : dataCursor;
  std::string text;
  text.reserve(static_cast<size_t>(top) / kLineBytes * 44 + 64);
  for (int offset = 0; offset < top; offset += kLineBytes) {
    if (IsUnusedLine(offset)) continue;
    int count = top - offset < kLineBytes ? top - offset : kLineBytes;
    AppendHexRecord(text, static_cast<unsigned>(base + offset), image.data() + offset, static_cast<std::size_t>(count));
  }
  text += kEndRecord;

  if (!WriteAll(fd, text) || ::fsync(fd) != 0) {
    int code = errno;
    errorText = Format("Can not write output hex file '%s': %s", path.c_str(), SystemErrorText(code).c_str());
    UserInterface().ShowMessage(errorText);
    return abandon();
  }
  if (::close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
    int code = errno;
    ::unlink(temporary.c_str());
    errorText = Format("Can not write output hex file '%s': %s", path.c_str(), SystemErrorText(code).c_str());
    UserInterface().ShowMessage(errorText);
    return false;
  }
  return true;
}
