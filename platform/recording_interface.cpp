#include "platform/recording_interface.h"

#include "platform/format.h"

void CRecordingInterface::ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon) {
  messages.push_back({text, caption, icon});
}

bool CRecordingInterface::AskOkCancel(const std::string& text, const std::string& caption) {
  questions.push_back({text, caption, MessageIcon::None});
  if (answers.empty()) return defaultAnswer;
  bool answer = answers.front();
  answers.pop_front();
  return answer;
}

void CRecordingInterface::OpenStatusWindow() {
  statusOpen = true;
  statusLog.push_back("open");
}

void CRecordingInterface::SetStatusText(StatusField field, const std::string& text) {
  statusLog.push_back(Format("%d=%s", static_cast<int>(field), text.c_str()));
}

void CRecordingInterface::SetProgressRange(int lower, int upper) {
  progressLower = lower;
  progressUpper = upper;
  statusLog.push_back(Format("range %d..%d", lower, upper));
}

void CRecordingInterface::SetProgressPosition(int position) {
  progressPosition = position;
  statusLog.push_back(Format("pos %d", position));
}

void CRecordingInterface::CloseStatusWindow() {
  statusOpen = false;
  statusLog.push_back("close");
}
