// The user interface of the window program: Qt message boxes and questions, the status window
// of a transfer, the event pump and the log viewer.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/gui/status_window.h"
#include "platform/user_interface.h"

class CQtInterface final : public CUserInterface {
 public:
  // Installs itself as the user interface until destroyed.
  CQtInterface();
  ~CQtInterface() override;
  CQtInterface(const CQtInterface&) = delete;
  CQtInterface& operator=(const CQtInterface&) = delete;

  // The window that message boxes and the status window belong to (not owned).
  void SetOwner(QWidget* window) { owner = window; }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  void OpenStatusWindow() override;
  void SetStatusText(StatusField field, const std::string& text) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPosition(int position) override;
  void CloseStatusWindow() override;
  void PumpMessages() override;
  void ViewLog(const std::string& path) override;

  // The status window while a transfer runs, else null.
  CStatusWindow* StatusWindow() const { return status.data(); }

 private:
  QPointer<QWidget> owner;
  QPointer<CStatusWindow> status;
  CUserInterface* previous = nullptr;
};
