// The check a hex file passes before any port is opened: what is accepted, what is refused
// with its file and line, and the SRAM bounds.
#include "download/hex_check.h"

#include "download_fixture.h"

namespace {

using testing_download::Record;
using testing_download::TempFolder;
using testing_download::kEndRecord;

TEST(HexCheck, AcceptsWhatTheWriterAndTheReaderAccept) {
  TempFolder folder;
  // Upper-case digits, CR LF, blank lines and indented records, a one-byte record.
  std::string upper = Record(0x0060, {0xAB, 0xCD, 0xEF});
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string path =
      folder.Write("ok.hex", "\r\n" + upper.substr(0, upper.size() - 1) + "\r\n\n  " + Record(0x0070, {1}) +
                                 Record(0xFFF0, std::vector<uint8_t>(16, 7)) + ":00000001FF\r\n");
  HexCheck check = CheckHexFile(path, HexDestination::Sram);
  ASSERT_TRUE(check.ok) << check.message;
  EXPECT_EQ(check.records, 3);
  EXPECT_EQ(check.dataBytes, 20);
  EXPECT_EQ(check.sentBytes, 21);  // the one-byte record goes as two
  EXPECT_EQ(check.lowest, 0x0060u);
  EXPECT_EQ(check.highest, 0x10000u);

  // Lines ended by a lone CR count as lines too.
  std::string mac = Record(0x0060, {1, 2}) + Record(0x0062, {3}) + kEndRecord;
  for (char& c : mac)
    if (c == '\n') c = '\r';
  check = CheckHexFile(folder.Write("mac.hex", mac), HexDestination::Sram);
  EXPECT_TRUE(check.ok) << check.message;
  EXPECT_EQ(check.records, 2);

  // Firmware starts at 0 and is fine for Flash.
  const std::string firmware = folder.Write("fw.hex", Record(0x0000, {0x0C, 0x94, 0x34, 0x00}) + kEndRecord);
  EXPECT_TRUE(CheckHexFile(firmware, HexDestination::Flash).ok);
}

TEST(HexCheck, RefusesFilesThatWouldSendWrongBytesNamingFileAndLine) {
  TempFolder folder;
  const std::string good = Record(0x0060, {1, 2, 3, 4});
  std::string badSum = Record(0x0070, {5, 6});
  badSum[badSum.size() - 2] = badSum[badSum.size() - 2] == '0' ? '1' : '0';
  const struct {
    const char* name;
    std::string contents;
    HexDestination destination;
    std::string says;
  } cases[] = {
      {"sum.hex", good + "\n" + badSum + kEndRecord, HexDestination::Sram, ":3: checksum 0x"},
      {"sum-flash.hex", badSum + kEndRecord, HexDestination::Flash, ":1: checksum 0x"},
      {"digit.hex", good + ":02007000zz0687\n" + kEndRecord, HexDestination::Sram, ":2: malformed record: 'z'"},
      {"short.hex", good + ":0200700005\n" + kEndRecord, HexDestination::Sram,
       ":2: malformed record: its count says 2 data bytes, the line holds 0"},
      {"odd.hex", good + ":0100700005f\n" + kEndRecord, HexDestination::Sram, ":2: malformed record: an odd"},
      {"text.hex", "hello\n" + good + kEndRecord, HexDestination::Flash, ":1: not a hex record"},
      {"empty.hex", "", HexDestination::Sram, "empty.hex:1: no data records"},
      {"only-end.hex", std::string("\n") + kEndRecord, HexDestination::Flash,
       "only-end.hex:2: no data records before the end record"},
      {"cut.hex", good + Record(0x0064, {9}), HexDestination::Sram, "cut.hex:2: no end record"},
      {"after-end.hex", good + kEndRecord + "\n" + Record(0x0080, {1, 2}), HexDestination::Sram,
       ":3: data after the end record on line 2"},
      {"extended.hex", ":020000040001f9\n" + good + kEndRecord, HexDestination::Flash, ":1: record type 04"},
      {"low.hex", good + Record(0x005E, {1, 2, 3}) + kEndRecord, HexDestination::Sram,
       "low.hex:2: record at 0x005e lies below 0x0060"},
      {"past.hex", good + Record(0xFFF8, std::vector<uint8_t>(16, 1)) + kEndRecord, HexDestination::Sram,
       ":2: record at 0xfff8 with 16 bytes runs past 0xffff"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.Write(c.name, c.contents);
    const HexCheck check = CheckHexFile(path, c.destination);
    EXPECT_FALSE(check.ok) << c.name;
    EXPECT_EQ(check.message.rfind(path, 0), 0u) << check.message;
    EXPECT_NE(check.message.find(c.says), std::string::npos) << c.name << ": " << check.message;
    EXPECT_EQ(check.message.find("Flash image"), std::string::npos) << check.message;
  }

  // A Flash image sent to SRAM is refused with a hint.
  const std::string firmware = folder.Write("fw.hex", Record(0x0000, {0x0C, 0x94, 0x34, 0x00}) + kEndRecord);
  const HexCheck flash = CheckHexFile(firmware, HexDestination::Sram);
  EXPECT_FALSE(flash.ok);
  EXPECT_NE(flash.message.find(":1: record at 0x0000 lies below 0x0060"), std::string::npos) << flash.message;
  EXPECT_NE(flash.message.find("looks like a Flash image"), std::string::npos) << flash.message;

  // Files that cannot be read are named with the system's reason.
  const HexCheck missing = CheckHexFile(folder.File("missing.hex"), HexDestination::Sram);
  EXPECT_EQ(missing.message, folder.File("missing.hex") + ": No such file or directory");
  EXPECT_EQ(CheckHexFile(folder.path, HexDestination::Sram).message, folder.path + ": Is a directory");
  EXPECT_EQ(CheckHexFile("/dev/zero", HexDestination::Flash).message, "/dev/zero: not a regular file");
}

TEST(HexCheck, EstimateFollowsThePacingOfEveryByte) {
  HexCheck check;
  check.records = 32;
  check.dataBytes = check.sentBytes = 512;
  // About 11 ms a byte at 19200 baud: the pause after each byte, not the line, sets the pace.
  const int ms = EstimatedSramMilliseconds(check, 19200);
  EXPECT_GE(ms, 512 * 10.5);
  EXPECT_LE(ms, 512 * 12);
  EXPECT_LT(EstimatedSramMilliseconds(check, 115200), ms);
  EXPECT_GE(EstimatedSramMilliseconds(check, 115200), 512 * 10);
}

}  // namespace
