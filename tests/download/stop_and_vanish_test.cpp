// Transfers that end early: a stop requested from another thread, and a programmer that
// vanishes mid-transfer. Both against the emulated programmer over a real pseudo-terminal.
#include <atomic>
#include <thread>

#include "download/programmer.h"
#include "download/serial.h"
#include "download_fixture.h"
#include "platform/recording_interface.h"

namespace {

using namespace testing_download;

// n records of 16 bytes from 0x0060, then the end record.
std::string Image(int n) {
  std::string text;
  for (int r = 0; r < n; ++r) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 16; ++i) bytes.push_back(static_cast<uint8_t>(r * 16 + i));
    text += Record(0x0060 + 16 * r, bytes);
  }
  return text + kEndRecord;
}

class StopAndVanish : public EmulatorTest {
 protected:
  void SetUp() override { programmer.Setup(); }
  long HostBytes() const {
    long count = 0;
    for (const CEmulatedProgrammer::Event& event : emulator.Events()) count += event.fromHost;
    return count;
  }

  CRecordingInterface ui;
  CProgrammer programmer;
};

TEST_F(StopAndVanish, AStopBetweenBlocksLeavesTheLoaderAndTheNextDownloadWorks) {
  const std::string image = Image(10);
  const std::string path = folder.Write("prog.hex", image);
  StartEmulator();
  ASSERT_TRUE(programmer.Connect(emulator.DevicePath())) << programmer.errorText;
  emulator.ClearTranscript();

  bool ok = true;
  std::atomic<bool> done{false};
  std::thread transfer([&] {
    ok = programmer.DownloadSram(path, "prog.hex");
    done = true;
  });
  // T 13, L, then one block is 3 + 2 + 16 bytes: stop once the first block is under way.
  while (!done && HostBytes() < 3 + 10) std::this_thread::yield();
  programmer.RequestStop();
  transfer.join();

  EXPECT_FALSE(ok);
  EXPECT_TRUE(programmer.interrupted);
  EXPECT_FALSE(programmer.lostProgrammer);
  EXPECT_EQ(programmer.errorText, "interrupted");
  const std::string transcript = emulator.Transcript();
  // The block under way was finished, then the loader left and the transfer abandoned.
  const std::string ending = "> 6C 00\n< 01\n> 58 08\n< 01\n";
  ASSERT_GE(transcript.size(), ending.size());
  EXPECT_EQ(transcript.substr(transcript.size() - ending.size()), ending) << transcript;
  EXPECT_LT(emulator.SramBytes().size(), 160u);
  EXPECT_TRUE(ui.messages.empty());
  programmer.Disconnect();

  // Still stopped until cleared: a Connect does not even open the port.
  EXPECT_FALSE(programmer.Connect(emulator.DevicePath()));
  EXPECT_EQ(programmer.errorText, "interrupted");
  EXPECT_FALSE(programmer.port.IsOpen());

  programmer.ClearStop();
  ASSERT_TRUE(programmer.Connect(emulator.DevicePath())) << programmer.errorText;
  ASSERT_TRUE(programmer.DownloadSram(path, "prog.hex")) << programmer.errorText;
  programmer.Disconnect();
  EXPECT_EQ(emulator.SramHex(), image);
}

TEST_F(StopAndVanish, AStopBetweenFlashWordsLeavesProgrammingMode) {
  const std::string path = folder.Write("fw.hex", Record(0x0000, std::vector<uint8_t>(64, 0x5A)) + kEndRecord);
  StartEmulator();
  ASSERT_TRUE(programmer.Connect(emulator.DevicePath())) << programmer.errorText;
  emulator.ClearTranscript();
  CEmulatorFaults slow;
  slow.replyDelayMs = 5;  // words take long enough to stop between them
  emulator.SetFaults(slow);
  bool ok = true;
  std::atomic<bool> done{false};
  std::thread transfer([&] {
    ok = programmer.DownloadFlash(path, "fw.hex");
    done = true;
  });
  while (!done && HostBytes() < 7 + 3 * 4) std::this_thread::yield();
  programmer.RequestStop();
  transfer.join();
  programmer.Disconnect();
  EXPECT_FALSE(ok);
  EXPECT_EQ(programmer.errorText, "interrupted");
  const std::string transcript = emulator.Transcript();
  const std::string ending = "> 70\n< 01\n> 58 08\n< 01\n";
  ASSERT_GE(transcript.size(), ending.size());
  EXPECT_EQ(transcript.substr(transcript.size() - ending.size()), ending) << transcript;
  EXPECT_LT(emulator.FlashWords().size(), 32u);
}

TEST_F(StopAndVanish, AVanishedProgrammerGivesOneMessageWithPortAndAddress) {
  const std::string path = folder.Write("prog.hex", Image(4));
  CEmulatorFaults faults;
  // Connect (6 bytes), T 13 and L (3), the first block (21), 10 bytes into the second.
  faults.vanishAfter = 6 + 3 + 21 + 10;
  emulator.faults = faults;
  StartEmulator();
  const std::string device = emulator.DevicePath();
  ASSERT_TRUE(programmer.Connect(device)) << programmer.errorText;
  EXPECT_FALSE(programmer.DownloadSram(path, "prog.hex"));
  programmer.Disconnect();
  EXPECT_TRUE(emulator.Vanished());
  EXPECT_TRUE(programmer.lostProgrammer);
  EXPECT_FALSE(programmer.interrupted);
  EXPECT_EQ(programmer.errorText,
            Format("Lost the programmer on %s at address 0x0070: Input/output error", device.c_str()));
  // No message per byte, no verify failure on the status line.
  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
  for (const std::string& entry : ui.statusLog) EXPECT_EQ(entry.find("ERROR VERIFYING"), std::string::npos) << entry;
}

TEST_F(StopAndVanish, AVanishedProgrammerDuringAnInstallOrAConnect) {
  const std::string path = folder.Write("fw.hex", Record(0x0000, std::vector<uint8_t>(32, 0x11)) + kEndRecord);
  CEmulatorFaults faults;
  // Connect (6), T 13, P, E, A (7), three words (9), then the fourth word's letter.
  faults.vanishAfter = 6 + 7 + 9 + 1;
  emulator.faults = faults;
  StartEmulator();
  const std::string device = emulator.DevicePath();
  ASSERT_TRUE(programmer.Connect(device)) << programmer.errorText;
  EXPECT_FALSE(programmer.DownloadFlash(path, "fw.hex"));
  programmer.Disconnect();
  EXPECT_TRUE(programmer.lostProgrammer);
  EXPECT_EQ(programmer.errorText,
            Format("Lost the programmer on %s at address 0x0006: Input/output error", device.c_str()));
  EXPECT_TRUE(ui.messages.empty());

  // Gone during the identification: said as such, not as a missing ID.
  CEmulatedProgrammer early;
  early.faults.vanishAfter = 3;
  std::string error;
  ASSERT_TRUE(early.Open(error)) << error;
  ASSERT_TRUE(early.Start());
  CProgrammer other;
  other.Setup();
  EXPECT_FALSE(other.Connect(early.DevicePath()));
  EXPECT_TRUE(other.lostProgrammer);
  EXPECT_EQ(other.errorText.rfind("Lost the programmer on " + early.DevicePath() + " while connecting: ", 0), 0u)
      << other.errorText;
  other.Disconnect();
  early.Stop();
}

TEST(SerialLine, AHungUpLineFailsAtOnceWithoutMessages) {
  CRecordingInterface ui;
  RawPty pty;
  ASSERT_GE(pty.master, 0);
  TempFolder folder;
  CSerial port;
  port.SetBufferSize(64);
  port.timeout = 60000;  // a silent line would keep a read waiting for minutes
  port.portName = pty.device;
  ASSERT_TRUE(port.Open());
  ::close(pty.slave);
  ::close(pty.master);
  pty.slave = pty.master = -1;
  uint8_t bytes[2] = {};
  EXPECT_FALSE(port.Read(bytes, 1));
  EXPECT_TRUE(port.Lost());
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(port.Write(bytes, 1));
  EXPECT_TRUE(ui.messages.empty());
  port.Close();
  // A fresh open of a working line starts without the old loss.
  RawPty again;
  port.portName = again.device;
  ASSERT_TRUE(port.Open());
  EXPECT_FALSE(port.Lost());
}

}  // namespace
