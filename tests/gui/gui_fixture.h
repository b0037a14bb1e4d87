// Shared pieces of the window tests: a private folder with its own settings file and log, the
// modal dialogs answered from a timer, reading the settings back and choosing list entries
// the way a user does.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/qt_interface.h"
#include "app/gui/tovrin_dlg.h"

class QComboBox;
class QMessageBox;

namespace gui_test {

// A fresh folder that is also the working directory, the settings file and the log's home for
// one test; everything is put back and removed at the end.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  std::string File(const std::string& name) const { return path + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const;
  std::string SettingsPath() const { return File("Tovrin.reg"); }
  std::string LogPath() const { return File("logs/tovrin.log"); }

  // A value under the application's key; "<missing>" when there is none.
  std::string Stored(const std::string& name) const;
  void Store(const std::string& name, const std::string& value) const;

  std::string path;

 private:
  std::string home;
  std::vector<std::pair<std::string, std::string>> savedEnvironment;
};

// What a modal dialog showed when it was answered.
struct Seen {
  QString kind;   // class name: QMessageBox, QFileDialog, CPortDialog, CLogViewer
  QString title;
  QString text;   // a message box's text
};

// Answers the modal dialogs a command opens, in order, from a timer that runs inside their
// event loops. A dialog nobody planned for is rejected after a while and counted, so a test
// fails instead of hanging.
class ModalAnswerer : public QObject {
  Q_OBJECT

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
  QElapsedTimer waitingFor;
};

// Ready-made answers.
ModalAnswerer::Answer Press(int standardButton);  // a QMessageBox button
ModalAnswerer::Answer Choose(const std::string& path);  // a file in a QFileDialog
ModalAnswerer::Answer Cancel();                         // reject any dialog

// The main window as the program shows it, with the Qt user interface installed.
struct Window {
  Window();
  CQtInterface ui;
  std::unique_ptr<CTovrinDlg> dialog;
};

// The offscreen platform says for every window it shows that it cannot pass size hints on or
// raise windows. Call from initTestCase (after Qt Test has installed its own handler) to drop
// those lines and nothing else; QuietEnd puts the handler back.
void QuietBegin();
void QuietEnd();

// Selects a list entry with the keyboard, as a user would.
void Select(QComboBox* list, int index);

// Good and bad sources.
inline constexpr const char* kGoodProgram = "start()\n{\n}\n";
inline constexpr const char* kBadProgram = "start()\n{\n  ) ;\n}\n";

}  // namespace gui_test
