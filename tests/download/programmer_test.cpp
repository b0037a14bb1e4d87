// The programmer protocol against the emulated programmer over a real pseudo-terminal:
// byte-exact transcripts, the connect sequence, verification failures and their texts, the
// SRAM pacing delay, and hex files that fail to read.
#include "download/programmer.h"

#include <algorithm>
#include <thread>

#include "download_fixture.h"
#include "platform/recording_interface.h"

namespace {

using namespace testing_download;
using Clock = std::chrono::steady_clock;

// What a clean Connect exchanges with the emulator's default identity.
const char kConnectTranscript[] =
    "> 58 01\n< 01\n"
    "> 49\n< 54 4F 56 45 4D 55 31\n"
    "> 56\n< 01 0A\n"
    "> 76\n< 02 00\n"
    "> 79\n< 46\n";

class ProgrammerTest : public EmulatorTest {
 protected:
  void SetUp() override { programmer.Setup(); }

  bool Connect() {
    StartEmulator();
    return programmer.Connect(emulator.DevicePath());
  }
  // Connects, then clears the transcript so a test sees only its download.
  void ConnectQuietly() {
    ASSERT_TRUE(Connect()) << programmer.errorText;
    emulator.ClearTranscript();
  }
  // Every SRAM block sent: its data count and the time from the acknowledgement of its address
  // to the arrival of its last data byte. The host waits one pacing delay after "R" n and one
  // after each data byte but the last before sending that byte, so the span is at least
  // count x delay whatever the scheduling.
  struct Block {
    size_t count;
    double span;
  };
  std::vector<Block> SramBlocks() const {
    const std::vector<CEmulatedProgrammer::Event> events = emulator.Events();
    std::vector<Block> blocks;
    for (size_t i = 1; i + 1 < events.size(); ++i) {
      // A command byte follows an answer; a data byte 0x52 follows host bytes.
      if (!events[i].fromHost || events[i].byte != 'R' || events[i - 1].fromHost) continue;
      const size_t count = events[i + 1].byte;
      const size_t last = i + 1 + count;
      if (last >= events.size()) continue;
      const double span =
          std::chrono::duration<double, std::milli>(events[last].time - events[i - 1].time).count();
      blocks.push_back({count, span});
    }
    return blocks;
  }

  CRecordingInterface ui;
  CProgrammer programmer;
};

TEST_F(ProgrammerTest, CleanSramDownloadIsByteExact) {
  const std::string path = folder.Write(
      "prog.hex", Record(0x007E, {1, 2, 3}) + Record(0x0081, {0xAA}) + Record(0x007F, {0xBB}) + kEndRecord);
  ASSERT_TRUE(Connect()) << programmer.errorText;
  EXPECT_EQ(programmer.programmerId, "TOVEMU1");
  EXPECT_DOUBLE_EQ(programmer.softwareVersion, 1.10);
  EXPECT_DOUBLE_EQ(programmer.hardwareVersion, 2.0);
  EXPECT_EQ(programmer.isOwnProgrammer, 1);

  ASSERT_TRUE(programmer.DownloadSram(path, "prog.hex")) << programmer.errorText;
  EXPECT_TRUE(programmer.Disconnect());
  // The first record is the worked example; a one-byte record goes as two bytes whose second
  // keeps memory as it was: 0 where nothing was written, else the byte written there.
  EXPECT_EQ(emulator.Transcript(), std::string(kConnectTranscript) +
                                       "> 54 13\n< 01\n"
                                       "> 4C\n< 01\n"
                                       "> 41 00 7E\n< 01\n"
                                       "> 52 03 01 02 03\n< 06\n"
                                       "> 41 00 81\n< 01\n"
                                       "> 52 02 AA 00\n< AA\n"
                                       "> 41 00 7F\n< 01\n"
                                       "> 52 02 BB 03\n< BE\n"
                                       "> 6C 01\n< 01\n");
  EXPECT_EQ(emulator.SramBytes(),
            (std::map<unsigned, uint8_t>{{0x7E, 1}, {0x7F, 0xBB}, {0x80, 3}, {0x81, 0xAA}, {0x82, 0}}));
  EXPECT_EQ(programmer.pacingDelay, kMinPacingDelayMs);

  // Every pacing delay was waited: after "R" n and after each data byte.
  const auto blocks = SramBlocks();
  ASSERT_EQ(blocks.size(), 3u);
  for (const Block& block : blocks) EXPECT_GE(block.span, block.count * kMinPacingDelayMs - 0.5);

  const int size = static_cast<int>(std::filesystem::file_size(path));
  ASSERT_GE(ui.statusLog.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(ui.statusLog.begin(), ui.statusLog.begin() + 7),
            (std::vector<std::string>{"open", "1018=Download prog.hex to SRAM", "1016=TOVEMU1",
                                      "1017=  Tovrin Programmer", "1015=1.10", "1014=2.00",
                                      Format("range 0..%d", size)}));
  EXPECT_EQ(ui.statusLog.back(), "close");
  EXPECT_EQ(ui.pumps, 7);  // once before each data byte
  EXPECT_GT(ui.progressPosition, 0);
  EXPECT_LE(ui.progressPosition, size);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ProgrammerTest, CleanFlashInstallIsByteExactAndContiguous) {
  emulator.identity.type = 'A';
  emulator.identity.id = "ATMELPR";
  emulator.identity.softwareVersion[0] = 3;
  emulator.identity.softwareVersion[1] = 5;
  // Odd count: the last byte pairs with erased Flash. The second record's own address (0x0100)
  // is not used: it follows the first at the next word.
  const std::string path =
      folder.Write("Tovrin.hex", Record(0x0040, {1, 2, 3}) + Record(0x0100, {0x11, 0x22, 0x33, 0x44}) +
                                     Record(0x0200, {0x55, 0x66}) + kEndRecord);
  ConnectQuietly();
  EXPECT_EQ(programmer.isOwnProgrammer, 0);
  ASSERT_TRUE(programmer.DownloadFlash(path, "Tovrin.hex")) << programmer.errorText;
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n"
            "> 50\n< 01\n"
            "> 45\n< 01\n"
            "> 41 00 20\n< 01\n"
            "> 46 02 01\n< 01\n"
            "> 46 FF 03\n< 01\n"
            "> 46 22 11\n< 01\n"
            "> 46 44 33\n< 01\n"
            "> 46 66 55\n< 01\n"
            "> 70\n< 01\n");
  EXPECT_EQ(emulator.FlashWords(), (std::map<unsigned, uint16_t>{
                                       {0x20, 0x0201}, {0x21, 0xFF03}, {0x22, 0x2211}, {0x23, 0x4433}, {0x24, 0x6655}}));
  EXPECT_EQ(ui.statusLog[1], "1018=Download Tovrin.hex to Flash");
  EXPECT_EQ(ui.statusLog[2], "1016=ATMELPR");
  EXPECT_EQ(ui.statusLog[3], "1017=  Atmel Programmer");
  EXPECT_EQ(ui.statusLog[4], "1015=3.05");
  EXPECT_EQ(ui.pumps, 5);  // once before each word
  EXPECT_EQ(ui.statusLog.back(), "close");
}

TEST_F(ProgrammerTest, GarbledFirstSynchroniseThenConnects) {
  emulator.faults.garbledSyncs = 1;
  ASSERT_TRUE(Connect()) << programmer.errorText;
  EXPECT_EQ(emulator.Transcript(), std::string("> 58 01\n< 3F\n") + kConnectTranscript);
}

TEST_F(ProgrammerTest, GarbledEverySynchroniseFails) {
  emulator.faults.garbledSyncs = 3;
  EXPECT_FALSE(Connect());
  EXPECT_EQ(programmer.errorText, "Garbled Connection; problem with programmer or connection.");
  EXPECT_EQ(emulator.Transcript(), "> 58 01\n< 3F\n> 58 01\n< 3F\n> 58 01\n< 3F\n");
  EXPECT_EQ(programmer.programmerId, "<error>");
  EXPECT_TRUE(programmer.Disconnect());
}

TEST_F(ProgrammerTest, SilentProgrammerTimesOutAfterThreeTries) {
  emulator.faults.silent = true;
  const auto start = Clock::now();
  EXPECT_FALSE(Connect());
  // Each try: a drain read that fails, then three reads that fail, 11 time-outs each.
  EXPECT_GE(MillisecondsSince(start), 3 * 4 * 11 * kReadCallTimeoutMs * 0.95);
  EXPECT_EQ(programmer.errorText, "Connection timed out; problem with programmer or connection settings.");
  EXPECT_EQ(emulator.Transcript(), "> 58 01 58 01 58 01\n");
}

TEST_F(ProgrammerTest, MissingAnswersAreNamedAndLateOnesDrained) {
  // A missing software version: its text, the version zeroed, the earlier fields kept.
  programmer.softwareVersion = 9;
  emulator.faults.dropReplyTo = 'V';
  emulator.faults.dropReplies = 1;
  EXPECT_FALSE(Connect());
  EXPECT_EQ(programmer.errorText, "Error retrieving software version #.");
  EXPECT_EQ(programmer.softwareVersion, 0);
  EXPECT_EQ(programmer.programmerId, "TOVEMU1");
  programmer.Disconnect();

  // Answers slower than the read budget: the identification comes too late ...
  CEmulatorFaults slow;
  slow.replyDelayMs = 600;
  emulator.SetFaults(slow);
  EXPECT_FALSE(programmer.Connect(emulator.DevicePath()));
  EXPECT_EQ(programmer.errorText, "Error retrieving programmer ID.");
  programmer.Disconnect();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  // ... and lies on the line until the next connect drains it.
  emulator.SetFaults(CEmulatorFaults());
  emulator.ClearTranscript();
  ASSERT_TRUE(programmer.Connect(emulator.DevicePath())) << programmer.errorText;
  EXPECT_EQ(emulator.Transcript(), kConnectTranscript);
  programmer.Disconnect();

  EXPECT_FALSE(programmer.Connect(folder.File("missing")));
  EXPECT_EQ(programmer.errorText, Format("Failed to open port '%s'", folder.File("missing").c_str()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "No such file or directory");
}

TEST_F(ProgrammerTest, ChecksumFailureGrowsTheDelayAndSuccessShrinksIt) {
  emulator.faults.wrongSums = 1;
  const std::string path = folder.Write("delay.hex", Record(0x0100, {1, 2}) + Record(0x0102, {3, 4}) +
                                                         Record(0x0104, {5, 6}) + kEndRecord);
  ConnectQuietly();
  ASSERT_TRUE(programmer.DownloadSram(path, "delay.hex")) << programmer.errorText;
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n> 4C\n< 01\n"
            "> 41 01 00\n< 01\n> 52 02 01 02\n< FC\n"  // wrong: the ones' complement of 03
            "> 41 01 00\n< 01\n> 52 02 01 02\n< 03\n"
            "> 41 01 02\n< 01\n> 52 02 03 04\n< 07\n"
            "> 41 01 04\n< 01\n> 52 02 05 06\n< 0B\n"
            "> 6C 01\n< 01\n");
  // 10 ms, then 15 after the failure, 14 and 13 after the successes, 12 at the end.
  EXPECT_EQ(programmer.pacingDelay, 12);
  const auto blocks = SramBlocks();
  ASSERT_EQ(blocks.size(), 4u);
  const int delays[] = {10, 15, 14, 13};
  for (size_t i = 0; i < blocks.size(); ++i)
    EXPECT_GE(blocks[i].span, 2 * delays[i] - 0.5) << "block " << i;
}

TEST_F(ProgrammerTest, MissingSumIsAFailedAttemptEvenForAZeroSum) {
  emulator.faults.dropReplyTo = 'R';
  emulator.faults.dropReplies = 1;
  const std::string path = folder.Write("zero.hex", Record(0x0300, {0x80, 0x80}) + kEndRecord);
  ConnectQuietly();
  ASSERT_TRUE(programmer.DownloadSram(path, "zero.hex")) << programmer.errorText;
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n> 4C\n< 01\n"
            "> 41 03 00\n< 01\n> 52 02 80 80"  // no answer: the next attempt follows
            " 41 03 00\n< 01\n> 52 02 80 80\n< 00\n"
            "> 6C 01\n< 01\n");
  EXPECT_EQ(programmer.pacingDelay, 14);
}

TEST_F(ProgrammerTest, FiveFailedAttemptsAbandonTheRecord) {
  emulator.faults.wrongSums = 5;
  const std::string path =
      folder.Write("bad.hex", Record(0x0100, {1, 2}) + Record(0x0102, {3, 4}) + kEndRecord);
  ConnectQuietly();
  EXPECT_FALSE(programmer.DownloadSram(path, "bad.hex"));
  EXPECT_EQ(programmer.errorText, "ERROR VERIFYING DATA\naddress 0x0100 .. 0x0102");
  std::string attempts;
  for (int i = 0; i < 5; ++i) attempts += "> 41 01 00\n< 01\n> 52 02 01 02\n< FC\n";
  EXPECT_EQ(emulator.Transcript(), "> 54 13\n< 01\n> 4C\n< 01\n" + attempts +
                                       "> 58 08\n< 01\n"  // abandon at once
                                       "> 6C 00\n< 01\n"  // leave, failed
                                       "> 58 08\n< 01\n");
  EXPECT_EQ(programmer.pacingDelay, 35);
  EXPECT_TRUE(emulator.SramBytes().empty());
  EXPECT_NE(std::find(ui.statusLog.begin(), ui.statusLog.end(),
                      "1018=ERROR VERIFYING DATA\naddress 0x0100 .. 0x0102"),
            ui.statusLog.end());
  EXPECT_EQ(ui.statusLog.back(), "close");
}

TEST_F(ProgrammerTest, RefusedFlashWordStopsTheInstall) {
  emulator.faults.refusedWord = 0x21;
  const std::string path =
      folder.Write("fw.hex", Record(0x0040, {1, 2, 3, 4, 5, 6}) + Record(0x0046, {7, 8}) + kEndRecord);
  ConnectQuietly();
  EXPECT_FALSE(programmer.DownloadFlash(path, "fw.hex"));
  EXPECT_EQ(programmer.errorText, "ERROR VERIFYING DATA\naddress 0x0021 (0x0042)");
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n> 50\n< 01\n> 45\n< 01\n> 41 00 20\n< 01\n"
            "> 46 02 01\n< 01\n"
            "> 46 04 03\n< 3F\n"
            "> 58 08\n< 01\n"  // abandon after the failed verification
            "> 70\n< 01\n"
            "> 58 08\n< 01\n");
  EXPECT_EQ(ui.statusLog[ui.statusLog.size() - 2], "1018=ERROR VERIFYING DATA\naddress 0x0021 (0x0042)");
}

TEST_F(ProgrammerTest, HexFilesThatFailToRead) {
  ConnectQuietly();
  const std::string notHex = folder.Write("text.hex", "hello\n:0100000001fe\n");
  EXPECT_FALSE(programmer.DownloadSram(notHex, "text.hex"));
  EXPECT_EQ(programmer.errorText, "Error in file; not Intellec format");
  EXPECT_EQ(emulator.Transcript(), "> 6C 00\n< 01\n> 58 08\n< 01\n");
  // The answers to the closing commands never replace the first failure's text.
  CEmulatorFaults noCloseAnswer;
  noCloseAnswer.dropReplyTo = 'l';
  noCloseAnswer.dropReplies = 1;
  emulator.SetFaults(noCloseAnswer);
  EXPECT_FALSE(programmer.DownloadSram(notHex, "text.hex"));
  EXPECT_EQ(programmer.errorText, "Error in file; not Intellec format");
  emulator.SetFaults(CEmulatorFaults());

  emulator.ClearTranscript();
  EXPECT_FALSE(programmer.DownloadFlash(notHex, "text.hex"));
  EXPECT_EQ(programmer.errorText, "Error in file; not Intellec format");
  EXPECT_EQ(emulator.Transcript(), "");  // nothing is sent for a file that does not open

  // A bad digit in the second record: the first is loaded, then the download is abandoned.
  emulator.ClearTranscript();
  const std::string broken = folder.Write("broken.hex", Record(0x0060, {9, 8}) + ":02006200zz0001\n");
  EXPECT_FALSE(programmer.DownloadSram(broken, "broken.hex"));
  EXPECT_EQ(programmer.errorText, "Invalid character in file");
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n> 4C\n< 01\n> 41 00 60\n< 01\n> 52 02 09 08\n< 11\n"
            "> 6C 00\n< 01\n> 58 08\n< 01\n");

  // A record cut short in Flash: the words before it are written, then the install fails.
  emulator.ClearTranscript();
  const std::string cut = folder.Write("cut.hex", Record(0x0000, {1, 2}) + ":0400020001");
  EXPECT_FALSE(programmer.DownloadFlash(cut, "cut.hex"));
  EXPECT_EQ(programmer.errorText, "End of File");
  EXPECT_EQ(emulator.Transcript(),
            "> 54 13\n< 01\n> 50\n< 01\n> 45\n< 01\n> 41 00 00\n< 01\n> 46 02 01\n< 01\n"
            "> 70\n< 01\n> 58 08\n< 01\n");

  // Missing and empty files.
  ui.messages.clear();
  EXPECT_FALSE(programmer.DownloadSram(folder.File("absent.hex"), "absent.hex"));
  EXPECT_EQ(programmer.errorText, "No such file or directory");
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  EXPECT_FALSE(programmer.DownloadFlash(folder.Write("empty.hex", ""), "empty.hex"));
  EXPECT_EQ(programmer.errorText, "End of File");
  EXPECT_FALSE(ui.statusOpen);
}

TEST_F(ProgrammerTest, SlowRepliesStillLoad) {
  emulator.faults.replyDelayMs = 30;
  const std::string path = folder.Write("slow.hex", Record(0x0200, {0x10, 0x20, 0x30}) + kEndRecord);
  ASSERT_TRUE(Connect()) << programmer.errorText;
  ASSERT_TRUE(programmer.DownloadSram(path, "slow.hex")) << programmer.errorText;
  EXPECT_EQ(emulator.SramBytes(), (std::map<unsigned, uint8_t>{{0x200, 0x10}, {0x201, 0x20}, {0x202, 0x30}}));
}

// A command that the programmer does not acknowledge names itself; whoever entered a mode takes the
// programmer out of it again, and a failed download is abandoned.
TEST_F(ProgrammerTest, UnacknowledgedCommandsNameTheirStep) {
  struct Case {
    bool flash;
    char silentCommand;
    const char* errorText;  // null: the download succeeds
    const char* transcript;
  };
  const Case cases[] = {
      {false, 'T', "Failed to specify device type.", "> 54 13 6C 00\n< 01\n> 58 08\n< 01\n"},
      {false, 'L', "Failed to enter SRAM Loader mode.", "> 54 13\n< 01\n> 4C 6C 00\n< 01\n> 58 08\n< 01\n"},
      {false, 'A', nullptr,
       "> 54 13\n< 01\n> 4C\n< 01\n> 41 01 00 41 01 00\n< 01\n> 52 02 01 02\n< 03\n> 6C 01\n< 01\n"},
      {true, 'T', "Failed to specify device type.", "> 54 13\n"},
      {true, 'P', "Failed to enter programming mode.", "> 54 13\n< 01\n> 50\n"},
      {true, 'E', "Failed to erase memory.", "> 54 13\n< 01\n> 50\n< 01\n> 45 70\n< 01\n> 58 08\n< 01\n"},
      {true, 'A', "Invalid return code", "> 54 13\n< 01\n> 50\n< 01\n> 45\n< 01\n> 41 00 80 70\n< 01\n> 58 08\n< 01\n"},
  };
  const std::string path = folder.Write("steps.hex", Record(0x0100, {1, 2}) + kEndRecord);
  ConnectQuietly();
  for (const Case& c : cases) {
    CEmulatorFaults faults;
    faults.dropReplyTo = c.silentCommand;
    faults.dropReplies = 1;
    emulator.SetFaults(faults);
    emulator.ClearTranscript();
    // A missing set-address answer in SRAM costs one attempt only; the record then loads.
    const bool loaded =
        c.flash ? programmer.DownloadFlash(path, "steps.hex") : programmer.DownloadSram(path, "steps.hex");
    EXPECT_EQ(loaded, c.errorText == nullptr) << c.silentCommand;
    if (c.errorText != nullptr) {
      EXPECT_EQ(programmer.errorText, c.errorText) << c.silentCommand;
    }
    EXPECT_EQ(emulator.Transcript(), c.transcript) << (c.flash ? "Flash " : "SRAM ") << c.silentCommand;
  }
}

}  // namespace
