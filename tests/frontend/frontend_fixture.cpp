#include "frontend_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string Entry(const std::string& message, const std::string& token, int line) {
  return message + " | " + token + " | " + std::to_string(line);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void FrontendTest::SetUp() {
  savedDirectory = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "tovrin-front-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  scratch = pattern;
  logPath = scratch + "/tovrin.log";
  fs::current_path(scratch);
}

void FrontendTest::TearDown() {
  fs::current_path(savedDirectory);
  std::error_code ignored;
  fs::permissions(scratch, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(scratch, ignored);
}

void FrontendTest::Write(const std::string& name, const std::string& content) {
  fs::path path = fs::path(scratch) / name;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

ParseRun FrontendTest::ParseFile(const std::string& name, bool recordProductions) {
  return ParseFileWithLayout(name, 0, 1, 1, recordProductions);
}

ParseRun FrontendTest::ParseFileWithLayout(const std::string& name, int externalRamK, int codeLocation,
                                           int dataLocation, bool recordProductions) {
  ParseRun run;
  CRecordingParser parser;
  parser.logPath = logPath;
  parser.onLog = [&run](const CParser::LogNotice& notice) {
    if (!notice.located) return;
    run.entries.push_back(Entry(notice.message, notice.token, notice.line));
    run.files.push_back(notice.file);
  };
  EXPECT_TRUE(parser.Create(externalRamK, codeLocation, dataLocation));
  EXPECT_TRUE(parser.OpenSource(name)) << name;
  run.result = parser.Parse();
  run.errorCount = parser.errorCount;
  run.log = ReadWholeFile(logPath);
  if (recordProductions) run.productions = parser.productions;
  return run;
}

ParseRun FrontendTest::Parse(const std::string& text, bool recordProductions) {
  Write("main.tvr", text);
  return ParseFile("main.tvr", recordProductions);
}
