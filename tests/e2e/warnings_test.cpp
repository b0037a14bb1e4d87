// Warnings: their texts on standard error, and that they never change the image or the log.
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"

namespace {

class Warnings : public ::testing::Test {
 protected:
  RunResult Build(const std::string& program, std::vector<std::string> flags = {}) {
    WriteWholeFile(folder / "w.tvr", program);
    std::filesystem::remove(folder / "w.hex");
    std::vector<std::string> args = {"build", "w.tvr"};
    args.insert(args.end(), flags.begin(), flags.end());
    return RunTovrin(args, folder.path, {{"TOVRIN_SETTINGS", folder / "Tovrin.reg"}, {"TOVRIN_LOG", folder / "log"}});
  }
  std::string Hex() { return ReadWholeFile(folder / "w.hex"); }
  static std::string InStart(const std::string& statement) {
    return "start()\n{\n  b as byte;\n  i as integer;\n  r as real;\n  " + statement + "\n  out b; out i; out r;\n}\n";
  }
  TestFolder folder;
};

// Each constant is stored as the warning says: the image equals that of the value it names.
TEST_F(Warnings, ConstantsThatDoNotFitSayWhatIsStored) {
  const struct {
    const char* statement;
    const char* same;
    const char* says;
  } cases[] = {
      {"b = 300;", "b = 44;", "w.tvr:6:7: warning: constant 300 does not fit a Byte (0 to 255): stored as 44\n"},
      {"i = 70000;", "i = 4464;",
       "w.tvr:6:7: warning: constant 70000 does not fit an Integer (-32768 to 32767): stored as 4464\n"},
      {"b = 1.5;", "b = 1;", "w.tvr:6:7: warning: constant 1.5 does not fit a Byte (0 to 255): stored as 1\n"},
      {"i = 40000;", "i = -25536;",
       "w.tvr:6:7: warning: constant 40000 does not fit an Integer (-32768 to 32767): stored as -25536\n"},
      // Folded from -1: no literal to point at, so the statement's end.
      {"b = -1;", "b = 255;", "w.tvr:6:9: warning: constant -1 does not fit a Byte (0 to 255): stored as 255\n"},
  };
  for (const auto& c : cases) {
    RunResult fitting = Build(InStart(c.same));
    ASSERT_EQ(fitting.status, 0) << fitting.err;
    ASSERT_EQ(fitting.err, "");
    const std::string expected = Hex();
    RunResult warned = Build(InStart(c.statement));
    EXPECT_EQ(warned.status, 0) << c.statement;
    EXPECT_EQ(warned.err, std::string(c.says) + "1 warning.\n") << c.statement;
    EXPECT_EQ(Hex(), expected) << c.statement;
  }
  for (const char* fits : {"b = 255;", "i = -32768;", "i = 2.0;", "r = 1.5;", "b = 'a';", "r = 70000;"}) {
    RunResult result = Build(InStart(fits));
    EXPECT_EQ(result.err, "") << fits;
  }
}

TEST_F(Warnings, ArgumentsAreConstantsStoredIntoParameters) {
  RunResult result = Build("def M {\n  do f(a as byte);\n}\nM:f(a as byte) {\n}\nstart()\n{\n  M:f(256);\n}\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "w.tvr:8:7: warning: constant 256 does not fit a Byte (0 to 255): stored as 0\n1 warning.\n");
}

TEST_F(Warnings, WholeProgramChecks) {
  RunResult result = Build(
      "def Board {\n  speed as byte;\n  do step(a as byte) as integer;\n  do never();\n}\n"
      "Board:step(a as byte) {\n  spare as byte;\n  step = a;\n}\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err,
            "w.tvr: warning: no start() method: the image has no entry point (its start address is 0000)\n"
            "w.tvr:4:6: warning: method 'Board:never' is declared but never defined\n"
            "w.tvr:2:3: warning: variable 'Board:speed' is never used\n"
            "w.tvr:7:3: warning: variable 'spare' is never used\n"
            "4 warnings.\n");
  // A variable that is only cleared, or only written, is used; parameters and results never warn.
  result = Build("start()\n{\n  f as fuzzy;\n  w as byte;\n  clear(f);\n  w = 1;\n}\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(Warnings, FlagsSilenceOrFailButNeverReachTheLogOrTheImage) {
  const std::string program = InStart("b = 300;");
  RunResult warned = Build(program);
  const std::string image = Hex();
  ASSERT_FALSE(image.empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "log") && ReadWholeFile(folder / "log").find("300") != std::string::npos);

  RunResult silent = Build(program, {"--no-warnings"});
  EXPECT_EQ(silent.status, 0);
  EXPECT_EQ(silent.err, "");
  EXPECT_EQ(Hex(), image);

  RunResult failed = Build(program, {"--warnings-as-errors"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("warning: constant 300"), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("--warnings-as-errors"), std::string::npos) << failed.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "w.hex"));
  std::string log = ReadWholeFile(folder / "log");
  EXPECT_EQ(log.rfind("Tovrin: BUILD FAILED", 0), 0u) << log;  // the memory map alone
  EXPECT_EQ(log.find("300"), std::string::npos) << log;
}

}  // namespace
