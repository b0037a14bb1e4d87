#include "tests/gui/gui_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <fstream>

#include "app/gui/qt_text.h"
#include "app/register.h"

namespace gui_test {

namespace {

void Reject(QWidget* modal) {
  if (auto* dialog = qobject_cast<QDialog*>(modal)) return dialog->reject();
  modal->close();
}

QtMessageHandler testHandler = nullptr;

void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (!message.startsWith("This plugin does not support") && testHandler) testHandler(type, context, message);
}

}  // namespace

Sandbox::Sandbox() : home(QDir::currentPath().toLocal8Bit()) {
  QDir(dir.path()).mkpath("logs");
  qputenv("TOVRIN_SETTINGS", File("Tovrin.reg").c_str());
  qputenv("TOVRIN_LOG", LogPath().c_str());
  QDir::setCurrent(dir.path());
}

Sandbox::~Sandbox() {
  QDir::setCurrent(QString::fromLocal8Bit(home));
  qunsetenv("TOVRIN_SETTINGS");
  qunsetenv("TOVRIN_LOG");
}

std::string Sandbox::Write(const std::string& name, const std::string& text) const {
  QDir(dir.path()).mkpath(QFileInfo(PathToQt(File(name))).path());
  std::ofstream(File(name), std::ios::binary) << text;
  return File(name);
}

std::string Sandbox::Stored(const std::string& name) const {
  std::string value;
  return CSettingsFile(File("Tovrin.reg")).Read(kSettingsKey, name, value) ? value : "<missing>";
}

void Sandbox::Store(const std::string& name, const std::string& value) const {
  CSettingsFile(File("Tovrin.reg")).Write(kSettingsKey, name, value);
}

ModalAnswerer::ModalAnswerer() {
  connect(&timer, &QTimer::timeout, this, &ModalAnswerer::Tick);
  timer.start(10);
}

void ModalAnswerer::Tick() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) return;
  auto* box = qobject_cast<QMessageBox*>(modal);
  const Seen now{modal->metaObject()->className(), modal->windowTitle(), box ? box->text() : QString()};
  if (modal == answered) return;  // still closing after its answer
  if (!answers.empty()) {
    answered = modal;
    Answer answer = std::move(answers.front());
    answers.pop_front();
    seen.push_back(now);
    return answer(modal);
  }
  if (waiting != modal) {
    waiting = modal;
    waitingFor.start();
  } else if (waitingFor.elapsed() > 3000) {
    seen.push_back(now);
    ++unexpected;
    Reject(modal);
  }
}

ModalAnswerer::Answer Press(int standardButton) {
  return [standardButton](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (QAbstractButton* button = box ? box->button(QMessageBox::StandardButton(standardButton)) : nullptr)
      return button->click();
    Reject(modal);
  };
}

// The dialog fills its folder model on a thread of its own and may still put its first
// selection back after a selectFile; the file is chosen again until the dialog reports it,
// then the dialog is closed as accepted.
static void AcceptWhenChosen(QPointer<QFileDialog> dialog, const QString& path, int triesLeft) {
  if (!dialog) return;
  if (dialog->selectedFiles().value(0) != path && triesLeft > 0) {
    dialog->selectFile(path);
    QTimer::singleShot(20, dialog, [=] { AcceptWhenChosen(dialog, path, triesLeft - 1); });
    return;
  }
  static_cast<QDialog*>(dialog.data())->done(QDialog::Accepted);  // public as a QDialog
}

ModalAnswerer::Answer Choose(const std::string& path) {
  return [path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return Reject(modal);
    AcceptWhenChosen(dialog, PathToQt(path), 100);
  };
}

ModalAnswerer::Answer Cancel() { return Reject; }

Window::Window() : dialog(std::make_unique<CTovrinDlg>()) {
  ui.SetOwner(dialog.get());
  dialog->show();
  if (!QTest::qWaitForWindowExposed(dialog.get())) qWarning("the main window was not exposed");
}

void QuietBegin() { testHandler = qInstallMessageHandler(DropPlatformNotes); }

void QuietEnd() { qInstallMessageHandler(testHandler); }

void Select(QComboBox* list, int index) {
  QTest::keyClick(list, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
}

}  // namespace gui_test
