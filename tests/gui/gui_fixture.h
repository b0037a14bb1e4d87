// Shared pieces of the window tests: a private folder holding the settings file and the log,
// modal dialogs answered from a timer, and list entries chosen with the keyboard.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "app/gui/qt_interface.h"
#include "app/gui/tovrin_dlg.h"

class QComboBox;

namespace gui_test {

// A fresh folder that is the working directory, the settings file's and the log's home.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  std::string File(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const;
  std::string LogPath() const { return File("logs/tovrin.log"); }
  // A value under the application's key; "<missing>" when there is none.
  std::string Stored(const std::string& name) const;
  void Store(const std::string& name, const std::string& value) const;

 private:
  QTemporaryDir dir;
  QByteArray home;
};

// What a modal dialog showed when it was answered.
struct Seen {
  QString kind, title, text;  // class name, window title, a message box's text
};

// Answers the modal dialogs a command opens, in order, from a timer that runs inside their
// event loops. A dialog nobody planned for is rejected after a while and counted, so a test
// fails instead of hanging.
class ModalAnswerer : public QObject {
 public:
  using Answer = std::function<void(QWidget*)>;
  ModalAnswerer();
  void Then(Answer answer) { answers.push_back(std::move(answer)); }
  bool AllUsed() const { return answers.empty(); }
  std::vector<Seen> seen;
  int unexpected = 0;

 private:
  void Tick();
  std::deque<Answer> answers;
  QTimer timer;
  QPointer<QWidget> waiting;
  QPointer<QWidget> answered;  // the last dialog answered, which may take a moment to close
  QElapsedTimer waitingFor;
};

ModalAnswerer::Answer Press(int standardButton);        // a QMessageBox button
ModalAnswerer::Answer Choose(const std::string& path);  // a file in a QFileDialog
ModalAnswerer::Answer Cancel();                         // reject any dialog

// The main window as the program shows it, with the Qt user interface installed.
struct Window {
  Window();
  CQtInterface ui;
  std::unique_ptr<CTovrinDlg> dialog;
};

// The offscreen platform notes for every window that it cannot pass size hints on or raise
// windows. QuietBegin (from initTestCase, after Qt Test installed its handler) drops those
// lines only; QuietEnd puts the handler back.
void QuietBegin();
void QuietEnd();

// Selects a list entry with the keyboard, as a user would.
void Select(QComboBox* list, int index);

inline constexpr const char* kGoodProgram = "start()\n{\n}\n";
inline constexpr const char* kBadProgram = "start()\n{\n  ) ;\n}\n";

}  // namespace gui_test
