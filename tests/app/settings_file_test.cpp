#include "platform/settings_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>

#include "tests/app/test_folder.h"

namespace {

const std::string kMain = "SOFTWARE\\Halvery\\Tovrin";
const std::string kCom1 = "SOFTWARE\\Halvery\\Tovrin\\Ports\\COM1";

std::string ReadOr(const CSettingsFile& file, const std::string& key, const std::string& name,
                   const std::string& fallback = "<missing>") {
  std::string value;
  return file.Read(key, name, value) ? value : fallback;
}

TEST(SettingsFile, NewFileHasTheRegistryExportLayout) {
  TestFolder folder;
  CSettingsFile file(folder / "deep/er/Tovrin.reg");  // folders are created on the first write
  EXPECT_EQ(ReadOr(file, kMain, "Port"), "<missing>");
  ASSERT_TRUE(file.Write(kMain, "Code Location", "1"));
  ASSERT_TRUE(file.Write(kMain, "Tovrin File", "Atmel\\Tovrin.hex"));
  ASSERT_TRUE(file.Write(kCom1, "Device", "/dev/ttyS0"));
  ASSERT_TRUE(file.Write(kMain, "Code Location", "2"));  // replaced in place
  EXPECT_EQ(ReadWholeFile(file.Path()),
            "REGEDIT4\n"
            "\n"
            "[SOFTWARE\\Halvery\\Tovrin]\n"
            "\"Code Location\"=\"2\"\n"
            "\"Tovrin File\"=\"Atmel\\\\Tovrin.hex\"\n"
            "\n"
            "[SOFTWARE\\Halvery\\Tovrin\\Ports\\COM1]\n"
            "\"Device\"=\"/dev/ttyS0\"\n");
  EXPECT_EQ(ReadOr(file, kMain, "Tovrin File"), "Atmel\\Tovrin.hex");
  EXPECT_EQ(ReadOr(file, kCom1, "Device"), "/dev/ttyS0");
  EXPECT_EQ(ReadOr(file, kCom1, "Code Location"), "<missing>");  // values belong to their key
}

TEST(SettingsFile, AwkwardTextsSurviveTheRoundTrip) {
  TestFolder folder;
  CSettingsFile file(folder / "s.reg");
  const std::string texts[] = {
      "",
      "C:\\dir\\",
      "say \"hi\" = \\\"",
      "line one\nline two\r\n",
      "  leading and trailing  ",
      "[not a key]",
      "\"Name\"=\"not a value\"",
      "Grüße, データ \t tab",
  };
  for (size_t i = 0; i < std::size(texts); ++i)
    ASSERT_TRUE(file.Write(kMain, "Value " + std::to_string(i), texts[i]));
  ASSERT_TRUE(file.Write(kMain, "name with \"quotes\" and \\", "x"));
  for (size_t i = 0; i < std::size(texts); ++i)
    EXPECT_EQ(ReadOr(file, kMain, "Value " + std::to_string(i)), texts[i]) << i;
  EXPECT_EQ(ReadOr(file, kMain, "name with \"quotes\" and \\"), "x");
  // A text ends at its first zero byte, as a registry string does.
  ASSERT_TRUE(file.Write(kMain, "Zero", std::string("ab\0cd", 5)));
  EXPECT_EQ(ReadOr(file, kMain, "Zero"), "ab");
  // Names and keys that cannot be written as one line are refused, not mangled.
  EXPECT_FALSE(file.Write(kMain, "two\nlines", "x"));
  EXPECT_FALSE(file.Write("bad\nkey", "x", "x"));
  EXPECT_FALSE(file.Write("", "x", "x"));
}

TEST(SettingsFile, KeysAndNamesIgnoreCaseAndTheLastValueCounts) {
  TestFolder folder;
  CSettingsFile file(folder / "s.reg");
  WriteWholeFile(file.Path(),
                 "REGEDIT4\n\n[software\\halvery\\tovrin]\n\"PORT\"=\"3\"\n"
                 "\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"4\"\n");
  EXPECT_EQ(ReadOr(file, kMain, "port"), "4");
  ASSERT_TRUE(file.Write(kMain, "Port", "2"));
  EXPECT_EQ(ReadOr(file, kMain, "Port"), "2");
  std::string contents = ReadWholeFile(file.Path());
  EXPECT_NE(contents.find("\"PORT\"=\"3\""), std::string::npos);  // the shadowed one stays as it was
  EXPECT_EQ(contents.find("\"Port\"=\"4\""), std::string::npos);

  std::vector<CSettingsFile::Entry> all = file.ReadAll();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].name, "PORT");
  EXPECT_EQ(all[0].value, "2");
}

TEST(SettingsFile, WritesKeepEverythingTheyDoNotKnow) {
  TestFolder folder;
  CSettingsFile file(folder / "s.reg");
  const std::string before =
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment the user wrote\r\n"
      "[SOFTWARE\\Halvery\\Tovrin]\r\n"
      "@=\"default value\"\r\n"
      "\"Counter\"=dword:0000002a\r\n"
      "\"Blob\"=hex:01,02,03\r\n"
      "\"Source File\"=\"/home/u/a.tvr\"\r\n"
      "\r\n"
      "[SOFTWARE\\Other\\Program]\r\n"
      "\"Colour\"=\"blue\"\r\n"
      "garbage that is no value at all\r\n";
  WriteWholeFile(file.Path(), before);
  EXPECT_EQ(ReadOr(file, kMain, ""), "default value");
  EXPECT_EQ(ReadOr(file, kMain, "Counter"), "<missing>");  // not a string value
  EXPECT_EQ(ReadOr(file, "SOFTWARE\\Other\\Program", "Colour"), "blue");

  ASSERT_TRUE(file.Write(kMain, "Port", "1"));
  ASSERT_TRUE(file.Write(kMain, "Source File", "/home/u/b.tvr"));
  ASSERT_TRUE(file.Write("SOFTWARE\\Third", "New", "v"));
  std::string after = ReadWholeFile(file.Path());
  std::string expected = before;
  expected.replace(expected.find("\"Source File\"=\"/home/u/a.tvr\"\r"),
                   std::string("\"Source File\"=\"/home/u/a.tvr\"\r").size(),
                   "\"Source File\"=\"/home/u/b.tvr\"\n\"Port\"=\"1\"");
  expected += "\n[SOFTWARE\\Third]\n\"New\"=\"v\"\n";
  EXPECT_EQ(after, expected);
  EXPECT_EQ(ReadOr(file, kMain, "Source File"), "/home/u/b.tvr");
  EXPECT_EQ(ReadOr(file, kMain, "Port"), "1");
}

TEST(SettingsFile, DamagedFilesReadAsMissingAndCanBeWrittenAgain) {
  TestFolder folder;
  CSettingsFile file(folder / "s.reg");
  std::mt19937 random(7);
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(random() & 0xff);
  const std::string damaged[] = {
      "",
      binary,
      std::string("\0\0\0\0", 4),
      "REGEDIT4\n\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"1\"\n\"Code Loca",    // cut in a name
      "REGEDIT4\n\n[SOFTWARE\\Halvery\\Tovrin]\n\"Port\"=\"1\"\n\"Data\"=\"2",  // cut in a value
      "REGEDIT4\n\n[SOFTWARE\\Halvery\\Tov",
  };
  for (const std::string& contents : damaged) {
    WriteWholeFile(file.Path(), contents);
    EXPECT_EQ(ReadOr(file, kMain, "Data"), "<missing>");
    ASSERT_TRUE(file.Write(kMain, "Data", "7"));
    EXPECT_EQ(ReadOr(file, kMain, "Data"), "7");
    if (contents.find("\"Port\"=\"1\"") != std::string::npos) {
      EXPECT_EQ(ReadOr(file, kMain, "Port"), "1");
    }
  }
}

TEST(SettingsFile, ThingsThatAreNoSettingsFileAreLeftAlone) {
  TestFolder folder;
  std::filesystem::create_directory(folder / "dir.reg");
  CSettingsFile directory(folder / "dir.reg");
  EXPECT_EQ(ReadOr(directory, kMain, "Port"), "<missing>");
  EXPECT_FALSE(directory.Write(kMain, "Port", "1"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "dir.reg"));

  CSettingsFile device("/dev/zero");  // would never end if read whole
  EXPECT_EQ(ReadOr(device, kMain, "Port"), "<missing>");

  WriteWholeFile(folder / "blocker", "a file where a folder should be");
  CSettingsFile blocked(folder / "blocker/s.reg");
  EXPECT_FALSE(blocked.Write(kMain, "Port", "1"));
  EXPECT_EQ(ReadWholeFile(folder / "blocker"), "a file where a folder should be");

  CSettingsFile nowhere("");
  EXPECT_FALSE(nowhere.Write(kMain, "Port", "1"));
}

TEST(SettingsFile, WriteFollowsALinkAndKeepsTheFileMode) {
  TestFolder folder;
  WriteWholeFile(folder / "real.reg", "REGEDIT4\n\n[K]\n\"A\"=\"1\"\n");
  chmod((folder / "real.reg").c_str(), 0640);
  std::filesystem::create_symlink("real.reg", folder / "link.reg");
  CSettingsFile file(folder / "link.reg");
  ASSERT_TRUE(file.Write("K", "B", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.reg"));
  EXPECT_EQ(ReadWholeFile(folder / "real.reg"), "REGEDIT4\n\n[K]\n\"A\"=\"1\"\n\"B\"=\"2\"\n");
  struct stat info;
  ASSERT_EQ(stat((folder / "real.reg").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path)) files += entry.exists();
  EXPECT_EQ(files, 2);
}

// A writer killed at any moment leaves the old file or the new one, never a mixture.
TEST(SettingsFile, AWriterKilledMidWriteLeavesOldOrNewContents) {
  TestFolder folder;
  const std::string path = folder / "s.reg";
  const std::string big(200000, 'x');  // large enough that a write takes a while
  const std::string valueA = "A" + big, valueB = "B" + big;
  {
    CSettingsFile file(path);
    ASSERT_TRUE(file.Write(kMain, "Keep", "kept"));
    ASSERT_TRUE(file.Write(kMain, "Payload", valueA));
    ASSERT_TRUE(file.Write(kCom1, "Device", "/dev/ttyUSB0"));
  }
  std::mt19937 random(11);
  for (int round = 0; round < 12; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CSettingsFile file(path);
      for (int i = 0;; ++i) file.Write(kMain, "Payload", (i % 2) ? valueA : valueB);
    }
    usleep(2000 + random() % 20000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    CSettingsFile file(path);
    std::string payload = ReadOr(file, kMain, "Payload");
    EXPECT_TRUE(payload == valueA || payload == valueB) << "round " << round << " size " << payload.size();
    EXPECT_EQ(ReadOr(file, kMain, "Keep"), "kept");
    EXPECT_EQ(ReadOr(file, kCom1, "Device"), "/dev/ttyUSB0");
  }
}

// Two programs changing different values at the same time keep both changes.
TEST(SettingsFile, ConcurrentWritersLoseNoUpdate) {
  TestFolder folder;
  const std::string path = folder / "s.reg";
  constexpr int kWriters = 3, kRounds = 20;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      CSettingsFile file(path);
      for (int i = 1; i <= kRounds; ++i) file.Write(kMain, "Writer " + std::to_string(writer), std::to_string(i));
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) waitpid(child, nullptr, 0);
  CSettingsFile file(path);
  for (int writer = 0; writer < kWriters; ++writer)
    EXPECT_EQ(ReadOr(file, kMain, "Writer " + std::to_string(writer)), std::to_string(kRounds));
}

}  // namespace
