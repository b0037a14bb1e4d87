#include "image/intellec_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/recording_interface.h"

namespace {

namespace fs = std::filesystem;

class IntellecReader : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tovrin-reader-" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::string Write(const std::string& contents) {
    std::ofstream((folder / "in.hex"), std::ios::binary) << contents;
    return (folder / "in.hex").string();
  }
  fs::path folder;
  CRecordingInterface ui;
};

TEST_F(IntellecReader, EitherCaseCrLfAndBlankLines) {
  CIntellecFile file;
  ASSERT_TRUE(file.Open(Write(":030060000001FF9d\r\n\r\n  :02007000abCD16\n:00000001FF")));
  EXPECT_EQ(file.count, 3);
  EXPECT_EQ(file.address, 0x60);
  EXPECT_EQ(file.data, (std::vector<uint8_t>{0x00, 0x01, 0xff}));
  EXPECT_EQ(file.checksum, 0x9d);
  EXPECT_EQ(file.Position(), 17);  // right after the record, before its line break
  ASSERT_TRUE(file.ReadRecord());
  EXPECT_EQ(file.address, 0x70);
  EXPECT_EQ(file.data, (std::vector<uint8_t>{0xab, 0xcd}));
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 1);
  EXPECT_EQ(file.message, "End of File");
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.FileSize(), 50);
  EXPECT_TRUE(file.Close());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IntellecReader, NormalEndsSetStopped) {
  // Empty, only blanks, a zero count of any type, or simply no more records.
  for (const char* contents : {"", " \r\n\n\t", ":00123400ba\n:0100600011ee\n", ":0100000401fa\n:00000001FF"}) {
    CIntellecFile file;
    for (bool ok = file.Open(Write(contents)); ok; ok = file.ReadRecord()) {
      EXPECT_EQ(file.data.size(), 1u);  // a nonzero count is data whatever its type
    }
    EXPECT_EQ(file.stopped, 1) << contents;
    EXPECT_EQ(file.message, "End of File") << contents;
  }
}

TEST_F(IntellecReader, FailedRecordsKeepStoppedClear) {
  const std::pair<const char*, const char*> cases[] = {
      {"0300600001FF9c\n", "Error in file; not Intellec format"},
      {"\x7f" "ELF\x02\x01", "Error in file; not Intellec format"},
      {":03006g0001FF9c\n", "Invalid character in file"},
      {":0300600001\n:0100600011ee\n", "Invalid character in file"},  // count longer than the line
      {":01 0060 00 11 ee\n", "Invalid character in file"},
      {":0300600001FF9c", "End of File"},  // cut short before the checksum
      {":0", "End of File"},
      {":", "End of File"},
  };
  for (auto [contents, message] : cases) {
    CIntellecFile file;
    EXPECT_FALSE(file.Open(Write(contents))) << contents;
    EXPECT_EQ(file.stopped, 0) << contents;
    EXPECT_EQ(file.message, message) << contents;
  }
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(IntellecReader, LongestRecord) {
  std::string line = ":ff010000";
  for (int i = 0; i < 255; ++i) {
    line += "0123456789ABCDEF"[i >> 4];  // mixed case within one record
    line += "0123456789abcdef"[i & 15];
  }
  CIntellecFile file;
  ASSERT_TRUE(file.Open(Write(line + "00")));
  ASSERT_EQ(file.data.size(), 255u);
  EXPECT_EQ(file.data[254], 254);
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 1);
}

TEST_F(IntellecReader, MissingFileOrFolderShowsTheSystemText) {
  CIntellecFile file;
  EXPECT_FALSE(file.Open((folder / "absent.hex").string()));
  EXPECT_FALSE(file.Open(folder.string()));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[0].text, "No such file or directory");
  EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(ui.messages[1].text, "Is a directory");
  EXPECT_EQ(file.message, "Is a directory");  // what a download reports
}

// Random bytes and near-records: data always matches its count, reads stay in the file.
TEST_F(IntellecReader, ArbitraryInputNeverOverreads) {
  std::mt19937 random(12345);
  const std::string alphabet = ":0123456789abcdefABCDEF \r\nxZ";
  for (int round = 0; round < 300; ++round) {
    std::string contents = round % 3 == 0 ? ":ff0000" : "";
    for (size_t i = random() % 600; i > 0; --i) {
      contents += round % 2 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    CIntellecFile file;
    for (bool ok = file.Open(Write(contents)); ok; ok = file.ReadRecord()) {
      ASSERT_EQ(file.data.size(), file.count);
    }
    ASSERT_LE(file.Position(), static_cast<int>(contents.size()));
  }
}

TEST_F(IntellecReader, FiftyMegabytesInOnePass) {
  std::string path = Write(":0100600011ee\n" + std::string(50 << 20, '\n') + "junk");
  CIntellecFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_FALSE(file.ReadRecord());
  EXPECT_EQ(file.stopped, 0);
  EXPECT_EQ(file.message, "Error in file; not Intellec format");
  EXPECT_EQ(file.Position(), 14 + (50 << 20) + 1);
}

}  // namespace
