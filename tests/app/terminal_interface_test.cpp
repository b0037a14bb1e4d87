#include "platform/terminal_interface.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "platform/viewer.h"
#include "tests/app/test_folder.h"

namespace {

std::string Contents(FILE* file) {
  std::fflush(file);
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(TerminalInterface, MessagesAndQuestions) {
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    CTerminalInterface ui(out);
    EXPECT_EQ(&UserInterface(), &ui);
    UserInterface().ShowMessage("Please specify filename to build.");
    UserInterface().ShowMessage("First specify a communications port.", "Tovrin Compiler", MessageIcon::Error);
    EXPECT_FALSE(UserInterface().AskOkCancel("Prepare to Download...", "Tovrin Compiler"));
    ui.SetAnswer("Tovrin Compiler", true);
    EXPECT_TRUE(UserInterface().AskOkCancel("Prepare to Download...", "Tovrin Compiler"));
    EXPECT_FALSE(UserInterface().AskOkCancel("View error log?", "Tovrin Compiler ERROR"));
    ui.defaultAnswer = true;
    EXPECT_TRUE(UserInterface().AskOkCancel("View error log?", "Tovrin Compiler ERROR"));
  }
  EXPECT_NE(&UserInterface(), nullptr);
  EXPECT_EQ(Contents(out),
            "Tovrin: Please specify filename to build.\n"
            "Tovrin Compiler: First specify a communications port.\n");  // questions print nothing
  std::fclose(out);
}

TEST(TerminalInterface, StatusWindowAsPlainLines) {
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    CTerminalInterface ui(out);
    ui.interactive = false;
    ui.OpenStatusWindow();
    ui.SetStatusText(StatusField::Identification, "AVR ISP");
    ui.SetStatusText(StatusField::ProgrammerKind, "  Tovrin Programmer");
    ui.SetStatusText(StatusField::HardwareVersion, "1.20");
    ui.SetStatusText(StatusField::StatusLine, "Download fan.hex to SRAM");
    ui.SetProgressRange(0, 1000);
    for (int i = 0; i <= 1000; ++i) ui.SetProgressPosition(i);
    ui.CloseStatusWindow();
  }
  EXPECT_EQ(Contents(out),
            "Programmer: AVR ISP\n"
            "Kind: Tovrin Programmer\n"
            "Hardware version: 1.20\n"
            "Status: Download fan.hex to SRAM\n");  // no progress without a terminal
  std::fclose(out);
}

TEST(TerminalInterface, ProgressBarRedrawsOnlyWhenThePercentageMoves) {
  FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    CTerminalInterface ui(out);
    ui.interactive = true;
    ui.OpenStatusWindow();
    ui.SetProgressRange(0, 20000);
    for (int i = 0; i <= 20000; ++i) ui.SetProgressPosition(i);
    ui.SetProgressPosition(25000);  // beyond the range: stays at 100 %
    ui.SetProgressPosition(-5);     // below it: 0 %
    ui.CloseStatusWindow();
  }
  std::string text = Contents(out);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 102);
  EXPECT_NE(text.find("[##############################] 100%\r"), std::string::npos);
  EXPECT_NE(text.find("[..............................]   0%\n"), std::string::npos);
  std::fclose(out);
}

// A viewer script that records its arguments, one per line, in a file.
std::string RecordingViewer(const TestFolder& folder, const std::string& name, int exitStatus) {
  std::string script = folder / name;
  WriteWholeFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                             (folder / (name + ".args")) + "\"\nexit " + std::to_string(exitStatus) + "\n");
  chmod(script.c_str(), 0755);
  return script;
}

TEST(Viewer, PassesThePathAsOneArgumentWithoutAShell) {
  TestFolder folder;
  std::string viewer = RecordingViewer(folder, "viewer", 0);
  ScopedEnv visual("VISUAL", (viewer + " --wait").c_str());
  std::string path = folder / "log with spaces $(touch pwned) `id` ; ü.log";
  std::string error;
  ASSERT_TRUE(ViewFile(path, error)) << error;
  EXPECT_EQ(ReadWholeFile(folder / "viewer.args"), "--wait\n" + path + "\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
  EXPECT_FALSE(std::filesystem::exists("pwned"));

  ASSERT_TRUE(ViewFile("-rf", error));  // never taken for an option
  EXPECT_EQ(ReadWholeFile(folder / "viewer.args"), "--wait\n./-rf\n");
}

TEST(Viewer, FallsBackFromVisualToEditorAndReportsFailures) {
  TestFolder folder;
  std::string editor = RecordingViewer(folder, "editor", 0);
  std::string failing = RecordingViewer(folder, "failing", 3);
  std::string error;
  {
    ScopedEnv visual("VISUAL", (folder / "does-not-exist").c_str());
    ScopedEnv editorVariable("EDITOR", editor.c_str());
    ASSERT_TRUE(ViewFile("/tmp/x.log", error)) << error;
    EXPECT_EQ(ReadWholeFile(folder / "editor.args"), "/tmp/x.log\n");
  }
  {
    ScopedEnv visual("VISUAL", "   ");  // blank counts as unset
    ScopedEnv editorVariable("EDITOR", failing.c_str());
    EXPECT_FALSE(ViewFile("/tmp/x.log", error));
    EXPECT_NE(error.find("status 3"), std::string::npos) << error;
  }
  {
    ScopedEnv visual("VISUAL", nullptr);
    ScopedEnv editorVariable("EDITOR", nullptr);
    ScopedEnv path("PATH", folder.path.c_str());  // no xdg-open to be found
    EXPECT_FALSE(ViewFile("/tmp/x.log", error));
    EXPECT_NE(error.find("xdg-open"), std::string::npos) << error;
  }
}

}  // namespace
