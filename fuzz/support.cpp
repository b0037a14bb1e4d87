#include "support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace fuzz {
namespace {

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

// Memory-backed when the system has it: the build syncs its hex file to disk on every input.
std::filesystem::path ScratchBase() {
  if (std::getenv("TMPDIR") == nullptr && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

std::string MakeFolder() {
  std::string pattern = (ScratchBase() / "tovrin-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  ::setenv("TOVRIN_SETTINGS", (pattern + "/Tovrin.reg").c_str(), 1);
  ::setenv("TOVRIN_LOG", (pattern + "/tovrin.log").c_str(), 1);
  return pattern;
}

}  // namespace

const std::string& Folder() {
  // Never destroyed: the exit handler that removes the folder still needs its name.
  static const std::string* folder = [] {
    auto* made = new std::string(MakeFolder());
    std::atexit(RemoveFolder);
    return made;
  }();
  return *folder;
}

std::string WriteFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/" + name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::perror(path.c_str());
    std::abort();
  }
  for (size_t done = 0; done < size;) {
    const ssize_t wrote = ::write(fd, data + done, size - done);
    if (wrote <= 0) {
      std::perror(path.c_str());
      std::abort();
    }
    done += static_cast<size_t>(wrote);
  }
  ::close(fd);
  return path;
}

std::string WriteFile(const std::string& name, const std::string& text) {
  return WriteFile(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char chunk[4096];
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, got);
  std::fclose(file);
  return text;
}

}  // namespace fuzz
