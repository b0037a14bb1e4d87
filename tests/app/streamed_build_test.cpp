// A build whose listing does not show the program (level 1 or 2) generates each method as soon
// as its definition ends and lets its body go; a build whose listing shows it (level 3 and up)
// keeps the whole program and generates at the end. Each program here stresses a place where
// the two could part (a table or shared data placed after code, a call to a method further on,
// a method defined twice, an error after generated code, code that overflows part way,
// warnings about locals of released bodies): both must write the same image, log and byte
// codes, give the same summary and say the same warnings.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/build_driver.h"
#include "platform/recording_interface.h"
#include "tests/app/test_folder.h"

namespace {

struct Outcome {
  BuildOutcome outcome;
  std::string summary, hex, log, warnings, byteCodes;
};

class StreamedBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    home = buffer;
  }
  void TearDown() override { EXPECT_EQ(chdir(home.c_str()), 0); }

  // Builds main.tvr (with the other files given) in a folder of its own at the debug level.
  Outcome Build(const std::vector<std::pair<std::string, std::string>>& files, int level, BuildRequest request) {
    const std::filesystem::path at = folder / ("level" + std::to_string(level));
    for (const auto& [name, text] : files) {
      std::filesystem::create_directories((at / name).parent_path());
      WriteWholeFile(at / name, text);
    }
    EXPECT_EQ(chdir(at.c_str()), 0);
    request.sourcePath = "main.tvr";
    request.logPath = (at / "tovrin.log").string();
    request.debugLevel = level;
    const BuildResult result = RunBuild(request, nullptr);
    Outcome outcome{result.outcome, result.summary, ReadWholeFile(at / "main.hex"), ReadWholeFile(at / "tovrin.log"),
                    "", ""};
    const std::string listing = ReadWholeFile(at / "tovrin.dbg");
    if (const size_t codes = listing.find("/  Byte Codes"); codes != std::string::npos)
      outcome.byteCodes = listing.substr(codes);
    for (const CompilerWarning& warning : result.warnings)
      outcome.warnings += warning.file + ":" + std::to_string(warning.line) + ":" + std::to_string(warning.column) +
                          " " + warning.token + " " + warning.text + "\n";
    EXPECT_EQ(chdir(home.c_str()), 0);
    return outcome;
  }

  // The outcome of the streamed build, after checking it against the build that keeps the program.
  Outcome Same(const std::vector<std::pair<std::string, std::string>>& files, BuildRequest request = {}) {
    const Outcome streamed = Build(files, 2, request);
    const Outcome kept = Build(files, 3, request);
    EXPECT_FALSE(streamed.byteCodes.empty());
    EXPECT_EQ(streamed.byteCodes, kept.byteCodes);
    EXPECT_EQ(streamed.outcome, kept.outcome);
    EXPECT_EQ(streamed.summary, kept.summary);
    EXPECT_EQ(streamed.hex, kept.hex);
    EXPECT_EQ(streamed.log, kept.log);
    EXPECT_EQ(streamed.warnings, kept.warnings);
    return streamed;
  }

  static BuildRequest Layout(int code, int data, int externalK) {
    BuildRequest request;
    request.codeLocation = code;
    request.dataLocation = data;
    request.externalRamK = externalK;
    return request;
  }

  // `count` classes with one method each, every method a few dozen bytes of code.
  static std::string Methods(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      const std::string n = std::to_string(i);
      text += "def M" + n + " { do step(a as byte, b as integer) as integer; }\n" + "M" + n +
              ":step(a as byte, b as integer) { x as integer; x = a * 2 + b; while (x > 0) { x = x - 1; out x; } "
              "step = x; }\n";
    }
    return text;
  }

  TestFolder folder;
  std::string home;
  CRecordingInterface ui;
};

TEST_F(StreamedBuild, WhatComesAfterGeneratedCodeIsPlacedAsWhenTheProgramIsKept) {
  // A range after a method: tables go before all code.
  EXPECT_EQ(Same({{"main.tvr",
                   "def A { do f() as byte; }\nA:f() { f = 1; }\nrange Late(10, 2, 3);\n"
                   "start() { if (A:f() is Late) { out \"late\"; } }\n"}})
                .outcome,
            BuildOutcome::Built);
  // Global data after a method, on-chip with the code: the data goes below the code.
  EXPECT_EQ(Same({{"main.tvr", "def A { do f() as byte; }\nA:f() { f = 1; }\ndef B { v as integer; }\n"
                               "start() { B:v = A:f(); out B:v; }\n"}},
                 Layout(1, 1, 0))
                .outcome,
            BuildOutcome::Built);
  // The same with the data in its own region.
  Same({{"main.tvr", "def A { do f() as byte; }\nA:f() { f = 1; }\ndef B { v as integer; w as byte[10]; }\n"
                     "start() { B:v = A:f(); out B:v; }\n"}},
       Layout(2, 1, 16));
  // A table in a used file after a method, reached through another folder.
  Same({{"main.tvr", "use \"lib/parts.tvr\";\ndef Q { do g() as byte; }\nQ:g() { g = P:f(); }\n"
                     "start() { if (Q:g() is InLib) { out \"x\"; } }\n"},
        {"lib/parts.tvr", "def P { do f() as byte; }\nP:f() { f = 5; }\nrange InLib(1, 2, 3);\n"}});
}

TEST_F(StreamedBuild, CallsAndDefinitionsInAnyOrder) {
  // start() first, calling methods defined further on; recursion through two methods.
  EXPECT_EQ(Same({{"main.tvr",
                   "def A { do f(n as integer) as integer; do g(n as integer) as integer; }\n"
                   "start() { out A:f(7); }\n"
                   "A:f(n as integer) { if (n <= 1) { f = 1; } else { f = n * A:g(n - 1); } }\n"
                   "A:g(n as integer) { g = A:f(n); }\n"}})
                .outcome,
            BuildOutcome::Built);
  // A method defined twice: every call takes the last definition.
  Same({{"main.tvr", "def A { do f() as byte; }\nA:f() { f = 1; }\nstart() { out A:f(); }\nA:f() { f = 2; }\n"}});
  // Interrupt handlers fill their vectors.
  Same({{"main.tvr", "def T { tick as integer; do h() as interrupt 3; do k() as interrupt 5; }\n"
                     "T:h() { T:tick = T:tick + 1; }\nT:k() { T:tick = 0; }\nstart() { while (1) { out T:tick; } }\n"}});
}

TEST_F(StreamedBuild, FailuresAfterGeneratedCodeLeaveTheSummaryOfAProgramNeverGenerated) {
  // A syntax error after two generated methods.
  EXPECT_EQ(Same({{"main.tvr", "def A { do f() as byte; }\nA:f() { f = 1; }\nstart() { out A:f(); }\n"
                               "def B { v as integer }\n"}})
                .outcome,
            BuildOutcome::Failed);
  // Warnings taken as errors.
  BuildRequest strict;
  strict.warningsAsErrors = true;
  EXPECT_EQ(Same({{"main.tvr", "def A { do f() as byte; }\nA:f() { b as byte; b = 300; f = b; }\nstart() { out A:f(); }\n"}},
                 strict)
                .outcome,
            BuildOutcome::Failed);
  // Code that overflows part way, alone, then followed by a syntax error, then by a table.
  const std::string start = "start() { out M0:step(1, 2); }\n";
  const BuildRequest external = Layout(2, 2, 64);
  const Outcome full = Same({{"main.tvr", Methods(1500) + start}}, external);
  EXPECT_EQ(full.outcome, BuildOutcome::Failed);
  EXPECT_NE(full.log.find("Out of code memory"), std::string::npos) << full.log;
  EXPECT_EQ(Same({{"main.tvr", Methods(1500) + "start() { out M0:step(1, 2) }\n"}}, external).log.find("Out of code"),
            std::string::npos);
  Same({{"main.tvr", Methods(1500) + "range R(1, 2, 3);\n" + start}}, external);
}

TEST_F(StreamedBuild, UnusedLocalsOfReleasedBodiesAreStillNamed) {
  const Outcome outcome =
      Same({{"main.tvr", "def G { g as integer; h as byte; do f(p as byte) as byte; }\n"
                         "G:f(p as byte) { unused1 as integer; used as byte; used = p; f = used; { inner as real; } }\n"
                         "start() { k as byte; out G:f(4); G:g = 3; }\n"}});
  EXPECT_EQ(outcome.outcome, BuildOutcome::Built);
  for (const char* name : {"'G:h'", "'unused1'", "'inner'", "'k'"})
    EXPECT_NE(outcome.warnings.find(name), std::string::npos) << name << " in\n" << outcome.warnings;
  EXPECT_EQ(outcome.warnings.find("'used'"), std::string::npos) << outcome.warnings;
}

}  // namespace
