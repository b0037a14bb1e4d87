// The user interface of the command line: messages on standard error, questions answered
// from preset answers, the status window as a progress line.
#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "platform/user_interface.h"

class CTerminalInterface final : public CUserInterface {
 public:
  // Installs itself as the user interface until destroyed. out receives every text; a
  // progress bar is drawn only when out is a terminal.
  explicit CTerminalInterface(FILE* out = stderr);
  ~CTerminalInterface() override;
  CTerminalInterface(const CTerminalInterface&) = delete;
  CTerminalInterface& operator=(const CTerminalInterface&) = delete;

  // Prints "CAPTION: TEXT".
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  // Nobody is asked: the answer preset for the caption, else defaultAnswer.
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  void SetAnswer(const std::string& caption, bool answer) { answers[caption] = answer; }

  void OpenStatusWindow() override;
  void SetStatusText(StatusField field, const std::string& text) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPosition(int position) override;
  void CloseStatusWindow() override;
  void PumpMessages() override {}
  // Opens the log in the user's viewer and waits; a failure is printed.
  void ViewLog(const std::string& path) override;

  bool defaultAnswer = false;
  bool interactive;  // draw the progress bar (out is a terminal)
  // Without the bar: a plain "Progress: N%" line at every tenth, so a log shows the transfer moving.
  bool progressLines = false;

 private:
  void PrintLine(const std::string& line);
  void DrawBar();
  void PrintProgressLine();
  int Percent() const;
  void EraseBar();

  FILE* out;
  CUserInterface* previous = nullptr;
  std::map<std::string, bool> answers;
  bool statusOpen = false;
  bool barShown = false;
  int lower = 0, upper = 100, position = 0;
  int drawnPercent = -1;
  int printedTenth = -1;  // the last tenth given a progress line
  std::string statusLine;
};
