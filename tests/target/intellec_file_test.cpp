#include "target/intellec_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/recording_interface.h"

namespace {

namespace fs = std::filesystem;

// A file in a fresh temporary folder, removed with the fixture.
class IntellecReader : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tovrin-reader-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::string Write(const std::string& contents, const std::string& name = "in.hex") {
    fs::path path = folder / name;
    std::ofstream out(path, std::ios::binary);
    out << contents;
    return path.string();
  }

  fs::path folder;
  CRecordingInterface ui;
};

TEST_F(IntellecReader, ReadsRecordsInEitherCaseWithCrLfAndBlankLines) {
  std::string path = Write(
      ":030060000001FF9d\r\n"
      "\r\n"
      "  :02007000abCD16\n"
      ":00000001FF");
  CIntellecFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.stopped, 0);
  EXPECT_EQ(file.count, 3);
  EXPECT_EQ(file.address, 0x60);
  EXPECT_EQ(file.data, (std::vector<uint8_t>{0x00, 0x01, 0xff}));
  EXPECT_EQ(file.checksum, 0x9d);
  EXPECT_EQ(file.Position(), 17);

  ASSERT_TRUE(file.ReadRecord());
  EXPECT_EQ(file.count, 2);
  EXPECT_EQ(file.address, 0x70);
  EXPECT_EQ(file.data, (std::vector<uint8_t>{0xab, 0xcd}));

  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 1);
  EXPECT_EQ(file.message, "End of File");
  // Once stopped, reading stays at the end.
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.message, "End of File");
  EXPECT_EQ(file.FileSize(), static_cast<int>(fs::file_size(path)));
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IntellecReader, EndsNormallyAtEndOfInputOrAnyZeroCount) {
  CIntellecFile empty;
  EXPECT_FALSE(empty.Open(Write("")));
  EXPECT_EQ(empty.stopped, 1);
  EXPECT_EQ(empty.message, "End of File");

  CIntellecFile blanks;
  EXPECT_FALSE(blanks.Open(Write(" \r\n\n\t")));
  EXPECT_EQ(blanks.stopped, 1);

  // A zero-length data record ends reading just as the end record does,
  // and any type with data is taken as data.
  CIntellecFile zero;
  ASSERT_TRUE(zero.Open(Write(":0100000401fa\n:00123400ba\n:0100000011ee\n")));
  EXPECT_EQ(zero.data, (std::vector<uint8_t>{0x01}));
  EXPECT_FALSE(zero.ReadRecord());
  EXPECT_EQ(zero.stopped, 1);
  EXPECT_EQ(zero.message, "End of File");

  // No final end record: the file simply runs out after the last record.
  CIntellecFile open;
  ASSERT_TRUE(open.Open(Write(":0100600011ee\n")));
  EXPECT_FALSE(open.ReadRecord());
  EXPECT_EQ(open.stopped, 1);
}

TEST_F(IntellecReader, FailedRecordsLeaveStoppedClearWithTheirMessage) {
  struct Case {
    const char* contents;
    const char* message;
  } cases[] = {
      {"0300600001FF9c\n", "Error in file; not Intellec format"},
      {"\x7f" "ELF\x02\x01", "Error in file; not Intellec format"},
      {":03006g0001FF9c\n", "Invalid character in file"},
      {":0300600001FF9c", "End of File"},  // the checksum is missing
      {":030060000", "End of File"},
      {":03006000", "End of File"},
      {":0", "End of File"},
      {":", "End of File"},
      {":0300600001\n:0100600011ee\n", "Invalid character in file"},  // count longer than the line
      {":01 0060 00 11 ee\n", "Invalid character in file"},
  };
  for (const Case& c : cases) {
    CIntellecFile file;
    EXPECT_FALSE(file.Open(Write(c.contents))) << c.contents;
    EXPECT_EQ(file.stopped, 0) << c.contents;
    EXPECT_EQ(file.message, c.message) << c.contents;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IntellecReader, MaximalRecordOf255Bytes) {
  std::string line = ":ff010000";
  unsigned sum = 0xff + 0x01;
  for (int i = 0; i < 255; ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", i);
    line += digits;
    sum += static_cast<unsigned>(i);
  }
  char check[3];
  std::snprintf(check, sizeof check, "%02x", (0x100 - (sum & 0xff)) & 0xff);
  line += check;
  CIntellecFile file;
  ASSERT_TRUE(file.Open(Write(line + "\n:00000001FF")));
  ASSERT_EQ(file.data.size(), 255u);
  EXPECT_EQ(file.count, 255);
  EXPECT_EQ(file.address, 0x0100);
  for (int i = 0; i < 255; ++i) EXPECT_EQ(file.data[static_cast<size_t>(i)], i);
  // The position stops right after the record, before its line feed.
  EXPECT_EQ(file.Position(), static_cast<int>(line.size()));
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 1);
}

TEST_F(IntellecReader, MissingFileOrFolderShowsTheSystemText) {
  CIntellecFile file;
  EXPECT_FALSE(file.Open((folder / "absent.hex").string()));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "No such file or directory");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(file.message, "No such file or directory");
  EXPECT_EQ(file.stopped, 1);
  EXPECT_FALSE(file.ReadRecord());

  EXPECT_FALSE(file.Open(folder.string()));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "Is a directory");
}

TEST_F(IntellecReader, ReopeningStartsAfresh) {
  CIntellecFile file;
  ASSERT_TRUE(file.Open(Write(":0100600011ee\n", "a.hex")));
  ASSERT_TRUE(file.Open(Write(":0200700022338b\n", "b.hex")));
  EXPECT_EQ(file.address, 0x70);
  EXPECT_EQ(file.data.size(), 2u);
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(file.FileSize(), 0);
}

// Random bytes, random near-records and truncations: every record read keeps
// data the size of its count, and no read goes beyond the file.
TEST_F(IntellecReader, ArbitraryInputNeverOverreads) {
  std::mt19937 random(12345);
  const std::string alphabet = ":0123456789abcdefABCDEF \r\nxZ";
  for (int round = 0; round < 300; ++round) {
    std::string contents;
    size_t length = random() % 600;
    bool textual = round % 2 == 0;
    for (size_t i = 0; i < length; ++i) {
      contents += textual ? alphabet[random() % alphabet.size()] : static_cast<char>(random() & 0xff);
    }
    if (round % 3 == 0) contents = ":ff0000" + contents;
    std::string path = Write(contents);
    CIntellecFile file;
    bool ok = file.Open(path);
    int records = 0;
    while (ok && records < 1000) {
      ASSERT_EQ(file.data.size(), file.count);
      ASSERT_LE(file.Position(), static_cast<int>(contents.size()));
      ok = file.ReadRecord();
      ++records;
    }
    ASSERT_LE(file.Position(), static_cast<int>(contents.size()));
    file.Close();
  }
}

TEST_F(IntellecReader, LargeFileIsReadInOnePass) {
  // 50 MB: one record then a long run of blank lines, then a bad line.
  std::string path = (folder / "big.hex").string();
  {
    std::ofstream out(path, std::ios::binary);
    out << ":0100600011ee\n";
    std::string blanks(1 << 20, '\n');
    for (int i = 0; i < 50; ++i) out << blanks;
    out << "junk";
  }
  CIntellecFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.FileSize(), 14 + 50 * (1 << 20) + 4);
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 0);
  EXPECT_EQ(file.message, "Error in file; not Intellec format");
  EXPECT_EQ(file.Position(), 14 + 50 * (1 << 20) + 1);
}

}  // namespace
