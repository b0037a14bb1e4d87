#include "app/register.h"

#include <utility>

#include "platform/format.h"

namespace {

// The read buffers of the store: a value and its terminating zero must fit.
constexpr size_t kIntBufferBytes = 10;
constexpr size_t kStringBufferBytes = 1024;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int DecimalPrefix(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) value = 2147483648LL;  // saturate; callers pass short texts
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  return static_cast<int>(value);
}

CRegister::CRegister(std::string settingsPath) : file(std::move(settingsPath)) {}

int CRegister::ReadInt(const std::string& name) const {
  std::string text;
  if (keyPath.empty() || !file.Read(keyPath, name, text)) return 0;
  if (text.size() + 1 > kIntBufferBytes) return 0;
  return DecimalPrefix(text);
}

std::string CRegister::ReadString(const std::string& name) const {
  std::string text;
  if (keyPath.empty() || !file.Read(keyPath, name, text)) return std::string();
  if (text.size() + 1 > kStringBufferBytes) return std::string();
  return text;
}

int CRegister::ReadChecked(const std::string& name, int low, int high, int fallback,
                           std::vector<std::string>& notes) const {
  std::string text;
  if (keyPath.empty() || !file.Read(keyPath, name, text)) return fallback;
  size_t first = 0;
  while (first < text.size() && IsSpace(text[first])) ++first;
  if (first == text.size()) return fallback;
  size_t i = first;
  if (text[i] == '+' || text[i] == '-') ++i;
  const size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  size_t end = i;
  while (end < text.size() && IsSpace(text[end])) ++end;
  const bool number = i > digits && end == text.size() && i - digits <= 9;
  const int value = number ? DecimalPrefix(text) : 0;
  if (number && value == 0) return fallback;
  if (number && value >= low && value <= high) return value;
  notes.push_back(Format("setting \"%s\" is \"%s\", %s %d to %d; using %d", name.c_str(), text.c_str(),
                         number ? "outside" : "not a number from", low, high, fallback));
  return fallback;
}

bool CRegister::WriteInt(const std::string& name, int value) { return WriteString(name, Format("%d", value)); }

bool CRegister::WriteString(const std::string& name, const std::string& text) {
  if (keyPath.empty()) return false;
  return file.Write(keyPath, name, text);
}
