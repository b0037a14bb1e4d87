// A user interface for tests: records every call and answers questions from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/user_interface.h"

class CRecordingInterface final : public CUserInterface {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };

  CRecordingInterface() { previous = InstallUserInterface(this); }
  ~CRecordingInterface() override { InstallUserInterface(previous); }
  CRecordingInterface(const CRecordingInterface&) = delete;
  CRecordingInterface& operator=(const CRecordingInterface&) = delete;

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  void OpenStatusWindow() override;
  void SetStatusText(StatusField field, const std::string& text) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPosition(int position) override;
  void CloseStatusWindow() override;
  void PumpMessages() override { ++pumps; }
  void ViewLog(const std::string& path) override { viewedLogs.push_back(path); }

  // Answers for AskOkCancel, taken in order; when empty the answer is defaultAnswer.
  std::deque<bool> answers;
  bool defaultAnswer = false;

  std::vector<Message> messages;   // ShowMessage calls
  std::vector<Message> questions;  // AskOkCancel calls (icon unused)
  std::vector<std::string> statusLog;  // "open", "close", "<id>=<text>", "range a..b", "pos n"
  std::vector<std::string> viewedLogs;
  bool statusOpen = false;
  int progressLower = 0, progressUpper = 0, progressPosition = 0;
  long pumps = 0;

 private:
  CUserInterface* previous = nullptr;
};
