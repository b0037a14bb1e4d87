// The status window of a transfer: the programmer's identity and versions, what is being sent,
// and how much of the hex file has been read. It lives from a transfer's start to its end.
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

 private:
  std::map<StatusField, QLabel*> fields;
  QProgressBar* progress = nullptr;
  QPushButton* cancel = nullptr;
};

inline constexpr const char* kStatusTitle = "Tovrin:  Status";
