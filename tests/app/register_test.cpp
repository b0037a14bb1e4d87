#include "app/register.h"

#include <gtest/gtest.h>

#include "tests/app/test_folder.h"

namespace {

TEST(Register, ReadIntConvertsLikeAtoiWithinTheTenByteBuffer) {
  TestFolder folder;
  CRegister registry(folder / "s.reg");
  registry.SetKey(kSettingsKey);
  const struct {
    const char* stored;
    int expected;
  } cases[] = {
      {"2", 2},           {"  42abc", 42},       {"\t-7", -7},         {"+5", 5},
      {"abc", 0},         {"", 0},               {"- 5", 0},           {"0x10", 0},
      {"123456789", 123456789},                  // 9 characters and the zero: fits
      {"1234567890", 0},                         // 10 characters: too long for the buffer
      {"        1", 1},   {"         1", 0},     // blanks count towards the length
      {"-99999999", -99999999},
  };
  for (const auto& c : cases) {
    registry.WriteString("Number", c.stored);
    EXPECT_EQ(registry.ReadInt("Number"), c.expected) << '"' << c.stored << '"';
  }
  EXPECT_EQ(registry.ReadInt("Never Written"), 0);
}

TEST(Register, CheckedNumbersFallBackAndSaySo) {
  TestFolder folder;
  CRegister registry(folder / "s.reg");
  registry.SetKey(kSettingsKey);
  const struct {
    const char* stored;  // null: not stored
    int expected;
    const char* note;    // null: silent
  } cases[] = {
      {nullptr, 1, nullptr},
      {"", 1, nullptr},
      {"0", 1, nullptr},  // 0 stands for a missing value
      {"3", 3, nullptr},
      {" 4 ", 4, nullptr},
      {"5", 1, "setting \"Port\" is \"5\", outside 1 to 4; using 1"},
      {"-2", 1, "setting \"Port\" is \"-2\", outside 1 to 4; using 1"},
      {"two", 1, "setting \"Port\" is \"two\", not a number from 1 to 4; using 1"},
      {"2x", 1, "setting \"Port\" is \"2x\", not a number from 1 to 4; using 1"},
      {"99999999999", 1, "setting \"Port\" is \"99999999999\", not a number from 1 to 4; using 1"},
  };
  for (const auto& c : cases) {
    CRegister fresh(folder / (c.stored ? "s.reg" : "none.reg"));
    fresh.SetKey(kSettingsKey);
    if (c.stored) {
      ASSERT_TRUE(fresh.WriteString("Port", c.stored));
    }
    std::vector<std::string> notes;
    EXPECT_EQ(fresh.ReadChecked("Port", 1, 4, 1, notes), c.expected) << (c.stored ? c.stored : "(none)");
    EXPECT_EQ(notes, c.note ? std::vector<std::string>{c.note} : std::vector<std::string>{});
  }
  EXPECT_EQ(registry.FileProblem(), "");

  // A file that cannot be written says why.
  WriteWholeFile(folder / "blocker", "");
  CRegister blocked(folder / "blocker/s.reg");
  blocked.SetKey(kSettingsKey);
  EXPECT_FALSE(blocked.WriteInt("Port", 2));
  EXPECT_EQ(blocked.WriteErrorText(), (folder / "blocker") + ": Not a directory");
}

TEST(Register, ReadStringStopsAtTheKilobyteBuffer) {
  TestFolder folder;
  CRegister registry(folder / "s.reg");
  registry.SetKey(kSettingsKey);
  std::string fits(1023, 'p'), tooLong(1024, 'p');
  registry.WriteString("Source File", fits);
  EXPECT_EQ(registry.ReadString("Source File"), fits);
  registry.WriteString("Source File", tooLong);
  EXPECT_EQ(registry.ReadString("Source File"), "");
  EXPECT_EQ(registry.ReadString("Missing"), "");
}

TEST(Register, WritesStoreDecimalTextUnderTheKey) {
  TestFolder folder;
  CRegister registry(folder / "s.reg");
  registry.SetKey(kSettingsKey);
  registry.WriteInt("Code Location", 2);
  registry.WriteInt("Offset", -40);
  registry.WriteString("External RAM", "");
  CSettingsFile file(folder / "s.reg");
  std::string text;
  ASSERT_TRUE(file.Read("SOFTWARE\\Halvery\\Tovrin", "Code Location", text));
  EXPECT_EQ(text, "2");
  ASSERT_TRUE(file.Read("SOFTWARE\\Halvery\\Tovrin", "Offset", text));
  EXPECT_EQ(text, "-40");
  ASSERT_TRUE(file.Read("SOFTWARE\\Halvery\\Tovrin", "External RAM", text));
  EXPECT_EQ(text, "");
  EXPECT_EQ(registry.ReadInt("External RAM"), 0);  // an emptied K Bytes field builds with 0
  // Each call goes to the file: a change made by someone else is seen at once.
  file.Write("SOFTWARE\\Halvery\\Tovrin", "Code Location", "1");
  EXPECT_EQ(registry.ReadInt("Code Location"), 1);
}

TEST(Register, FailuresAreSilent) {
  TestFolder folder;
  WriteWholeFile(folder / "file", "x");
  CRegister unwritable(folder / "file/below/s.reg");
  unwritable.SetKey(kSettingsKey);
  unwritable.WriteInt("Port", 3);  // dropped without a word
  EXPECT_EQ(unwritable.ReadInt("Port"), 0);
  EXPECT_EQ(unwritable.ReadString("Port"), "");

  CRegister noKey(folder / "s.reg");
  noKey.WriteInt("Port", 3);
  EXPECT_EQ(noKey.ReadInt("Port"), 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "s.reg"));
}

}  // namespace
