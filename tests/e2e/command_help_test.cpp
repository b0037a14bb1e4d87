// The command line's own help, its completion script and the build's output option.
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char* const kCommands[] = {"build", "download", "install", "ports", "configure-port", "settings", "help"};

TEST(CommandHelp, EveryCommandAnswersHelpBothWays) {
  TestFolder folder;
  for (const char* command : kCommands) {
    RunResult asked = RunTovrin({command, "--help"}, folder.path);
    RunResult viaHelp = RunTovrin({"help", command}, folder.path);
    EXPECT_EQ(asked.status, 0) << command << asked.err;
    EXPECT_EQ(viaHelp.status, 0) << command << viaHelp.err;
    EXPECT_TRUE(Contains(asked.out, std::string("Usage: tovrin ") + command)) << asked.out;
    EXPECT_EQ(asked.out, viaHelp.out) << command;
  }
  RunResult build = RunTovrin({"build", "-h"}, folder.path);
  for (const char* option : {"--debug-level", "--code", "--data", "--external-ram", "-o,--output", "--log",
                             "--download", "--port", "--open-log", "--no-warnings", "--warnings-as-errors"})
    EXPECT_TRUE(Contains(build.out, option)) << option;

  RunResult overview = RunTovrin({"--help"}, folder.path);
  EXPECT_EQ(overview.status, 0);
  EXPECT_TRUE(Contains(overview.out, "Exit status:")) << overview.out;
  EXPECT_FALSE(Contains(overview.out, "completion")) << "a hidden command is listed";
  RunResult nothing = RunTovrin({}, folder.path);
  EXPECT_EQ(nothing.status, 2);
  EXPECT_EQ(nothing.err, overview.out);
  RunResult unknown = RunTovrin({"help", "frobnicate"}, folder.path);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Contains(unknown.err, "no command 'frobnicate'")) << unknown.err;
}

// A later word that names another command is an argument of the first, never a second command.
TEST(CommandHelp, OneCommandPerRunAndOptionsEndAtTwoDashes) {
  TestFolder folder;
  RunResult result = RunTovrin({"build", "a.tvr", "settings"}, folder.path);
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(Contains(result.err, "more than one SOURCE given ('a.tvr' and 'settings')")) << result.err;
  EXPECT_EQ(result.out, "");

  // After "--" a word that looks like an option is the SOURCE.
  result = RunTovrin({"build", "--log", folder / "log", "--", "-x.tvr"}, folder.path);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "Can not open source file '-x.tvr'")) << result.err;
}

class Completion : public ::testing::Test {
 protected:
  void SetUp() override {
    RunResult script = RunTovrin({"completion", "bash"}, folder.path);
    ASSERT_EQ(script.status, 0) << script.err;
    WriteWholeFile(folder / "tovrin.bash", script.out);
    WriteWholeFile(folder / "fan.tvr", "");
    WriteWholeFile(folder / "fan.hex", "");
    WriteWholeFile(folder / "notes.txt", "");
    std::filesystem::create_directory(folder / "lib");
  }
  // What bash offers for the words typed so far (the last one being completed), sorted.
  std::string Offers(const std::string& words) {
    std::string command = "cd '" + folder.path + "' && bash -c 'source ./tovrin.bash; COMP_WORDS=(" + words +
                          "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tovrin; printf \"%s\\n\" \"${COMPREPLY[@]}\" | sort'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "(no shell)";
    std::string out;
    char buffer[256];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, got);
    pclose(pipe);
    return out;
  }
  TestFolder folder;
};

TEST_F(Completion, OffersCommandsOptionsAndValuesFromTheDefinitions) {
  EXPECT_EQ(Offers("tovrin b"), "build\n");
  EXPECT_EQ(Offers("tovrin co"), "configure-port\n");  // the hidden completion command is not offered
  EXPECT_EQ(Offers("tovrin build --co"), "--code\n");
  EXPECT_EQ(Offers("tovrin build fan.tvr --code \"\""), "external\non-chip\n");
  EXPECT_EQ(Offers("tovrin build --debug-level \"\""), "1\n2\n3\n4\n");
  EXPECT_EQ(Offers("tovrin configure-port COM1 --parity o"), "odd\n");
  EXPECT_EQ(Offers("tovrin download --port C"), "COM1\nCOM2\nCOM3\nCOM4\n");
  EXPECT_EQ(Offers("tovrin help con"), "configure-port\n");
}

TEST_F(Completion, OffersFilesOfTheKindACommandReads) {
  EXPECT_EQ(Offers("tovrin build \"\""), "fan.tvr\nlib/\n");
  EXPECT_EQ(Offers("tovrin download \"\""), "fan.hex\nlib/\n");
  EXPECT_EQ(Offers("tovrin build fan.tvr -o \"\""), "fan.hex\nlib/\n");
}

TEST(BuildOutput, TheImageGoesWhereOutputSays) {
  TestFolder folder;
  WriteWholeFile(folder / "fan.tvr", "start()\n{\n  out 1;\n}\n");
  std::map<std::string, std::string> env = {{"TOVRIN_SETTINGS", folder / "Tovrin.reg"}, {"TOVRIN_LOG", folder / "log"}};
  ASSERT_EQ(RunTovrin({"build", "fan.tvr"}, folder.path, env).status, 0);
  const std::string beside = ReadWholeFile(folder / "fan.hex");
  std::filesystem::remove(folder / "fan.hex");
  std::filesystem::create_directory(folder / "out");

  RunResult result = RunTovrin({"build", "fan.tvr", "-o", "out/image.ihx"}, folder.path, env);
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(ReadWholeFile(folder / "out/image.ihx"), beside);  // the name exactly as given
  EXPECT_FALSE(std::filesystem::exists(folder / "fan.hex"));

  result = RunTovrin({"build", "fan.tvr", "--output=missing/x.hex"}, folder.path, env);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "missing/x.hex")) << result.err;
}

}  // namespace
