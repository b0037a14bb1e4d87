// Whole builds in a scratch folder: a source through parse, generation, hex file and listing.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "frontend/parser.h"
#include "platform/recording_interface.h"

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
}

// What one build left behind.
struct Built {
  bool good = false;
  std::string summary;    // the memory summary: shown on success, logged on failure
  std::string errorText;  // why generation or the hex file failed
  std::string hex;        // empty when no hex file was written
  std::string listing;    // tovrin.dbg; empty at level 1
  std::string log;        // the error log of the parse
};

// Placement of one build: code and data location (1 on-chip, 2 external) and external RAM.
struct Placement {
  int code = 1;
  int data = 1;
  int externalRamK = 0;
};

// Builds `source` as `name` in a fresh folder that is the working directory meanwhile, with
// the Build command's steps: parse, generate, write the hex file, write the listing.
inline Built BuildSource(const std::string& name, const std::string& source, int level = 4,
                         Placement placement = {}) {
  Built built;
  std::string folder = (std::filesystem::temp_directory_path() / "tovrin-codegen-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return built;
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  WriteFile(name, source);
  {
    CRecordingInterface ui;
    CParser parser;
    parser.logPath = folder + "/tovrin.log";
    if (parser.Create(placement.externalRamK, placement.code, placement.data)) {
      std::string path = name;  // becomes the hex file's path
      if (parser.OpenSource(path) && parser.Parse() == 0 && parser.errorCount == 0) {
        built.good = parser.compiler.Generate() != 0 && parser.compiler.WriteHexFile(path);
      }
      parser.WriteDebugFile("tovrin.dbg", level);
    }
    built.errorText = parser.compiler.errorText;
    built.summary = built.good ? parser.compiler.SuccessSummary() : parser.compiler.FailureSummary();
    const std::string stem = name.substr(0, name.rfind('.'));
    if (std::filesystem::exists(stem + ".hex")) built.hex = ReadFile(stem + ".hex");
    built.listing = ReadFile("tovrin.dbg");
    built.log = ReadFile(parser.logPath);
  }
  std::filesystem::current_path(previous);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return built;
}

inline std::string SourceFile(const std::string& relative) { return ReadFile(std::string(TOVRIN_SOURCE_DIR) + "/" + relative); }

// A golden file beside the tests; with TOVRIN_UPDATE_GOLDEN set the expected text is rewritten
// (review the difference before committing it).
inline void ExpectGolden(const std::string& relative, const std::string& actual) {
  const std::string path = std::string(TOVRIN_SOURCE_DIR) + "/tests/codegen/golden/" + relative;
  if (std::getenv("TOVRIN_UPDATE_GOLDEN") != nullptr) WriteFile(path, actual);
  EXPECT_EQ(ReadFile(path), actual) << "golden " << relative;
}
