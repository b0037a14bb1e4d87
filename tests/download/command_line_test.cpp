// The download commands of the tovrin program against the tovrin-programmer program, both run
// as the user runs them: exit statuses, messages, and what reached the programmer's memory.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "download_fixture.h"

extern char** environ;

namespace {

using testing_download::Record;
using testing_download::TempFolder;
using testing_download::kEndRecord;

const std::string kTovrin = std::string(TOVRIN_BINARY_DIR) + "/tovrin";
const std::string kEmulator = std::string(TOVRIN_BINARY_DIR) + "/tovrin-programmer";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// tovrin-programmer as a child process, stopped (and its dumps written) by Stop.
class EmulatorProcess {
 public:
  EmulatorProcess(const TempFolder& folder, std::vector<std::string> options) {
    options.insert(options.begin(), kEmulator);
    for (const char* dump : {"--sram-dump", "--flash-dump", "--transcript"}) options.push_back(dump);
    options.insert(options.end() - 2, folder.File("sram.hex"));
    options.insert(options.end() - 1, folder.File("flash.hex"));
    options.push_back(folder.File("transcript.txt"));
    std::vector<char*> argv;
    for (std::string& option : options) argv.push_back(option.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    if (posix_spawn(&pid, kEmulator.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char c;
    while (pid > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') device += c;
    ::close(out[0]);
  }
  ~EmulatorProcess() { Stop(); }
  int Stop() {
    if (pid <= 0) return -1;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  pid_t pid = -1;
  std::string device;
};

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::access(kTovrin.c_str(), X_OK) != 0 || ::access(kEmulator.c_str(), X_OK) != 0)
      GTEST_SKIP() << "tovrin and tovrin-programmer are not built";
  }
  // Runs tovrin with the arguments; its exit status, standard output and standard error.
  int Tovrin(const std::string& arguments) {
    const std::string command = Format("'%s' %s >'%s' 2>'%s' </dev/null", kTovrin.c_str(), arguments.c_str(),
                                       folder.File("out.txt").c_str(), folder.File("err.txt").c_str());
    const int status = std::system(command.c_str());
    out = ReadFile(folder.File("out.txt"));
    err = ReadFile(folder.File("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempFolder folder;
  std::string out, err;
};

TEST_F(CommandLineTest, DownloadAndInstallReachTheProgrammer) {
  const std::string image = Record(0x0060, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}) +
                            Record(0x0070, {0x21, 0x22, 0x23}) + kEndRecord;
  const std::string firmware = Record(0x0000, {0xC0, 0x12, 0x34, 0x56}) + kEndRecord;
  folder.Write("prog.hex", image);
  folder.Write("firmware.hex", firmware);
  EmulatorProcess emulator(folder, {});
  ASSERT_FALSE(emulator.device.empty());

  // COM3 names the emulator through the stored mapping, and the stored "Port" picks COM3.
  ASSERT_EQ(Tovrin(Format("configure-port COM3 --device '%s' --baud 57600", emulator.device.c_str())), 0) << err;
  EXPECT_EQ(out, Format("COM3  %s 57600 8N1 flow none\n", emulator.device.c_str()));
  folder.Write("Tovrin.reg", ReadFile(folder.File("Tovrin.reg")) +
                                 "\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"3\"\n");

  ASSERT_EQ(Tovrin(Format("download '%s'", folder.File("prog.hex").c_str())), 0) << err;
  EXPECT_EQ(out, "COM3: prog.hex to SRAM through TOVEMU1 (Tovrin Programmer, software 1.10, hardware 2.00)\n");
  EXPECT_NE(err.find("Programmer: TOVEMU1"), std::string::npos) << err;

  ASSERT_EQ(Tovrin(Format("install '%s' --port '%s'", folder.File("firmware.hex").c_str(),
                          emulator.device.c_str())),
            0)
      << err;
  // The firmware given becomes the stored one: a second install needs no file.
  ASSERT_EQ(Tovrin(Format("install --port %s", "COM3")), 0) << err;
  EXPECT_EQ(out, "COM3: firmware.hex to Flash through TOVEMU1 (Tovrin Programmer, software 1.10, hardware 2.00)\n");

  ASSERT_EQ(emulator.Stop(), 0);
  EXPECT_EQ(ReadFile(folder.File("sram.hex")), image);
  EXPECT_EQ(ReadFile(folder.File("flash.hex")), firmware);
}

TEST_F(CommandLineTest, FailuresExitWithStatusThreeAndTheErrorText) {
  folder.Write("prog.hex", Record(0x0100, {1, 2}) + kEndRecord);
  EmulatorProcess emulator(folder, {"--wrong-sums", "5", "--refuse-word", "0x80", "--type", "A"});
  ASSERT_FALSE(emulator.device.empty());
  const std::string port = Format("--port '%s'", emulator.device.c_str());

  EXPECT_EQ(Tovrin(Format("download '%s' %s", folder.File("prog.hex").c_str(), port.c_str())), 3);
  EXPECT_NE(err.find("tovrin: ERROR VERIFYING DATA\naddress 0x0100 .. 0x0102\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Kind: Atmel Programmer"), std::string::npos) << err;
  EXPECT_EQ(out, "");

  EXPECT_EQ(Tovrin(Format("install '%s' %s", folder.File("prog.hex").c_str(), port.c_str())), 3);
  EXPECT_NE(err.find("tovrin: ERROR VERIFYING DATA\naddress 0x0080 (0x0100)\n"), std::string::npos) << err;

  EXPECT_EQ(Tovrin(Format("download '%s' --port '%s'", folder.File("prog.hex").c_str(),
                          folder.File("no-device").c_str())),
            3);
  EXPECT_NE(err.find(Format("tovrin: Failed to open port '%s'", folder.File("no-device").c_str())),
            std::string::npos)
      << err;
}

TEST_F(CommandLineTest, UsageMistakesExitWithStatusTwo) {
  for (const char* arguments :
       {"download", "download a.hex b.hex", "download a.hex --port", "download a.hex --speed 3",
        "install --port", "ports extra", "configure-port", "configure-port COM5",
        "configure-port /dev/ttyS0 --baud 9600", "configure-port COM1 --baud 12345",
        "configure-port COM1 --data-bits 9", "configure-port COM1 --parity mark",
        "configure-port COM1 --stop-bits 3", "configure-port COM1 --flow xon",
        "configure-port COM1 --baud", "configure-port COM1 --colour red"}) {
    EXPECT_EQ(Tovrin(arguments), 2) << arguments;
    EXPECT_EQ(out, "") << arguments;
  }
  // Nothing of the above was stored.
  EXPECT_EQ(ReadFile(folder.File("Tovrin.reg")), "");
  ASSERT_EQ(Tovrin("ports"), 0);
  EXPECT_NE(out.find("  COM4  /dev/ttyS3 19200 8N1 flow none\n"), std::string::npos) << out;
}

}  // namespace
