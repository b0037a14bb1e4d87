#include "tests/gui/gui_fixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "app/gui/qt_text.h"
#include "app/register.h"
#include "platform/settings_file.h"

namespace gui_test {

namespace {

Seen Describe(QWidget* modal) {
  Seen seen{QString::fromLatin1(modal->metaObject()->className()), modal->windowTitle(), QString()};
  if (auto* box = qobject_cast<QMessageBox*>(modal)) seen.text = box->text();
  return seen;
}

void Reject(QWidget* modal) {
  if (auto* dialog = qobject_cast<QDialog*>(modal))
    dialog->reject();
  else
    modal->close();
}

}  // namespace

Sandbox::Sandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tovrin-gui-XXXXXX").string();
  if (::mkdtemp(pattern.data())) path = pattern;
  std::filesystem::create_directories(File("logs"));
  for (const char* name : {"TOVRIN_SETTINGS", "TOVRIN_LOG"}) {
    const char* old = std::getenv(name);
    savedEnvironment.emplace_back(name, old ? old : "");
  }
  ::setenv("TOVRIN_SETTINGS", SettingsPath().c_str(), 1);
  ::setenv("TOVRIN_LOG", LogPath().c_str(), 1);
  char buffer[4096];
  if (::getcwd(buffer, sizeof buffer)) home = buffer;
  if (::chdir(path.c_str()) != 0) path.clear();
}

Sandbox::~Sandbox() {
  if (!home.empty() && ::chdir(home.c_str()) != 0) home.clear();
  for (const auto& [name, value] : savedEnvironment) {
    if (value.empty())
      ::unsetenv(name.c_str());
    else
      ::setenv(name.c_str(), value.c_str(), 1);
  }
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string Sandbox::Write(const std::string& name, const std::string& text) const {
  std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path());
  std::ofstream(File(name), std::ios::binary) << text;
  return File(name);
}

std::string Sandbox::Stored(const std::string& name) const {
  std::string value;
  return CSettingsFile(SettingsPath()).Read(kSettingsKey, name, value) ? value : "<missing>";
}

void Sandbox::Store(const std::string& name, const std::string& value) const {
  CSettingsFile(SettingsPath()).Write(kSettingsKey, name, value);
}

ModalAnswerer::ModalAnswerer() {
  connect(&timer, &QTimer::timeout, this, &ModalAnswerer::Tick);
  timer.start(10);
}

void ModalAnswerer::Tick() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal) {
    waiting = nullptr;
    return;
  }
  if (!answers.empty()) {
    Answer answer = std::move(answers.front());
    answers.pop_front();
    seen.push_back(Describe(modal));
    answer(modal);
    return;
  }
  if (waiting != modal) {
    waiting = modal;
    waitingFor.start();
    return;
  }
  if (waitingFor.elapsed() < 3000) return;
  seen.push_back(Describe(modal));
  ++unexpected;
  Reject(modal);
}

ModalAnswerer::Answer Press(int standardButton) {
  return [standardButton](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QAbstractButton* button = box ? box->button(static_cast<QMessageBox::StandardButton>(standardButton)) : nullptr;
    if (button)
      button->click();
    else
      Reject(modal);
  };
}

ModalAnswerer::Answer Choose(const std::string& path) {
  return [path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) return Reject(modal);
    dialog->selectFile(PathToQt(path));
    // accept() is protected in QFileDialog; it is still a slot.
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
  };
}

ModalAnswerer::Answer Cancel() { return Reject; }

Window::Window() : dialog(std::make_unique<CTovrinDlg>()) {
  ui.SetOwner(dialog.get());
  dialog->show();
  if (!QTest::qWaitForWindowExposed(dialog.get())) qWarning("the main window was not exposed");
}

namespace {

QtMessageHandler testHandler = nullptr;

void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
  if (testHandler) testHandler(type, context, message);
}

}  // namespace

void QuietBegin() { testHandler = qInstallMessageHandler(DropPlatformNotes); }

void QuietEnd() { qInstallMessageHandler(testHandler); }

void Select(QComboBox* list, int index) {
  QTest::keyClick(list, Qt::Key_Home);
  for (int i = 0; i < index; ++i) QTest::keyClick(list, Qt::Key_Down);
}

}  // namespace gui_test
