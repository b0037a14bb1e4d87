#include "platform/format.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

// The conversions the program's texts use nearly always: %d %i %u %x %X %c %s %%, with an
// optional '0' flag and a width. These are written here directly; anything else (other flags,
// a precision, a length modifier, floating point) goes to vsnprintf. Writing the common ones
// here matters because the listing formats a line or two per instruction and symbol, and
// vsnprintf's set-up costs more than the line itself.
// The text being made: on the stack while it is short, as nearly every line is.
class Output {
 public:
  void append(const char* text, std::size_t length) {
    if (size + length > sizeof small) Spill(length);
    if (spilled) {
      big.append(text, length);
    } else {
      std::memcpy(small + size, text, length);
      size += length;
    }
  }
  void append(std::size_t count, char c) {
    if (size + count > sizeof small) Spill(count);
    if (spilled) {
      big.append(count, c);
    } else {
      std::memset(small + size, c, count);
      size += count;
    }
  }
  void push_back(char c) { append(1, c); }
  std::string Take() { return spilled ? std::move(big) : std::string(small, size); }

 private:
  void Spill(std::size_t more) {
    if (spilled) return;
    big.reserve(size + more + sizeof small);
    big.assign(small, size);
    spilled = true;
  }

  char small[256];
  std::size_t size = 0;
  bool spilled = false;
  std::string big;
};

class FastFormatter {
 public:
  explicit FastFormatter(Output& out) : text(out) {}

  // False when the format needs vsnprintf (nothing of args has been read wrongly then:
  // the caller starts over from its own copy).
  bool Run(const char* format, va_list args) {
    for (const char* p = format; *p != '\0';) {
      if (*p != '%') {
        const char* next = std::strchr(p, '%');
        const std::size_t length = next != nullptr ? static_cast<std::size_t>(next - p) : std::strlen(p);
        text.append(p, length);
        p += length;
        continue;
      }
      ++p;
      bool zero = false;
      if (*p == '0') {
        zero = true;
        ++p;
      }
      int width = 0;
      while (*p >= '0' && *p <= '9') {
        width = width * 10 + (*p - '0');
        if (width > 4096) return false;
        ++p;
      }
      switch (*p) {
        case 'd':
        case 'i': {
          const int value = va_arg(args, int);
          const bool negative = value < 0;
          const unsigned magnitude = negative ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
          Number(magnitude, 10, false, negative, width, zero);
          break;
        }
        case 'u':
          Number(va_arg(args, unsigned), 10, false, false, width, zero);
          break;
        case 'x':
          Number(va_arg(args, unsigned), 16, false, false, width, zero);
          break;
        case 'X':
          Number(va_arg(args, unsigned), 16, true, false, width, zero);
          break;
        case 'c': {
          if (zero) return false;
          const char c = static_cast<char>(va_arg(args, int));
          Pad(width - 1, ' ');
          text.push_back(c);
          break;
        }
        case 's': {
          if (zero) return false;
          const char* s = va_arg(args, const char*);
          if (s == nullptr) return false;  // vsnprintf's own way with a null text
          const std::size_t length = std::strlen(s);
          Pad(width - static_cast<int>(length), ' ');
          text.append(s, length);
          break;
        }
        case '%':
          if (zero || width != 0) return false;
          text.push_back('%');
          break;
        default:
          return false;
      }
      ++p;
    }
    return true;
  }

 private:
  void Pad(int count, char c) {
    if (count > 0) text.append(static_cast<std::size_t>(count), c);
  }

  void Number(unsigned value, unsigned base, bool upper, bool negative, int width, bool zero) {
    char digits[16];
    int count = 0;
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    do {
      digits[count++] = alphabet[value % base];
      value /= base;
    } while (value != 0);
    const int length = count + (negative ? 1 : 0);
    if (zero) {
      if (negative) text.push_back('-');
      Pad(width - length, '0');
    } else {
      Pad(width - length, ' ');
      if (negative) text.push_back('-');
    }
    char ordered[16];
    for (int i = 0; i < count; ++i) ordered[i] = digits[count - 1 - i];
    text.append(ordered, static_cast<std::size_t>(count));
  }

  Output& text;
};

std::string FormatSlowly(const char* format, va_list args) {
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (length < 0) return std::string();
  if (static_cast<size_t>(length) < sizeof small) return std::string(small, static_cast<size_t>(length));
  std::string result(static_cast<size_t>(length), '\0');
  std::vsnprintf(result.data(), result.size() + 1, format, args);
  return result;
}

}  // namespace

std::string FormatV(const char* format, va_list args) {
  Output result;
  va_list copy;
  va_copy(copy, args);
  const bool done = FastFormatter(result).Run(format, copy);
  va_end(copy);
  if (done) return result.Take();
  return FormatSlowly(format, args);
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = FormatV(format, args);
  va_end(args);
  return result;
}
