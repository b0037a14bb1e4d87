// The main window: start-up defaults, write-at-once, the file choice, Build with its prompts,
// port configuration and the refusals before any transfer.
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/gui/dialog_units.h"
#include "app/gui/log_viewer.h"
#include "app/gui/port_dialog.h"
#include "download/port_settings.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "id:text" of every control the Tab key visits, in its order; lists give their entries.
QStringList TabOrder(QWidget* window) {
  QStringList order;
  for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
    if (w->objectName().isEmpty() || !(w->focusPolicy() & Qt::TabFocus) || w->parentWidget() != window) continue;
    QString text;
    if (auto* list = qobject_cast<QComboBox*>(w)) {
      QStringList entries;
      for (int i = 0; i < list->count(); ++i) entries << list->itemText(i);
      text = entries.join(QLatin1Char('|'));
    } else if (auto* button = qobject_cast<QPushButton*>(w)) {
      text = button->text();
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      text = edit->text();
    }
    order << w->objectName() + QLatin1Char(':') + text;
  }
  return order;
}

QStringList LabelTexts(QWidget* window) {
  QStringList texts;
  for (QLabel* label : window->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    if (!label->text().isEmpty()) texts << label->text();
  return texts;
}

// Every control inside the window, showing its whole text, and none on top of another (the
// etched frames excepted: they group controls).
void CheckLayout(QWidget* window) {
  const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  QVERIFY(controls.size() > 5);
  for (QWidget* control : controls) {
    QVERIFY2(window->rect().contains(control->geometry()), qPrintable(control->objectName()));
    QVERIFY2(TextWidthNeeded(control) <= control->width(), qPrintable(control->objectName()));
  }
  for (QWidget* a : controls)
    for (QWidget* b : controls) {
      if (a == b || QString::fromLatin1(a->metaObject()->className()) == QLatin1String("QFrame") ||
          QString::fromLatin1(b->metaObject()->className()) == QLatin1String("QFrame"))
        continue;
      QVERIFY2(!a->geometry().intersects(b->geometry()), qPrintable(a->objectName() + " / " + b->objectName()));
    }
}

}  // namespace

class MainWindowSuite : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Sandbox> sandbox;
  std::unique_ptr<ModalAnswerer> answerer;

  void ClickBuild(CTovrinDlg& dialog) { QTest::mouseClick(dialog.buildButton, Qt::LeftButton); }

 private slots:
  void initTestCase() { QuietBegin(); }
  void cleanupTestCase() { QuietEnd(); }
  void init() {
    sandbox = std::make_unique<Sandbox>();
    answerer = std::make_unique<ModalAnswerer>();
  }
  void cleanup() {
    QCOMPARE(answerer->unexpected, 0);
    QVERIFY(answerer->AllUsed());
    answerer.reset();
    sandbox.reset();
  }

  void firstStartWritesTheDefaults() {
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    QCOMPARE(sandbox->Stored("External RAM"), std::string("0"));
    QCOMPARE(sandbox->Stored("Tovrin File"), std::string("Atmel\\Tovrin.hex"));
    for (const char* name : {"Code Location", "Data Location", "Port", "Debug Level"})
      QCOMPARE(sandbox->Stored(name), std::string("1"));
    QCOMPARE(sandbox->Stored("Source File"), std::string("<missing>"));
    QCOMPARE(dialog.dataList->currentText(), QStringLiteral("On-Chip"));
    QCOMPARE(dialog.codeList->currentText(), QStringLiteral("On-Chip"));
    QCOMPARE(dialog.portList->currentText(), QStringLiteral("COM1"));
    QCOMPARE(dialog.debugList->currentText(), QStringLiteral("0. No Debugging Data"));
    QCOMPARE(dialog.ramEdit->text(), QStringLiteral("0"));
    QCOMPARE(dialog.sourceEdit->text(), QString());
    QCOMPARE(dialog.firmwarePath, std::string("Atmel\\Tovrin.hex"));
    QCOMPARE(dialog.debugLevel, 1);
  }

  void storedSettingsAreShownAndNotRewritten() {
    const std::pair<const char*, const char*> values[] = {
        {"Source File", "/home/me/fan.tvr"}, {"Source Title", "fan.tvr"}, {"Tovrin File", "/opt/fw.hex"},
        {"External RAM", "32"}, {"Code Location", "2"}, {"Data Location", "2"}, {"Port", "3"}, {"Debug Level", "4"}};
    for (const auto& [name, value] : values) sandbox->Store(name, value);
    const std::string before = ReadFile(sandbox->SettingsPath());
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    QCOMPARE(ReadFile(sandbox->SettingsPath()), before);
    QCOMPARE(dialog.sourceEdit->text(), QStringLiteral("/home/me/fan.tvr"));
    QCOMPARE(dialog.sourceTitle, std::string("fan.tvr"));
    QCOMPARE(dialog.firmwarePath, std::string("/opt/fw.hex"));
    QCOMPARE(dialog.ramEdit->text(), QStringLiteral("32"));
    QCOMPARE(dialog.codeList->currentText(), QStringLiteral("External RAM"));
    QCOMPARE(dialog.dataList->currentText(), QStringLiteral("External RAM"));
    QCOMPARE(dialog.portList->currentText(), QStringLiteral("COM3"));
    QCOMPARE(dialog.debugList->currentText(), QStringLiteral("3. Codes, Info, and Symbols"));
    QCOMPARE(dialog.debugLevel, 4);
  }

  // A stored 0 (or a number too long to read) counts as missing; a number naming no entry
  // leaves its list empty and stays as it was.
  void missingAndForeignNumbers() {
    sandbox->Store("Data Location", "0");
    sandbox->Store("Debug Level", "12345678901");
    sandbox->Store("Port", "7");
    sandbox->Store("Code Location", "-2");
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    QCOMPARE(sandbox->Stored("Data Location"), std::string("1"));
    QCOMPARE(sandbox->Stored("Debug Level"), std::string("1"));
    QCOMPARE(dialog.debugList->currentIndex(), 0);
    QCOMPARE(sandbox->Stored("Port"), std::string("7"));
    QCOMPARE(dialog.portList->currentIndex(), -1);
    QCOMPARE(dialog.portList->currentText(), QString());
    QCOMPARE(sandbox->Stored("Code Location"), std::string("-2"));
    QCOMPARE(dialog.codeList->currentIndex(), -1);
  }

  void controlsCarryTheirIdentifiersTextsAndOrder() {
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Tovrin v1.1b"));
    QCOMPARE(TabOrder(&dialog), QStringList({
                                    "1001:",
                                    "1002:...",
                                    "1022:0. No Debugging Data|1. Byte Codes Only|2. Byte Codes + Program Info|"
                                    "3. Codes, Info, and Symbols",
                                    "1:Build",
                                    "1019:On-Chip|External RAM",
                                    "1020:On-Chip|External RAM",
                                    "1021:0",
                                    "1009:COM1|COM2|COM3|COM4",
                                    "1010:Configure...",
                                    "1011:Install Tovrin...",
                                    "2:Done",
                                }));
    QVERIFY(dialog.buildButton->isDefault());
    QCOMPARE(LabelTexts(&dialog), QStringList({"DATA:", "CODE:", "External RAM:", "K Bytes", "Comm Port"}));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));

    CStatusWindow status(&dialog);
    QCOMPARE(status.windowTitle(), QStringLiteral("Tovrin:  Status"));
    QCOMPARE(LabelTexts(&status), QStringList({"Hardware version:  ", "Software Version:  "}));
    for (int id : {1014, 1015, 1016, 1017, 1018}) QVERIFY(status.findChild<QLabel*>(QString::number(id)));
    QVERIFY(status.findChild<QProgressBar*>(QStringLiteral("1013")));
    QCOMPARE(status.CancelButton()->objectName(), QStringLiteral("2"));
    QCOMPARE(status.CancelButton()->text(), QStringLiteral("Cancel"));
  }

  void layoutsKeepEveryTextWhole() {
    Window window;
    CheckLayout(window.dialog.get());
    CStatusWindow status(window.dialog.get());
    status.SetText(StatusField::ProgrammerKind, QStringLiteral("  Atmel Programmer"));
    CheckLayout(&status);
  }

  void everyChoiceIsWrittenAtOnce() {
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    Select(dialog.debugList, 2);
    QCOMPARE(sandbox->Stored("Debug Level"), std::string("3"));
    QCOMPARE(dialog.debugLevel, 3);
    Select(dialog.dataList, 1);
    QCOMPARE(sandbox->Stored("Data Location"), std::string("2"));
    Select(dialog.codeList, 1);
    QCOMPARE(sandbox->Stored("Code Location"), std::string("2"));
    Select(dialog.portList, 3);
    QCOMPARE(sandbox->Stored("Port"), std::string("4"));
    Select(dialog.portList, 0);
    QCOMPARE(sandbox->Stored("Port"), std::string("1"));

    // Digits only, stored as typed on every change; an emptied field is stored empty.
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, QStringLiteral("1x2"));
    QCOMPARE(dialog.ramEdit->text(), QStringLiteral("12"));
    QCOMPARE(sandbox->Stored("External RAM"), std::string("12"));
    QTest::keyClick(dialog.ramEdit, Qt::Key_Backspace);
    QCOMPARE(sandbox->Stored("External RAM"), std::string("1"));
    QTest::keyClick(dialog.ramEdit, Qt::Key_Backspace);
    QCOMPARE(sandbox->Stored("External RAM"), std::string(""));

    // Typing a path does not change the stored source file.
    QTest::keyClicks(dialog.sourceEdit, QStringLiteral("typed.tvr"));
    QCOMPARE(sandbox->Stored("Source File"), std::string("<missing>"));
  }

  void choosingTheSourceFileAndCancelling() {
    const std::string source = sandbox->Write("prog.tvr", kGoodProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText(QStringLiteral("prog.tvr"));
    QStringList filters, initial;
    QString suffix;
    answerer->Then([&](QWidget* modal) {
      auto* files = qobject_cast<QFileDialog*>(modal);
      QVERIFY(files);
      filters = files->nameFilters();
      suffix = files->defaultSuffix();
      initial = files->selectedFiles();
      QCOMPARE(files->fileMode(), QFileDialog::ExistingFile);
      Choose(source)(modal);
    });
    QTest::mouseClick(dialog.chooseButton, Qt::LeftButton);
    QCOMPARE(filters, QStringList({"Tovrin Files (*.tvr)"}));
    QCOMPARE(suffix, QStringLiteral("tvr"));
    QCOMPARE(initial.size(), 1);
    QVERIFY(initial[0].endsWith(QStringLiteral("/prog.tvr")));
    QCOMPARE(dialog.sourceEdit->text().toStdString(), source);
    QCOMPARE(sandbox->Stored("Source File"), source);
    QCOMPARE(sandbox->Stored("Source Title"), std::string("prog.tvr"));
    QCOMPARE(dialog.sourceTitle, std::string("prog.tvr"));

    // Cancel clears the field and the stored file; Build then asks for a file.
    answerer->Then(Cancel());
    QTest::mouseClick(dialog.chooseButton, Qt::LeftButton);
    QCOMPARE(dialog.sourceEdit->text(), QString());
    QCOMPARE(sandbox->Stored("Source File"), std::string(""));
    QCOMPARE(sandbox->Stored("Source Title"), std::string(""));
    answerer->Then(Press(QMessageBox::Ok));
    ClickBuild(dialog);
    QCOMPARE(answerer->seen.size(), size_t(3));
    QCOMPARE(answerer->seen[2].text, QStringLiteral("Please specify filename to build."));
  }

  void enterBuildsAndEscapeCloses() {
    sandbox->Write("logs/tovrin.log", "last build's log");
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    answerer->Then(Press(QMessageBox::Ok));
    QTest::keyClick(dialog.sourceEdit, Qt::Key_Return);
    QCOMPARE(answerer->seen.size(), size_t(1));
    QCOMPARE(answerer->seen[0].kind, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer->seen[0].title, QStringLiteral("Tovrin"));
    QCOMPARE(answerer->seen[0].text, QStringLiteral("Please specify filename to build."));
    QCOMPARE(ReadFile(sandbox->LogPath()), std::string("last build's log"));

    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QTest::mouseClick(dialog.doneButton, Qt::LeftButton);
    QCOMPARE(finished.count(), 2);
  }

  void failedBuildOffersTheLog() {
    sandbox->Write("bad.tvr", kBadProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText(QStringLiteral("bad.tvr"));
    QString shown;
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then([&](QWidget* modal) {
      if (auto* viewer = qobject_cast<CLogViewer*>(modal)) shown = viewer->Text();
      Cancel()(modal);
    });
    ClickBuild(dialog);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[0].title, QStringLiteral("Tovrin Compiler ERROR"));
    QCOMPARE(answerer->seen[0].text, QStringLiteral("Tovrin: Error in Build or Settings.  View error log?"));
    QCOMPARE(answerer->seen[1].kind, QStringLiteral("CLogViewer"));
    QVERIFY(shown.contains(QStringLiteral("syntax error")));
    QVERIFY(shown.contains(QStringLiteral("Tovrin: BUILD FAILED\n\nProgram memory:\t0x0060")));
    QVERIFY(!std::filesystem::exists(sandbox->File("bad.hex")));

    // Cancel leaves the log unopened.
    answerer->Then(Press(QMessageBox::Cancel));
    ClickBuild(dialog);
    QCOMPARE(answerer->seen.size(), size_t(3));
  }

  // The build reads the placement the lists wrote: code in external RAM starts at 0x260.
  void goodBuildOffersTheDownload() {
    sandbox->Write("good.tvr", kGoodProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText(QStringLiteral("good.tvr"));
    Select(dialog.codeList, 1);
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, QStringLiteral("8"));
    answerer->Then(Press(QMessageBox::Cancel));
    ClickBuild(dialog);
    QCOMPARE(answerer->seen.size(), size_t(1));
    QCOMPARE(answerer->seen[0].title, QStringLiteral("Tovrin Compiler"));
    const QString summary = answerer->seen[0].text;
    QVERIFY2(summary.startsWith(QStringLiteral("Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... ")),
             qPrintable(summary));
    QVERIFY(summary.contains(QStringLiteral("Code memory:\t0x0260 ... ")));
    QVERIFY(summary.endsWith(QStringLiteral("\n\nPrepare to Download...\n")));
    QVERIFY(std::filesystem::exists(sandbox->File("good.hex")));
    QVERIFY(!dialog.TransferRunning());
    QVERIFY(dialog.buildButton->isEnabled());
  }

  void downloadWithoutAPortAsksForOne() {
    sandbox->Store("Port", "9");
    sandbox->Write("good.tvr", kGoodProgram);
    Window window;
    window.dialog->sourceEdit->setText(QStringLiteral("good.tvr"));
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then(Press(QMessageBox::Ok));
    ClickBuild(*window.dialog);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[1].text, QStringLiteral("First specify a communications port."));
  }

  void installAndConfigureWithoutAPortAskForOneFirst() {
    sandbox->Store("Port", "9");
    Window window;
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->configureButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(2));
    for (const Seen& seen : answerer->seen) {
      QCOMPARE(seen.kind, QStringLiteral("QMessageBox"));
      QCOMPARE(seen.text, QStringLiteral("First specify a communications port."));
    }
    QCOMPARE(sandbox->Stored("Tovrin File"), std::string("Atmel\\Tovrin.hex"));
  }

  void cancellingTheFirmwareDialogKeepsTheStoredFile() {
    Window window;
    QStringList filters, initial;
    QString suffix;
    answerer->Then([&](QWidget* modal) {
      auto* files = qobject_cast<QFileDialog*>(modal);
      QVERIFY(files);
      filters = files->nameFilters();
      suffix = files->defaultSuffix();
      initial = files->selectedFiles();
      Cancel()(modal);
    });
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(1));
    QCOMPARE(filters, QStringList({"Downloadable HEX files (*.hex)"}));
    QCOMPARE(suffix, QStringLiteral("hex"));
    QCOMPARE(initial.size(), 1);
    QVERIFY2(initial[0].endsWith(QStringLiteral("Atmel/Tovrin.hex")), qPrintable(initial[0]));
    QCOMPARE(sandbox->Stored("Tovrin File"), std::string("Atmel\\Tovrin.hex"));
    QCOMPARE(window.dialog->firmwarePath, std::string("Atmel\\Tovrin.hex"));
  }

  // A parse that stops early leaves the file stack in the source's folder; the window goes
  // back, so the same relative path builds again.
  void buildsKeepTheWorkingDirectory() {
    sandbox->Write("sub/stray.tvr", "}\n");
    Window window;
    window.dialog->sourceEdit->setText(QStringLiteral("sub/stray.tvr"));
    const std::filesystem::path before = std::filesystem::current_path();
    answerer->Then(Press(QMessageBox::Cancel));
    ClickBuild(*window.dialog);
    QCOMPARE(std::filesystem::current_path().string(), before.string());
    answerer->Then(Press(QMessageBox::Cancel));
    ClickBuild(*window.dialog);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(std::filesystem::current_path().string(), before.string());
  }

  void configureEditsTheChosenPort() {
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    Select(dialog.portList, 1);
    QString device, speed;
    answerer->Then([&](QWidget* modal) {
      auto* port = qobject_cast<CPortDialog*>(modal);
      QVERIFY(port);
      device = port->device->currentText();
      speed = port->baud->currentText();
      port->device->setEditText(QStringLiteral("/dev/ttyUSB7"));
      port->baud->setEditText(QStringLiteral("9600"));
      port->dataBits->setCurrentIndex(2);
      port->parity->setCurrentIndex(2);
      port->stopBits->setCurrentIndex(1);
      port->flow->setCurrentIndex(1);
      port->accept();
    });
    QTest::mouseClick(dialog.configureButton, Qt::LeftButton);
    QCOMPARE(device, QStringLiteral("/dev/ttyS1"));
    QCOMPARE(speed, QStringLiteral("19200"));
    CPortSettings saved = LoadPortSettings("COM2");
    QCOMPARE(saved.device, std::string("/dev/ttyUSB7"));
    QCOMPARE(saved.baud, 9600);
    QCOMPARE(saved.dataBits, 7);
    QVERIFY(saved.parity == Parity::Even);
    QCOMPARE(saved.stopBits, 2);
    QVERIFY(saved.flow == FlowControl::Hardware);

    // A speed the system has not, or no device, keeps the dialog open; Cancel saves nothing.
    QStringList problems;
    auto refused = [&](const char* typedDevice, const char* typedSpeed) {
      return [&problems, typedDevice, typedSpeed](QWidget* modal) {
        auto* port = qobject_cast<CPortDialog*>(modal);
        QVERIFY(port);
        port->device->setEditText(QString::fromLatin1(typedDevice));
        port->baud->setEditText(QString::fromLatin1(typedSpeed));
        port->accept();
        problems << (port->isVisible() && port->problem->isVisible() ? port->problem->text() : QString());
      };
    };
    answerer->Then(refused("/dev/ttyUSB7", "12345"));
    answerer->Then(refused("", "9600"));
    answerer->Then(Cancel());
    QTest::mouseClick(dialog.configureButton, Qt::LeftButton);
    QCOMPARE(problems.size(), 2);
    QCOMPARE(problems[0], QStringLiteral("This system has no speed of 12345 bits per second."));
    QCOMPARE(problems[1], QStringLiteral("Name the device the port stands for."));
    QCOMPARE(LoadPortSettings("COM2").baud, 9600);
  }

  void messagesShowTheirTextAsItIs() {
    Window window;
    QString text, title;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerer->Then([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      text = box->text();
      title = box->windowTitle();
      format = box->textFormat();
      icon = box->icon();
      Press(QMessageBox::Ok)(modal);
    });
    window.ui.ShowMessage("<b>1 < 2</b> in 'a&b.tvr'", std::string(), MessageIcon::Information);
    QCOMPARE(text, QStringLiteral("<b>1 < 2</b> in 'a&b.tvr'"));
    QCOMPARE(title, QStringLiteral("Tovrin"));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(icon, QMessageBox::Information);

    answerer->Then(Press(QMessageBox::Ok));
    QVERIFY(window.ui.AskOkCancel("go?", "Caption"));
    answerer->Then(Press(QMessageBox::Cancel));
    QVERIFY(!window.ui.AskOkCancel("go?", "Caption"));
    answerer->Then([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QVERIFY(!window.ui.AskOkCancel("go?", "Caption"));
    QCOMPARE(answerer->seen.back().title, QStringLiteral("Caption"));
  }

  void logViewerShowsLinesAndUnreadableLogs() {
    const std::string log = sandbox->Write("odd.log", std::string("one\r\ntwo \xff\r\n\r\nlast", 18));
    const QString text = LogText(log);
    QCOMPARE(text, QString::fromUtf8("one\ntwo \xEF\xBF\xBD\n\nlast"));
    QCOMPARE(LogText(sandbox->File("none.log")),
             QString::fromStdString("Cannot read " + sandbox->File("none.log") + ": No such file or directory"));
  }
};

std::unique_ptr<QObject> MakeMainWindowSuite() { return std::make_unique<MainWindowSuite>(); }

#include "main_window_test.moc"
