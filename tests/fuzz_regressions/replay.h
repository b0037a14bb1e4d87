// Replays the inputs the fuzzers once failed on (fuzz/regressions/<target>/) through the same
// entry points, in a scratch folder that is also the working directory and the settings' home.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace regressions {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

// Every saved input of one fuzzer, by file name.
inline std::vector<std::filesystem::path> Reproducers(const std::string& target) {
  std::vector<std::filesystem::path> found;
  std::error_code ignored;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(TOVRIN_SOURCE_DIR) + "/fuzz/regressions/" + target, ignored))
    if (entry.is_regular_file()) found.push_back(entry.path());
  return found;
}

// A fresh folder that is the working directory and holds the settings file while it lives.
class ScratchFolder {
 public:
  ScratchFolder() : previous(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tovrin-regress-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
    std::filesystem::current_path(path);
    const char* settings = std::getenv("TOVRIN_SETTINGS");
    if (settings) oldSettings = settings;
    hadSettings = settings != nullptr;
    ::setenv("TOVRIN_SETTINGS", (path / "Tovrin.reg").c_str(), 1);
  }
  ~ScratchFolder() {
    if (hadSettings)
      ::setenv("TOVRIN_SETTINGS", oldSettings.c_str(), 1);
    else
      ::unsetenv("TOVRIN_SETTINGS");
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::filesystem::path path;

 private:
  std::filesystem::path previous;
  std::string oldSettings;
  bool hadSettings = false;
};

}  // namespace regressions
