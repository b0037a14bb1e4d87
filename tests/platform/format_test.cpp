#include "platform/format.h"

#include <gtest/gtest.h>

#include "platform/recording_interface.h"

TEST(Format, ShortAndLongTexts) {
  EXPECT_EQ(Format("0x%04x ... 0x%04x", 0x60, 0x25f), "0x0060 ... 0x025f");
  std::string longText(1000, 'a');
  EXPECT_EQ(Format("<%s>", longText.c_str()), "<" + longText + ">");
  EXPECT_EQ(Format("%3.2f", 1.5), "1.50");
}

// The conversions Format writes itself must read exactly as printf writes them; every
// other one is printf's. Each format takes an int, an unsigned, a text and a character.
TEST(Format, AgreesWithPrintf) {
  const char* formats[] = {
      "%d|%u|%s|%c",     "%05d %04x %s%3c", "%3d:%02X[%10s]%c", "<%i %x %1s %c>", "%08d%8u%%%s%c",
      "%-5d|%+u|%s|%c",  "%5.3d %#x %.2s %c", "%d%u%s%c tail", "no conversions %d%u%s%c",
      "%0d %0u %s %c",   "%12d %012x %20s %c",
  };
  const int ints[] = {0, 7, -7, 255, 256, -32768, 65535, 2147483647, -2147483647 - 1};
  const unsigned words[] = {0u, 1u, 0x1fu, 0xabcdu, 0x12345u, 0xffffffffu};
  const char* texts[] = {"", "x", "Motor:step", "a long text that goes well past the width"};
  const char characters[] = {'a', '%', ' '};
  char expected[512];
  int checked = 0;
  for (const char* format : formats)
    for (int i : ints)
      for (unsigned u : words)
        for (const char* t : texts)
          for (char c : characters) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat"
            std::snprintf(expected, sizeof expected, format, i, u, t, c);
            const std::string got = Format(format, i, u, t, c);
#pragma GCC diagnostic pop
            ASSERT_EQ(got, expected) << format << " " << i << " " << u << " " << t << " " << c;
            ++checked;
          }
  EXPECT_GT(checked, 1000);
}

TEST(RecordingInterface, InstallsItselfAndAnswersFromScript) {
  {
    CRecordingInterface ui;
    ui.answers = {true, false};
    EXPECT_EQ(&UserInterface(), &ui);
    EXPECT_TRUE(UserInterface().AskOkCancel("q1", "c"));
    EXPECT_FALSE(UserInterface().AskOkCancel("q2", "c"));
    EXPECT_FALSE(UserInterface().AskOkCancel("q3", "c"));
    UserInterface().ShowMessage("hello");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "hello");
  }
  EXPECT_FALSE(UserInterface().AskOkCancel("after", "c"));
}
