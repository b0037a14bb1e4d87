#include "platform/user_interface.h"

namespace {

class CSilentInterface final : public CUserInterface {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  void OpenStatusWindow() override {}
  void SetStatusText(StatusField, const std::string&) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void CloseStatusWindow() override {}
  void PumpMessages() override {}
  void ViewLog(const std::string&) override {}
};

CSilentInterface silent;
CUserInterface* installed = &silent;

}  // namespace

CUserInterface& UserInterface() { return *installed; }

CUserInterface* InstallUserInterface(CUserInterface* ui) {
  CUserInterface* previous = installed;
  installed = ui ? ui : &silent;
  return previous == &silent ? nullptr : previous;
}
