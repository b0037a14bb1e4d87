// The settings file on arbitrary contents: reads never fail loudly, the stored settings read
// from it stay within their ranges, and a write changes exactly the value it names.
//
// Input: the file's contents, optionally followed by a NUL and "key", NUL "name", NUL "value"
// for the write (else the port setting is written).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/register.h"
#include "download/port_settings.h"
#include "platform/settings_file.h"
#include "support.h"

namespace {

void Require(bool condition, const char* what, const std::string& detail = std::string()) {
  if (condition) return;
  std::fprintf(stderr, "settings file: %s %s\n", what, detail.c_str());
  std::abort();
}

struct Write {
  std::string key = kSettingsKey;
  std::string name = "Port";
  std::string value = "COM2";
};

// Splits the input into the file's contents and the write it asks for.
std::string SplitInput(const std::string& input, Write& write) {
  const size_t end = input.find('\0');
  if (end == std::string::npos) return input;
  std::vector<std::string> parts;
  size_t start = end + 1;
  while (parts.size() < 2) {
    const size_t next = input.find('\0', start);
    if (next == std::string::npos) break;
    parts.push_back(input.substr(start, next - start));
    start = next + 1;
  }
  if (parts.size() == 2) write = {parts[0], parts[1], input.substr(start)};
  return input.substr(0, end);
}

bool Same(const CSettingsFile::Entry& entry, const Write& write) {
  return SameRegistryName(entry.key, write.key) && SameRegistryName(entry.name, write.name);
}

// What the settings store makes of the file: nothing here may go out of its range.
void ReadStoredSettings() {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  (void)registry.ReadInt("Code Location");
  (void)registry.ReadInt("External RAM");
  Require(registry.ReadString("Tovrin File").size() < 1024, "a string longer than its buffer");
  for (const char* port : {"COM1", "COM2", "COM3", "COM4"}) {
    const CPortSettings settings = LoadPortSettings(port);
    Require(ValidPortSettings(settings), "stored port settings out of range", port);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Write write;
  const std::string path = fuzz::WriteFile("Tovrin.reg", SplitInput(input, write));
  ReadStoredSettings();

  CSettingsFile file(path);
  const std::vector<CSettingsFile::Entry> before = file.ReadAll();
  for (const CSettingsFile::Entry& entry : before) {
    std::string value;
    Require(file.Read(entry.key, entry.name, value) && value == entry.value, "listed value does not read back",
            entry.key + "/" + entry.name);
  }
  if (!file.Write(write.key, write.name, write.value)) return 0;

  std::string value;
  const std::string expected = write.value.substr(0, write.value.find('\0'));
  Require(file.Read(write.key, write.name, value), "written value does not read", write.key + "/" + write.name);
  Require(value == expected, "written value reads back changed", value);
  for (const CSettingsFile::Entry& entry : before) {
    if (Same(entry, write)) continue;
    Require(file.Read(entry.key, entry.name, value) && value == entry.value, "a write changed another value",
            entry.key + "/" + entry.name);
  }
  return 0;
}
