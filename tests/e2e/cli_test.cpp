// The tovrin command line, run as a program on real files in a temporary folder.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "download/programmer_emulator.h"
#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"
#include "tests/support/example_flags.h"

namespace {

const char kGoodProgram[] = "start()\n{\n}\n";
const char kFailedOnChip[] =
    "Tovrin: BUILD FAILED\n\n"
    "Program memory:\t0x0060 ... 0x025f\n"
    "   Data memory:\t0x007e ... 0x007d\n"
    "   Code memory:\t0x0000 ... 0x007e\n";
const char kSucceededOnChip[] = "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x025f\n";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Cli : public ::testing::Test {
 protected:
  // Settings, log and state all live in the test's folder.
  RunResult Run(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
    env.try_emplace("TOVRIN_SETTINGS", folder / "Tovrin.reg");
    env.try_emplace("TOVRIN_LOG", "");
    env.try_emplace("HOME", folder.path);
    env.try_emplace("XDG_STATE_HOME", "");
    env.try_emplace("XDG_CONFIG_HOME", "");
    if (!args.empty() && args[0] == "build") {
      args.insert(args.begin() + 1, {"--log", LogPath()});
    }
    return RunTovrin(args, folder.path, env);
  }
  std::string LogPath() const { return folder / "logs/tovrin.log"; }

  TestFolder folder;
};

TEST_F(Cli, BadArgumentsAreUsageErrorsThatTouchNothing) {
  const struct {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"build"}, "build needs a SOURCE file"},
      {{"build", "a.tvr", "b.tvr"}, "more than one SOURCE"},
      {{"build", "a.tvr", "--debug-level", "5"}, "--debug-level takes 1 to 4, not '5'"},
      {{"build", "a.tvr", "--debug-level=0"}, "--debug-level takes 1 to 4, not '0'"},
      {{"build", "a.tvr", "--debug-level", "2x"}, "--debug-level takes 1 to 4"},
      {{"build", "a.tvr", "--code", "middle"}, "--code takes on-chip or external, not 'middle'"},
      {{"build", "a.tvr", "--data", ""}, "--data takes on-chip or external"},
      {{"build", "a.tvr", "--external-ram", "65"}, "--external-ram takes kilobytes from 0 to 64"},
      {{"build", "a.tvr", "--external-ram", "-1"}, "--external-ram takes kilobytes"},
      {{"build", "a.tvr", "--external-ram", "99999999999999999999999"}, "--external-ram takes kilobytes"},
      {{"build", "a.tvr", "--port"}, "--port needs a value"},
      {{"build", "a.tvr", "--port="}, "--port needs a value"},
      {{"build", "a.tvr", "--bogus"}, "unknown option '--bogus'"},
      {{"build", "a.tvr", "-x"}, "unknown option '-x'"},
      {{"build", "a.tvr", "--download=yes"}, "--download takes no value"},
      {{"build", "a.tvr", "--code\x1b[31m"}, "unknown option '--code\\x1b[31m'"},
      {{"settings", "extra"}, "settings takes no arguments"},
      {{"frobnicate"}, "unknown command"},
      {{"build", ""}, "Tovrin: Please specify filename to build."},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += " [" + arg + "]";
    RunResult result = Run(c.args);
    EXPECT_EQ(result.status, 2) << shown;
    EXPECT_TRUE(Contains(result.err, c.says)) << shown << "\n" << result.err;
    EXPECT_EQ(result.out, "") << shown;
  }
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
  EXPECT_FALSE(std::filesystem::exists(folder / "Tovrin.reg"));
}

TEST_F(Cli, SourcesThatCannotBeReadFailWithAReason) {
  std::filesystem::create_directory(folder / "a directory.tvr");
  const struct {
    std::string source;
    const char* reason;
  } cases[] = {
      {"missing.tvr", "missing.tvr: error: Can not open source file 'missing.tvr': No such file or directory\n"},
      {"a directory.tvr", "a directory.tvr: error: Can not open source file 'a directory.tvr': Is a directory\n"},
      {"evil\x1b]0;title\a.tvr", "error: Can not open source file 'evil\\x1b]0;title\\x07.tvr'"},
  };
  for (const auto& c : cases) {
    RunResult result = Run({"build", c.source});
    EXPECT_EQ(result.status, 1) << c.source;
    EXPECT_EQ(result.out, kFailedOnChip) << c.source;
    EXPECT_TRUE(Contains(result.err, c.reason)) << result.err;
    EXPECT_TRUE(Contains(result.err, "Error log: " + LogPath() + "\n")) << result.err;
  }
  if (geteuid() != 0) {  // permissions do not stop root
    WriteWholeFile(folder / "locked.tvr", kGoodProgram);
    chmod((folder / "locked.tvr").c_str(), 0);
    RunResult result = Run({"build", "locked.tvr"});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err, "Can not open source file 'locked.tvr': Permission denied")) << result.err;
  }
}

TEST_F(Cli, AGoodBuildPrintsTheMemoryMapAndWritesTheHexBesideTheSource) {
  std::filesystem::create_directory(folder / "my programs");
  WriteWholeFile(folder / "my programs/früh ling.tvr", kGoodProgram);
  RunResult result = Run({"build", "my programs/früh ling.tvr"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(StartsWith(result.out, kSucceededOnChip)) << result.out;
  EXPECT_TRUE(Contains(result.out, "     Data memory:\t0x007e ... 0x007d\n     Code memory:\t")) << result.out;
  EXPECT_FALSE(Contains(result.out, "Prepare to Download")) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(std::filesystem::exists(folder / "my programs/früh ling.hex"));
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
  EXPECT_FALSE(std::filesystem::exists(folder / "tovrin.dbg"));  // level 1 by default
  EXPECT_FALSE(std::filesystem::exists(folder / "Tovrin.reg"));  // a build writes no settings
}

// A global Byte declared before one range: the Byte at 0x7E, the range table from 0x7F.
TEST_F(Cli, TheSummaryShowsWhereDataAndTablesWerePlaced) {
  WriteWholeFile(folder / "layout.tvr", "def G {\n  b as byte;\n}\nrange R(1, 2, 3);\nstart() {\n}\n");
  RunResult result = Run({"build", "layout.tvr"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(StartsWith(result.out,
                         "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x025f\n"
                         "     Data memory:\t0x007e ... 0x007e\n     Code memory:\t0x007f ... 0x"))
      << result.out;
}

TEST_F(Cli, ErrorsGoToStandardErrorWithFileAndLine) {
  std::filesystem::create_directory(folder / "src");
  WriteWholeFile(folder / "src/bad.tvr", "start()\n{\n  ) ;\n}\n");
  RunResult result = Run({"build", "src/bad.tvr", "--debug-level", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(StartsWith(result.err, "src/bad.tvr:3:3: error: syntax error (at \")\")\n")) << result.err;
  EXPECT_TRUE(Contains(result.err, "Error log: " + LogPath() + "\n")) << result.err;
  EXPECT_TRUE(StartsWith(result.out, "Tovrin: BUILD FAILED\n\nProgram memory:\t0x0060 ... 0x025f\n"));
  std::string log = ReadWholeFile(LogPath());
  EXPECT_TRUE(Contains(log, "src/bad.tvr line 3: \"")) << log;
  EXPECT_TRUE(Contains(log, "\r\n \r\n\r\n")) << log;
  EXPECT_TRUE(std::filesystem::exists(folder / "tovrin.dbg"));
  EXPECT_FALSE(std::filesystem::exists(folder / "src/bad.hex"));
}

// A program that parses but cannot be generated says why, on standard error and in the log.
TEST_F(Cli, GenerationFailuresGiveTheirReason) {
  std::string program = "start() {\n";
  for (int i = 0; i < 200; ++i) program += "  out \"twenty characters...\";\n";  // far beyond on-chip RAM
  WriteWholeFile(folder / "big.tvr", program + "}\n");
  RunResult result = Run({"build", "big.tvr"});
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(StartsWith(result.err, "big.tvr: error: ")) << result.err;
  EXPECT_GT(result.err.find("\nError log: "), 9u) << result.err;
  std::string log = ReadWholeFile(LogPath());
  EXPECT_FALSE(StartsWith(log, "Tovrin: BUILD FAILED")) << log;  // the reason comes first
  EXPECT_TRUE(Contains(log, " \r\n\r\nTovrin: BUILD FAILED\r\n")) << log;
  EXPECT_FALSE(std::filesystem::exists(folder / "big.hex"));
}

TEST_F(Cli, NoRoomForTheEndInstructionIsLogged) {
  // Grow one text a character at a time until the code ends right at the top of on-chip memory.
  std::string log;
  for (int length = 1; length <= 200; ++length) {
    std::string program = "start() {\n";
    for (int i = 0; i < 3; ++i) program += "  out \"" + std::string(120, 'x') + "\";\n";
    program += "  out \"" + std::string(static_cast<size_t>(length), 'y') + "\";\n}\n";
    WriteWholeFile(folder / "edge.tvr", program);
    std::filesystem::remove(folder / "edge.hex");
    if (Run({"build", "edge.tvr"}).status == 0) continue;
    log = ReadWholeFile(LogPath());
    if (Contains(log, "no room for the end instruction")) break;
  }
  ASSERT_TRUE(Contains(log, "Code memory full: no room for the end instruction at 0x")) << log;
  EXPECT_TRUE(Contains(log, " \r\n\r\nTovrin: BUILD FAILED\r\n")) << log;
  EXPECT_FALSE(std::filesystem::exists(folder / "edge.hex"));
}

TEST_F(Cli, FlagsOverrideTheStoredSettingsForOneRun) {
  const std::string stored =
      "REGEDIT4\n\n[SOFTWARE\\Halvery\\Tovrin]\n\"Code Location\"=\"2\"\n\"Data Location\"=\"2\"\n"
      "\"External RAM\"=\"0\"\n\"Debug Level\"=\"3\"\n\"Someone Else's\"=dword:00000001\n";
  WriteWholeFile(folder / "Tovrin.reg", stored);
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);

  RunResult fromStore = Run({"build", "prog.tvr"});  // external RAM of 0 K: nothing fits
  EXPECT_EQ(fromStore.status, 1) << fromStore.out;
  EXPECT_TRUE(std::filesystem::exists(folder / "tovrin.dbg"));  // stored level 3
  std::filesystem::remove(folder / "tovrin.dbg");

  RunResult onChip = Run({"build", "prog.tvr", "--code", "on-chip", "--data=on-chip", "--debug-level", "1"});
  EXPECT_EQ(onChip.status, 0) << onChip.err;
  EXPECT_TRUE(StartsWith(onChip.out, kSucceededOnChip)) << onChip.out;
  EXPECT_FALSE(std::filesystem::exists(folder / "tovrin.dbg"));

  RunResult external = Run({"build", "prog.tvr", "--external-ram", "8"});
  EXPECT_EQ(external.status, 0) << external.err;
  EXPECT_TRUE(StartsWith(external.out,
                         "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x2000\n"
                         "     Data memory:\t0x0260 ... 0x025f\n"))
      << external.out;

  EXPECT_EQ(ReadWholeFile(folder / "Tovrin.reg"), stored);  // nothing written back
}

TEST_F(Cli, SettingsListsEveryStoredValue) {
  RunResult empty = Run({"settings"});
  EXPECT_EQ(empty.status, 0);
  EXPECT_TRUE(StartsWith(empty.out, "Settings file: " + (folder / "Tovrin.reg") + "\n(nothing stored")) << empty.out;

  WriteWholeFile(folder / "Tovrin.reg",
                 "REGEDIT4\n\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"2\"\n\"Source File\"=\"C:\\\\a \\\"b\\\".tvr\"\n"
                 "\"Counter\"=dword:00000001\n\n[SOFTWARE\\Halvery\\Tovrin\\Ports\\COM2]\n\"Device\"=\"/dev/ttyUSB0\"\n");
  RunResult listed = Run({"settings"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "Settings file: " + (folder / "Tovrin.reg") +
                            "\n\n[SOFTWARE\\Halvery\\Tovrin]\nPort = 2\nSource File = C:\\a \"b\".tvr\n"
                            "\n[SOFTWARE\\Halvery\\Tovrin\\Ports\\COM2]\nDevice = /dev/ttyUSB0\n");
}

TEST_F(Cli, OpenLogRunsTheViewerOnlyAfterAFailedBuild) {
  std::string viewer = folder / "viewer";
  WriteWholeFile(viewer, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + (folder / "viewed") + "\"\n");
  chmod(viewer.c_str(), 0755);
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);
  std::map<std::string, std::string> env = {{"VISUAL", viewer}};

  EXPECT_EQ(Run({"build", "missing.tvr"}, env).status, 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "viewed"));
  EXPECT_EQ(Run({"build", "prog.tvr", "--open-log"}, env).status, 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "viewed"));
  EXPECT_EQ(Run({"build", "missing.tvr", "--open-log"}, env).status, 1);
  EXPECT_EQ(ReadWholeFile(folder / "viewed"), LogPath() + "\n");
}

// The transfer itself is covered with the emulated programmer in the build driver's tests.
TEST_F(Cli, DownloadAfterTheBuildFailsWithStatusThree) {
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);
  RunResult noDevice = Run({"build", "prog.tvr", "--download", "--port", folder / "no-such-tty"});
  EXPECT_EQ(noDevice.status, 3);
  EXPECT_TRUE(StartsWith(noDevice.out, kSucceededOnChip));
  EXPECT_TRUE(StartsWith(noDevice.err, "Tovrin: ")) << noDevice.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "prog.hex"));
}

// Without a file, install takes the stored firmware, else the default Atmel\Tovrin.hex: a
// folder Atmel beside the working directory, as the window's default means it.
TEST_F(Cli, InstallWithoutAFileFindsTheDefaultFirmwareFolder) {
  CEmulatedProgrammer emulator;
  std::string error;
  if (!emulator.Open(error)) GTEST_SKIP() << "no pseudo-terminal: " << error;
  ASSERT_TRUE(emulator.Start());
  std::filesystem::create_directory(folder / "Atmel");
  WriteWholeFile(folder / "Atmel/Tovrin.hex", ":02000000AABB99\n:00000001FF\n");
  RunResult result = Run({"install", "--port", emulator.DevicePath()});
  emulator.Stop();
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(emulator.FlashWords(), (std::map<unsigned, uint16_t>{{0, 0xBBAA}}));
}

// Every example a new user is pointed at builds cleanly (built in a copy, so the source tree
// stays clean).
TEST_F(Cli, EveryExampleBuilds) {
  std::filesystem::copy(TOVRIN_SOURCE_DIR "/examples", folder / "examples",
                        std::filesystem::copy_options::recursive);
  int built = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder / "examples")) {
    if (entry.path().extension() != ".tvr") continue;
    std::string source = "examples/" + entry.path().filename().string();
    // On-chip unless the example names its own placement.
    std::vector<std::string> args = {"build", source};
    std::vector<std::string> flags = ExampleBuildFlags(entry.path().string());
    if (flags.empty()) flags = {"--code", "on-chip", "--data", "on-chip"};
    args.insert(args.end(), flags.begin(), flags.end());
    RunResult result = Run(args);
    EXPECT_EQ(result.status, 0) << source << "\n" << result.err;
    EXPECT_EQ(result.err, "") << source;
    EXPECT_TRUE(std::filesystem::exists(entry.path().parent_path() / (entry.path().stem().string() + ".hex")));
    ++built;
  }
  EXPECT_GE(built, 1);
}

}  // namespace
