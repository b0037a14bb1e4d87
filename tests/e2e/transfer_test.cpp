// Downloads a user can trust, run as the user runs them: tovrin against the emulated programmer
// on a real pseudo-terminal. No stale image after a failed build, hex files checked before any
// port is opened, clean interrupts, a vanished programmer, port names, settings that cannot be
// used, and long transfers that explain themselves.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "download/programmer_emulator.h"
#include "platform/format.h"
#include "tests/app/test_folder.h"
#include "tests/e2e/programmer_process.h"
#include "tests/e2e/run_tovrin.h"
#include "tests/support/hex_record.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// n records of 16 bytes from 0x0060 and the end record, as a build writes them.
std::string Image(int n) {
  std::string text;
  for (int r = 0; r < n; ++r) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<uint8_t>(r * 7 + i));
    text += Record(0x0060 + 16 * r, bytes);
  }
  return text + ":00000001ff";
}

class Transfer : public ::testing::Test {
 protected:
  Transfer()
      : settings("TOVRIN_SETTINGS", (folder / "Tovrin.reg").c_str()),
        home("HOME", folder.path.c_str()),
        log("TOVRIN_LOG", (folder / "tovrin.log").c_str()) {}

  RunResult Run(const std::vector<std::string>& args) { return RunTovrin(args, folder.path); }

  TestFolder folder;
  ScopedEnv settings, home, log;
};

// A failed build removes the image an earlier good build of the same source left.
TEST_F(Transfer, AFailedBuildLeavesNoStaleImage) {
  std::filesystem::copy_file(TOVRIN_SOURCE_DIR "/examples/counter.tvr", folder / "counter.tvr");
  ASSERT_EQ(Run({"build", "counter.tvr"}).status, 0);
  ASSERT_TRUE(std::filesystem::exists(folder / "counter.hex"));
  RunResult failed = Run({"build", "counter.tvr", "--code", "external"});
  EXPECT_EQ(failed.status, 1) << failed.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "counter.hex"));
  RunResult download = Run({"download", "counter.hex", "--port", "/dev/null"});
  EXPECT_EQ(download.status, 3);
  EXPECT_TRUE(Contains(download.err, "counter.hex: No such file or directory")) << download.err;

  // Never a source itself, nor a folder in the image's place.
  WriteWholeFile(folder / "notes.hex", "not a program\n");
  EXPECT_EQ(Run({"build", "notes.hex"}).status, 1);
  EXPECT_EQ(ReadWholeFile(folder / "notes.hex"), "not a program\n");
  std::filesystem::create_directory(folder / "broken.hex");
  WriteWholeFile(folder / "broken.tvr", "start( {\n");
  EXPECT_EQ(Run({"build", "broken.tvr"}).status, 1);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "broken.hex"));
}

// Nothing reaches the programmer from a file that would put wrong bytes on the board.
TEST_F(Transfer, HexFilesAreCheckedBeforeAnyPortIsOpened) {
  CEmulatedProgrammer emulator;
  std::string error;
  ASSERT_TRUE(emulator.Open(error)) << error;
  ASSERT_TRUE(emulator.Start());
  const std::string good = Record(0x0060, {1, 2, 3, 4});
  std::string badSum = Record(0x0064, {5, 6});
  badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
  WriteWholeFile(folder / "sum.hex", good + badSum + ":00000001ff");
  WriteWholeFile(folder / "tovrin.hex", Record(0x0000, {0x0c, 0x94, 0x2a, 0x00}) + ":00000001ff");
  WriteWholeFile(folder / "empty.hex", ":00000001ff\n");
  const struct {
    std::vector<std::string> args;
    std::string says;
  } cases[] = {
      {{"download", "sum.hex"}, "tovrin: sum.hex:2: checksum 0x"},
      {{"install", "sum.hex"}, "/sum.hex:2: checksum 0x"},  // install names the firmware in full
      {{"download", "tovrin.hex"}, "tovrin: tovrin.hex:1: record at 0x0000 lies below 0x0060"},
      {{"download", "empty.hex"}, "tovrin: empty.hex:1: no data records"},
      {{"install", "missing.hex"}, "missing.hex: No such file or directory"},
  };
  for (auto c : cases) {
    c.args.insert(c.args.end(), {"--port", emulator.DevicePath()});
    RunResult result = Run(c.args);
    EXPECT_EQ(result.status, 3) << c.args[1];
    EXPECT_TRUE(Contains(result.err, c.says)) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(Contains(Run({"download", "tovrin.hex", "--port", emulator.DevicePath()}).err, "Flash image"));
  EXPECT_TRUE(emulator.Events().empty()) << emulator.Transcript();  // the port was never opened
  EXPECT_TRUE(emulator.SramBytes().empty());
  emulator.Stop();
}

// Ctrl-C at about a tenth of the way: the programmer leaves its loader mode, the port is
// released, and the very next download succeeds.
TEST_F(Transfer, AnInterruptedDownloadLeavesTheProgrammerReady) {
  const std::string image = Image(20);
  WriteWholeFile(folder / "prog.hex", image);
  ProgrammerProcess programmer(folder.path, {});
  ASSERT_FALSE(programmer.device.empty());

  int out = -1, err = -1;
  const pid_t tovrin = SpawnWithPipes({TOVRIN_BINARY_DIR "/tovrin", "download", folder / "prog.hex", "--port",
                                       programmer.device},
                                      out, err);
  ASSERT_GT(tovrin, 0);
  std::string errText;
  ASSERT_TRUE(ReadUntil(err, errText, "Progress: 10%")) << errText;
  ::kill(tovrin, SIGINT);
  ReadUntil(err, errText);
  ::close(out);
  ::close(err);
  EXPECT_EQ(WaitFor(tovrin), 130);
  EXPECT_TRUE(Contains(errText, "\ntovrin: interrupted\n")) << errText;
  EXPECT_FALSE(Contains(errText, "Progress: 100%")) << errText;

  RunResult next = Run({"download", "prog.hex", "--port", programmer.device});
  EXPECT_EQ(next.status, 0) << next.err;
  ASSERT_EQ(programmer.Stop(), 0);
  EXPECT_EQ(ReadWholeFile(programmer.SramDump()), image);
  // The interrupted transfer left the loader mode ("l" 0) and was abandoned ("X" 8).
  EXPECT_TRUE(Contains(ReadWholeFile(programmer.Transcript()), "> 6C 00\n< 01\n> 58 08\n< 01\n"));
}

// The programmer vanishing mid-transfer is one message that names port and address.
TEST_F(Transfer, AVanishedProgrammerIsOneMessage) {
  WriteWholeFile(folder / "prog.hex", Image(4));
  // Connect (6 bytes), T 13 and L (3), the first block (21), 10 bytes into the second.
  ProgrammerProcess programmer(folder.path, {"--vanish-after", "40"});
  ASSERT_FALSE(programmer.device.empty());
  RunResult result = Run({"download", "prog.hex", "--port", programmer.device});
  EXPECT_EQ(result.status, 3);
  EXPECT_TRUE(Contains(result.err, Format("\ntovrin: Lost the programmer on %s at address 0x0070: Input/output "
                                          "error\n",
                                          programmer.device.c_str())))
      << result.err;
  EXPECT_EQ(Count(result.err, "tovrin: "), 1u) << result.err;
  EXPECT_EQ(Count(result.err, "Tovrin: "), 0u) << result.err;
  EXPECT_FALSE(Contains(result.err, "ERROR VERIFYING")) << result.err;
}

TEST_F(Transfer, PortNamesInAnyCaseOrAsPathsAndNothingElse) {
  CEmulatedProgrammer emulator;
  std::string error;
  ASSERT_TRUE(emulator.Open(error)) << error;
  ASSERT_TRUE(emulator.Start());
  WriteWholeFile(folder / "prog.hex", Image(1));
  ASSERT_EQ(Run({"configure-port", "com2", "--device", emulator.DevicePath()}).status, 0);
  RunResult lower = Run({"download", "prog.hex", "--port", "Com2"});
  EXPECT_EQ(lower.status, 0) << lower.err;
  EXPECT_EQ(lower.out.rfind("COM2: prog.hex to SRAM through TOVEMU1", 0), 0u) << lower.out;
  emulator.Stop();

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"download", "prog.hex", "--port", "COM5"},
        std::vector<std::string>{"install", "prog.hex", "--port", "usb0"},
        std::vector<std::string>{"build", "prog.tvr", "--port", "COM0"}}) {
    RunResult result = Run(args);
    EXPECT_EQ(result.status, 2) << args[3];
    EXPECT_TRUE(Contains(result.err, Format("'%s' is no port: give COM1, COM2, COM3 or COM4 (any case), or a "
                                            "device path such as /dev/ttyUSB0",
                                            args[3].c_str())))
        << result.err;
  }

  // A device that cannot be opened: the device, the system's reason, where to look.
  ASSERT_EQ(Run({"configure-port", "COM3", "--device", folder / "gone"}).status, 0);
  RunResult missing = Run({"download", "prog.hex", "--port", "com3"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_TRUE(Contains(missing.err, "tovrin: Failed to open port 'COM3'\n")) << missing.err;
  EXPECT_TRUE(Contains(missing.err, "tovrin: " + (folder / "gone") + ": No such file or directory ('tovrin ports'"))
      << missing.err;
  // Said once: the port's own report of the failure is not printed beside it.
  EXPECT_EQ(missing.err.find("No such file or directory"), missing.err.rfind("No such file or directory"))
      << missing.err;
}

TEST_F(Transfer, SettingsThatCannotBeUsedAreSaidSo) {
  CEmulatedProgrammer emulator;
  std::string error;
  ASSERT_TRUE(emulator.Open(error)) << error;
  ASSERT_TRUE(emulator.Start());
  ASSERT_EQ(Run({"configure-port", "COM1", "--device", emulator.DevicePath()}).status, 0);
  WriteWholeFile(folder / "Tovrin.reg", ReadWholeFile(folder / "Tovrin.reg") +
                                            "\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"seven\"\n"
                                            "\"Debug Level\"=\"9\"\n\"External RAM\"=\"32\"\n"
                                            "\n[SOFTWARE\\Halvery\\Tovrin\\Ports\\COM1]\n\"Baud Rate\"=\"fast\"\n");
  WriteWholeFile(folder / "prog.hex", Image(1));

  RunResult listed = Run({"settings"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_TRUE(Contains(listed.err, "tovrin: warning: setting \"Port\" is \"seven\", not a number from 1 to 4; using 1\n"))
      << listed.err;
  EXPECT_TRUE(Contains(listed.err, "setting \"Debug Level\" is \"9\", outside 1 to 4; using 1\n")) << listed.err;
  EXPECT_TRUE(Contains(listed.err, "setting \"Baud Rate\" of COM1 is \"fast\", not a speed this system supports; "
                                   "using 19200\n"))
      << listed.err;
  EXPECT_FALSE(Contains(listed.err, "External RAM")) << listed.err;

  RunResult download = Run({"download", "prog.hex"});  // the stored port falls back to COM1
  EXPECT_EQ(download.status, 0) << download.err;
  EXPECT_TRUE(Contains(download.err, "setting \"Port\" is \"seven\"")) << download.err;
  emulator.Stop();

  // A settings file that cannot be read, or is no text.
  std::filesystem::remove(folder / "Tovrin.reg");
  std::filesystem::create_directory(folder / "Tovrin.reg");
  RunResult unreadable = Run({"settings"});
  EXPECT_TRUE(Contains(unreadable.err, "settings file " + (folder / "Tovrin.reg") +
                                           ": Is a directory; every setting has its default"))
      << unreadable.err;
  std::filesystem::remove(folder / "Tovrin.reg");
  WriteWholeFile(folder / "Tovrin.reg", std::string("REGEDIT4\n\0\x01\x02", 12));
  EXPECT_TRUE(Contains(Run({"settings"}).err, ": not a text file;"));

  // One that cannot be written: the system's reason and its own exit status.
  WriteWholeFile(folder / "blocker", "a file where a folder should be");
  ScopedEnv blocked("TOVRIN_SETTINGS", (folder / "blocker/Tovrin.reg").c_str());
  RunResult configure = Run({"configure-port", "COM1", "--baud", "9600"});
  EXPECT_EQ(configure.status, 4);
  EXPECT_TRUE(Contains(configure.err, "tovrin: cannot write the settings file " + (folder / "blocker") +
                                          ": Not a directory\n"))
      << configure.err;
}

// An SRAM download says how long it will take, and its progress, without a terminal, is a line
// every tenth up to 100 %.
TEST_F(Transfer, LongTransfersExplainThemselves) {
  CEmulatedProgrammer emulator;
  std::string error;
  ASSERT_TRUE(emulator.Open(error)) << error;
  ASSERT_TRUE(emulator.Start());
  WriteWholeFile(folder / "prog.hex", Image(20));
  RunResult result = Run({"download", "prog.hex", "--port", emulator.DevicePath()});
  emulator.Stop();
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, "Sending 320 bytes in 20 blocks to SRAM: about 4 s (the programmer needs a "
                                   "pause after every byte, about 11 ms a byte at 19200 baud)\n"))
      << result.err;
  size_t last = 0;
  for (int percent = 0; percent <= 100; percent += 10) {
    const size_t at = result.err.find(Format("Progress: %d%%\n", percent));
    ASSERT_NE(at, std::string::npos) << percent << "\n" << result.err;
    EXPECT_GE(at, last);
    last = at;
  }
  EXPECT_EQ(Count(result.err, "Progress: "), 11u) << result.err;
}

}  // namespace
