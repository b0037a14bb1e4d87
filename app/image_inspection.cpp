#include "app/image_inspection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/format.h"
#include "platform/system_error.h"
#include "image/instruction_set.h"
#include "image/intellec_file.h"

namespace {

int WordAt(const LoadedImage& image, int address) {
  return image.bytes[address & 0xFFFF] | image.bytes[(address + 1) & 0xFFFF] << 8;
}

bool Loaded(const LoadedImage& image, int first, int count) {
  for (int a = first; a < first + count; ++a)
    if (a > 0xFFFF || !image.loaded[a]) return false;
  return true;
}

// Where the instruction at `address` ends, or 0 when it runs past what was loaded.
int NextInstruction(const LoadedImage& image, int address) {
  if (!Loaded(image, address, 2)) return 0;
  int next = address + 2 + image.bytes[address + 1];
  return Loaded(image, address, next - address) ? next : 0;
}

}  // namespace

bool LoadImage(const std::string& path, LoadedImage& image, std::string& error) {
  // Opened here first: the reader would show its failure in a box of its own.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int code = errno;
  struct stat info {};
  if (fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) code = EISDIR;
  if (fd >= 0) ::close(fd);
  if (fd < 0 || code == EISDIR) {
    error = Format("cannot open '%s': %s", path.c_str(), SystemErrorText(code).c_str());
    return false;
  }
  CIntellecFile file;
  bool record = file.Open(path);
  int records = 0;
  for (; record; record = file.ReadRecord(), ++records) {
    unsigned sum = file.count + (file.address >> 8) + (file.address & 0xFF) + file.checksum;
    for (uint8_t byte : file.data) sum += byte;
    if ((sum & 0xFF) != 0) {
      // The reader keeps no record type, so the sum is that of a data record.
      error = Format("record %d (address %04x) is no data record with a right checksum", records + 1, file.address);
      return false;
    }
    for (size_t i = 0; i < file.data.size(); ++i) {
      const int address = (file.address + static_cast<int>(i)) & 0xFFFF;
      image.bytes[address] = file.data[i];
      image.loaded[address] = true;
    }
  }
  if (!file.stopped) {
    error = "not an Intel HEX file: " + file.message;
    return false;
  }
  if (records == 0) {
    error = "it holds no data";
    return false;
  }
  if (!Loaded(image, kImageBase, kHeaderSize)) {
    error = Format("no header at %04x", kImageBase);
    return false;
  }
  image.codeStart = WordAt(image, kImageBase + kCodeWordOffset);
  image.startAddress = WordAt(image, kImageBase + kStartWordOffset);
  if (image.codeStart < kImageBase + kHeaderSize || !image.loaded[image.codeStart]) {
    error = Format("its CODE word %04x points at no code", image.codeStart);
    return false;
  }
  for (int address = image.codeStart; address != 0;) {
    if (image.bytes[address] > OP_END) {
      error = Format("byte %02x at %04x is no instruction", image.bytes[address], address);
      return false;
    }
    const int next = NextInstruction(image, address);
    if (next != 0 && image.bytes[address] == OP_END) {
      image.codeEnd = next;
      return true;
    }
    address = next;
  }
  error = "its code has no end instruction";
  return false;
}

std::string DecodeCode(const LoadedImage& image) {
  std::string text;
  for (int address = image.codeStart; address < image.codeEnd; address += 2 + image.bytes[address + 1])
    text += Format("%04x: ", address) + ListInstruction(&image.bytes[address], image.codeEnd - address);
  return text;
}

std::string DescribeImage(const LoadedImage& image) {
  std::string text = Format("Base:  %04x\n", kImageBase);
  text += Format("%04x: CODE  => %04x\n", kImageBase + kCodeWordOffset, image.codeStart);
  text += Format("%04x: START => %04x%s\n", kImageBase + kStartWordOffset, image.startAddress,
                 image.startAddress == 0 ? " (no entry point)" : "");
  text += Format("%04x: INTERRUPT VECTORS:", kImageBase + kVectorOffset);
  bool any = false;
  for (int n = 0; n < kVectorCount; ++n) {
    const int vector = WordAt(image, kImageBase + kVectorOffset + 2 * n);
    if (vector == 0) continue;
    text += Format("\n\t%02d => %04x (%s)", n, vector, kVectorNames[n]);
    any = true;
  }
  text += any ? "\n" : " none set\n";
  text += Format("\nCode <%04x...%04x>:\n", image.codeStart, image.codeEnd - 1);
  text += DecodeCode(image);

  // Everything else that was loaded: global data and tables (their bounds are the source's).
  text += "\nData and tables:\n";
  bool none = true;
  for (int line = kImageBase + kHeaderSize; line <= 0xFFFF;) {
    if (!image.loaded[line] || (line >= image.codeStart && line < image.codeEnd)) {
      ++line;
      continue;
    }
    none = false;
    std::string bytes;
    int address = line;
    for (; address <= 0xFFFF && address < line + 16 && image.loaded[address] &&
           !(address >= image.codeStart && address < image.codeEnd);
         ++address)
      bytes += Format(" %02x", image.bytes[address]);
    text += Format("%04x:%s\n", line, bytes.c_str());
    line = address;
  }
  if (none) text += "  (none)\n";
  return text;
}
