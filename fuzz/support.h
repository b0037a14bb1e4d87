// What every fuzzer shares: one private folder per process (removed at exit) that holds the
// files an input becomes, the settings file and the log, so no run touches the user's files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// The folder, made on first use; TOVRIN_SETTINGS and TOVRIN_LOG point inside it from then on.
const std::string& Folder();
// Replaces the file name inside the folder with the bytes; its full path.
std::string WriteFile(const std::string& name, const uint8_t* data, size_t size);
std::string WriteFile(const std::string& name, const std::string& text);
// The file's bytes; empty when it is missing.
std::string ReadFile(const std::string& path);

}  // namespace fuzz
