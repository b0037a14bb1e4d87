// The user interface of the window program: Qt message boxes and questions, the status window
// of a transfer, the event pump and the log viewer. Commands run on a worker thread so the
// windows stay alive; every call made from there is carried out on the window thread.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

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
  // What Cancel in the status window (or closing it) does: ask the transfer to stop.
  void SetStopHandler(std::function<void()> handler) { onStop = std::move(handler); }

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskOkCancel(const std::string& text, const std::string& caption) override;
  void OpenStatusWindow() override;
  void SetStatusText(StatusField field, const std::string& text) override;
  void SetProgressRange(int lower, int upper) override;
  void SetProgressPosition(int position) override;
  void CloseStatusWindow() override;
  void PumpMessages() override;
  void ViewLog(const std::string& path) override;

  // After a command: a transfer that went well says so in its status window, which then
  // closes itself; with an empty text the window goes at once.
  void EndTransfer(const std::string& doneText);
  // Seconds from the opening of the last transfer's status window to its closing.
  double TransferSeconds() const { return seconds; }

  // The status window while a transfer runs, else null.
  CStatusWindow* StatusWindow() const { return status.data(); }
  // The status window of a finished transfer while it still shows how it ended, else null.
  CStatusWindow* FinishedWindow() const { return finished.data(); }

 private:
  void DropFinished();
  // text followed by the messages held during the transfer that it does not already say.
  std::string WithHeld(std::string text);
  void Stop();

  QPointer<QWidget> owner;
  QPointer<CStatusWindow> status;
  QPointer<CStatusWindow> finished;
  QElapsedTimer clock;
  double seconds = 0;
  std::function<void()> onStop;
  std::vector<std::string> held;  // messages that arrived while a transfer ran
  CUserInterface* previous = nullptr;
};

// How long a finished transfer's status window stays to say it is done, in milliseconds.
inline constexpr int kDoneShownMs = 2500;
