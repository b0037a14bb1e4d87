// Shared set-up of the front-end tests: a scratch folder as the working
// directory, source files written into it, and parses that collect the log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/parser.h"

// One log entry as "MESSAGE | TOKEN | LINE" (file names are checked apart).
std::string Entry(const std::string& message, const std::string& token, int line);

struct ParseRun {
  int result = -1;
  int errorCount = 0;
  std::string log;                    // the log file's bytes
  std::vector<std::string> entries;   // Entry(...) of each located entry, in order
  std::vector<std::string> files;     // the file named by each located entry
  std::vector<int> productions;       // every production reduced, in order
};

class FrontendTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file (folders created) relative to the scratch folder.
  void Write(const std::string& name, const std::string& content);
  // Parses the file name (opened as written, relative to the working directory).
  ParseRun ParseFile(const std::string& name, bool recordProductions = false);
  // The same with another memory layout (locations: 1 on-chip, 2 external).
  ParseRun ParseFileWithLayout(const std::string& name, int externalRamK, int codeLocation, int dataLocation,
                               bool recordProductions = false);
  // Writes text to "main.tvr" and parses it.
  ParseRun Parse(const std::string& text, bool recordProductions = false);

  std::string scratch;    // absolute path of the scratch folder
  std::string logPath;    // scratch/tovrin.log
  std::string savedDirectory;
};

// A parser that records the productions it reduces.
class CRecordingParser : public CParser {
 public:
  std::vector<int> productions;

 protected:
  void Action(int production) override {
    productions.push_back(production);
    CParser::Action(production);
  }
};

std::string ReadWholeFile(const std::string& path);
