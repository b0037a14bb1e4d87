// The log viewer: shows the error log read-only; the build waits until it is closed.
#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;

class CLogViewer : public QDialog {
  Q_OBJECT

 public:
  CLogViewer(const std::string& path, QWidget* owner = nullptr);

  QString Text() const;

 private:
  QPlainTextEdit* view = nullptr;
};

// The log as it is shown: its bytes as UTF-8 with the entries' CR LF as plain line breaks, or
// why it cannot be read.
QString LogText(const std::string& path);
