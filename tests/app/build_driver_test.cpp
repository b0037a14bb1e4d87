#include "app/build_driver.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "download/programmer_emulator.h"
#include "image/intellec_file.h"
#include "platform/format.h"
#include "platform/recording_interface.h"
#include "tests/app/test_folder.h"

namespace {

const char kGoodProgram[] = "start()\n{\n}\n";

// Runs each test inside its own folder (the listing is written to the working directory, and
// the file stack moves it), and returns to where it was.
class BuildDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    home = buffer;
    ASSERT_EQ(chdir(folder.path.c_str()), 0);
    std::filesystem::create_directory(folder / "logs");
  }
  void TearDown() override { EXPECT_EQ(chdir(home.c_str()), 0); }

  BuildRequest Request(const std::string& source) {
    BuildRequest request;
    request.sourcePath = source;
    request.logPath = folder / "logs/tovrin.log";
    return request;
  }

  BuildResult Build(const BuildRequest& request) {
    return RunBuild(request, [this](const CParser::LogNotice& notice) { notices.push_back(notice); });
  }

  std::string Log() const { return ReadWholeFile(folder / "logs/tovrin.log"); }

  TestFolder folder;
  std::string home;
  CRecordingInterface ui;
  std::vector<CParser::LogNotice> notices;
};

// The failure entry that closes the log, built from the six numbers by hand.
std::string FailureEntry(const MemoryMap& m) {
  return Format(
      "Tovrin: BUILD FAILED\r\n\r\nProgram memory:\t0x%04x ... 0x%04x\r\n   Data memory:\t0x%04x ... 0x%04x\r\n"
      "   Code memory:\t0x%04x ... 0x%04x\r\n \r\n\r\n",
      m.programFirst, m.programLast, m.dataFirst, m.dataLast, m.codeFirst, m.codeLast);
}

TEST_F(BuildDriver, NoFileNamedTouchesNothing) {
  WriteWholeFile(folder / "logs/tovrin.log", "last build's log");
  BuildResult result = Build(Request(""));
  EXPECT_EQ(result.outcome, BuildOutcome::NoSource);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Please specify filename to build.");
  EXPECT_EQ(ui.messages[0].caption, "");  // the application's default caption
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(Log(), "last build's log");
}

TEST_F(BuildDriver, AMissingSourceIsNamedInTheLogBeforeTheMemoryMap) {
  WriteWholeFile(folder / "logs/tovrin.log", "last build's log");
  ui.answers = {true};
  BuildRequest request = Request("no such file.tvr");
  request.debugLevel = 2;
  BuildResult result = Build(request);
  EXPECT_EQ(result.outcome, BuildOutcome::Failed);
  EXPECT_FALSE(result.sourceOpened);
  // Nothing allocated: data shows a start one above its end, code the cursor without subtraction.
  EXPECT_EQ(Log(),
            "Can not open source file 'no such file.tvr': No such file or directory \r\n\r\n"
            "Tovrin: BUILD FAILED\r\n\r\n"
            "Program memory:\t0x0060 ... 0x025f\r\n"
            "   Data memory:\t0x007e ... 0x007d\r\n"
            "   Code memory:\t0x0000 ... 0x007e\r\n"
            " \r\n\r\n");
  ASSERT_EQ(notices.size(), 1u);  // the memory map is not a message of the build
  EXPECT_EQ(notices[0].text, result.sourceFailure);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].text, "Tovrin: Error in Build or Settings.  View error log?");
  EXPECT_EQ(ui.questions[0].caption, "Tovrin Compiler ERROR");
  EXPECT_EQ(ui.viewedLogs, std::vector<std::string>{folder / "logs/tovrin.log"});
  EXPECT_FALSE(std::filesystem::exists(folder / "no such file.hex"));
  EXPECT_TRUE(std::filesystem::exists(folder / "tovrin.dbg"));  // level 2: listing despite the failure
}

// Each source that cannot be read says why; none is read for ever.
TEST_F(BuildDriver, SourcesThatAreNoFilesSayWhy) {
  std::filesystem::create_directory(folder / "folder.tvr");
  const struct {
    std::string path, reason;
  } cases[] = {{"folder.tvr", "Is a directory"}, {"/dev/null", "not a regular file"}};
  for (const auto& c : cases) {
    notices.clear();
    BuildResult result = Build(Request(c.path));
    EXPECT_FALSE(result.sourceOpened) << c.path;
    EXPECT_EQ(result.sourceFailure, "Can not open source file '" + c.path + "': " + c.reason);
    EXPECT_EQ(Log().rfind(result.sourceFailure + " \r\n\r\nTovrin: BUILD FAILED", 0), 0u) << Log();
  }
}

TEST_F(BuildDriver, SyntaxErrorsAreLoggedBeforeTheMemoryMap) {
  WriteWholeFile(folder / "bad.tvr", "start()\n{\n  ) ;\n}\n");
  BuildRequest request = Request("bad.tvr");
  request.debugLevel = 1;
  BuildResult result = Build(request);
  EXPECT_EQ(result.outcome, BuildOutcome::Failed);
  EXPECT_TRUE(result.sourceOpened);
  ASSERT_FALSE(notices.empty());
  EXPECT_TRUE(notices[0].located);
  EXPECT_EQ(notices[0].file, "bad.tvr");
  EXPECT_EQ(notices[0].line, 3);
  EXPECT_EQ(notices[0].message, "syntax error");
  std::string log = Log();
  std::string entry = FailureEntry(result.memory);
  ASSERT_GT(log.size(), entry.size());
  EXPECT_EQ(log.substr(0, notices[0].text.size()), notices[0].text);
  EXPECT_EQ(log.substr(log.size() - entry.size()), entry);
  EXPECT_TRUE(ui.viewedLogs.empty());  // the question was answered Cancel
  EXPECT_FALSE(std::filesystem::exists(folder / "bad.hex"));
  EXPECT_FALSE(std::filesystem::exists(folder / "tovrin.dbg"));  // level 1 writes no listing
}

TEST_F(BuildDriver, AGoodBuildWritesTheHexFileAndOffersTheDownload) {
  std::filesystem::create_directory(folder / "sub dir");
  WriteWholeFile(folder / "sub dir/prog", kGoodProgram);  // no extension: ".hex" is appended
  WriteWholeFile(folder / "logs/tovrin.log", "last build's log");
  BuildRequest request = Request("sub dir/prog");
  request.debugLevel = 2;
  BuildResult result = Build(request);
  EXPECT_EQ(result.outcome, BuildOutcome::Built);
  EXPECT_EQ(result.hexPath, "sub dir/prog.hex");
  EXPECT_TRUE(std::filesystem::exists(folder / "sub dir/prog.hex"));
  EXPECT_FALSE(std::filesystem::exists(folder / "logs/tovrin.log"));  // deleted, nothing to log
  EXPECT_TRUE(std::filesystem::exists(folder / "tovrin.dbg"));  // the starting folder again
  EXPECT_TRUE(notices.empty());
  EXPECT_EQ(result.summary.rfind("Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x025f\n", 0), 0u);
  ASSERT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(ui.questions[0].text, result.summary);
  EXPECT_EQ(ui.questions[0].caption, "Tovrin Compiler");
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BuildDriver, ARefusedLayoutFailsTheParserInAFreshLog) {
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);
  WriteWholeFile(folder / "logs/tovrin.log", "old\r\n");
  BuildRequest request = Request("prog.tvr");
  request.externalRamK = 65;  // beyond what 16-bit addresses reach
  BuildResult result = Build(request);
  EXPECT_EQ(result.outcome, BuildOutcome::Failed);
  EXPECT_TRUE(result.sourceOpened);  // never tried: the layout is the reason, not the file
  std::string log = Log();
  EXPECT_EQ(log.find("old"), std::string::npos);  // every build starts with an empty log
  EXPECT_NE(log.find("Error initializing parser.  Check compiler settings. \r\n\r\n"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - FailureEntry(result.memory).size()), FailureEntry(result.memory));
  ASSERT_GE(notices.size(), 1u);
  EXPECT_EQ(notices.back().text, "Error initializing parser.  Check compiler settings.");
  EXPECT_FALSE(std::filesystem::exists(folder / "prog.hex"));
  EXPECT_FALSE(std::filesystem::exists(folder / "tovrin.dbg"));  // no listing without a parser
}

TEST_F(BuildDriver, DownloadNeedsAPortAndReportsTheProgrammersError) {
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);
  ui.defaultAnswer = true;
  BuildResult noPort = Build(Request("prog.tvr"));
  EXPECT_EQ(noPort.outcome, BuildOutcome::NoPort);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "First specify a communications port.");

  BuildRequest request = Request("prog.tvr");
  request.port = folder / "no-such-device";
  BuildResult failed = Build(request);
  EXPECT_EQ(failed.outcome, BuildOutcome::DownloadFailed);
  EXPECT_FALSE(failed.errorText.empty());
  ASSERT_GE(ui.messages.size(), 2u);  // the port may first show the system's own text
  // The programmer's text first, then the port with the device and the system's reason.
  EXPECT_EQ(ui.messages.back().text.rfind(failed.errorText + "\n\n" + request.port + ": ", 0), 0u)
      << ui.messages.back().text;
  EXPECT_TRUE(std::filesystem::exists(folder / "prog.hex"));  // the hex file stays
}

TEST_F(BuildDriver, DownloadSendsTheImageToTheProgrammersSram) {
  CEmulatedProgrammer emulator;
  std::string error;
  if (!emulator.Open(error)) GTEST_SKIP() << "no pseudo-terminal: " << error;
  ASSERT_TRUE(emulator.Start());
  WriteWholeFile(folder / "prog.tvr", kGoodProgram);
  ui.defaultAnswer = true;
  BuildRequest request = Request("prog.tvr");
  request.port = emulator.DevicePath();
  BuildResult result = Build(request);
  emulator.Stop();
  ASSERT_EQ(result.outcome, BuildOutcome::Downloaded) << result.errorText;
  // Every byte of the hex file reached the programmer's SRAM.
  CIntellecFile hex;
  ASSERT_TRUE(hex.Open(folder / "prog.hex"));
  std::map<unsigned, uint8_t> sram = emulator.SramBytes();
  int checked = 0;
  do {
    for (int i = 0; i < hex.count; ++i, ++checked) {
      auto byte = sram.find(static_cast<unsigned>(hex.address + i));
      ASSERT_NE(byte, sram.end()) << hex.address + i;
      EXPECT_EQ(byte->second, hex.data[static_cast<size_t>(i)]);
    }
  } while (hex.ReadRecord());
  hex.Close();
  EXPECT_GT(checked, 0);
}

TEST(ShortName, TakesThePartAfterTheLastSeparator) {
  EXPECT_EQ(ShortName("/home/me/prog.hex"), "prog.hex");
  EXPECT_EQ(ShortName("C:\\work\\prog.hex"), "prog.hex");
  EXPECT_EQ(ShortName("dir\\sub/prog.hex"), "prog.hex");
  EXPECT_EQ(ShortName("a/b\\prog.hex"), "b\\prog.hex");  // a '/' is looked for first
  EXPECT_EQ(ShortName("prog.hex"), "prog.hex");
  EXPECT_EQ(ShortName("dir/"), "");
}

}  // namespace
