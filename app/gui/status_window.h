// The status window of a transfer: the programmer's identity and versions, what is being sent,
// and how much of the hex file has been read. It lives from a transfer's start to its end, and a
// little longer to say how it ended. Cancel stops the transfer.
#pragma once

#include <QDialog>

#include <map>

#include "platform/user_interface.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CStatusWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CStatusWindow(QWidget* owner = nullptr);

  void SetText(StatusField field, const QString& text);
  void SetRange(int lower, int upper);
  void SetPosition(int position);

  QLabel* Field(StatusField field) const;
  QProgressBar* Progress() const { return progress; }
  QPushButton* CancelButton() const { return cancel; }

  // The transfer has ended: Cancel becomes Close.
  void Finish();
  bool Finished() const { return finished; }

  // Cancel, Esc and the close box: while the transfer runs they ask it to stop (the window
  // stays until it has); afterwards they close the window.
  void reject() override;

 signals:
  void stopRequested();

 private:
  bool finished = false;
  std::map<StatusField, QLabel*> fields;
  QProgressBar* progress = nullptr;
  QPushButton* cancel = nullptr;
};

inline constexpr const char* kStatusTitle = "Tovrin:  Status";
