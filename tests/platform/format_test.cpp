#include "platform/format.h"

#include <gtest/gtest.h>

#include "platform/recording_interface.h"

TEST(Format, ShortAndLongTexts) {
  EXPECT_EQ(Format("0x%04x ... 0x%04x", 0x60, 0x25f), "0x0060 ... 0x025f");
  std::string longText(1000, 'a');
  EXPECT_EQ(Format("<%s>", longText.c_str()), "<" + longText + ">");
  EXPECT_EQ(Format("%3.2f", 1.5), "1.50");
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
