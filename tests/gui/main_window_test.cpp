// The main window: start-up defaults, write-at-once, the file choices, Build with its prompts,
// the port dialog, and what a build leaves behind.
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <filesystem>

#include "app/gui/dialog_units.h"
#include "app/gui/log_viewer.h"
#include "app/gui/port_dialog.h"
#include "app/gui/screen_fit.h"
#include "download/port_settings.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

// "id:text" of every control the Tab key visits, in its order; lists give their entries.
QStringList TabOrder(QWidget* window) {
  QStringList order;
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
    if (w->objectName().isEmpty() || w->parentWidget() != window) continue;
    QString text;
    if (auto* list = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < list->count(); ++i) text += (i ? "|" : "") + list->itemText(i);
    else if (auto* button = qobject_cast<QPushButton*>(w))
      text = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
      text = edit->text();
    order << w->objectName() + ":" + text;
  }
  return order;
}

// Every control inside the window with its whole text, none on another (frames group them).
void CheckLayout(QWidget* window) {
  const QList<QWidget*> controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (QWidget* a : controls) {
    QVERIFY2(window->rect().contains(a->geometry()), qPrintable(a->objectName()));
    QVERIFY2(TextWidthNeeded(a) <= a->width(), qPrintable(a->objectName()));
    for (QWidget* b : controls)
      if (a != b && qstrcmp(a->metaObject()->className(), "QFrame") && qstrcmp(b->metaObject()->className(), "QFrame"))
        QVERIFY2(!a->geometry().intersects(b->geometry()), qPrintable(a->objectName() + "/" + b->objectName()));
  }
}

// What a file dialog offered before it was answered.
struct Offer {
  QStringList filters, initial;
  QString suffix;
};

ModalAnswerer::Answer Inspect(Offer& offer, ModalAnswerer::Answer then) {
  return [&offer, then](QWidget* modal) {
    if (auto* files = qobject_cast<QFileDialog*>(modal))
      offer = {files->nameFilters(), files->selectedFiles(), files->defaultSuffix()};
    then(modal);
  };
}

}  // namespace

class MainWindowSuite : public QObject {
  Q_OBJECT

  std::unique_ptr<Sandbox> sandbox;
  std::unique_ptr<ModalAnswerer> answerer;

  QString Said(size_t i) const { return i < answerer->seen.size() ? answerer->seen[i].text : "<nothing>"; }

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
    QCOMPARE(sandbox->Stored("External RAM"), "0");
    QCOMPARE(sandbox->Stored("Tovrin File"), "Atmel\\Tovrin.hex");
    for (const char* name : {"Code Location", "Data Location", "Port", "Debug Level"}) QCOMPARE(sandbox->Stored(name), "1");
    QCOMPARE(sandbox->Stored("Source File"), "<missing>");
    const QStringList shown = {dialog.dataList->currentText(), dialog.codeList->currentText(),
                               dialog.portList->currentText(), dialog.debugList->currentText(), dialog.ramEdit->text()};
    QCOMPARE(shown, QStringList({"On-Chip", "On-Chip", "COM1", "0. No Debugging Data", "0"}));
    QCOMPARE(dialog.windowTitle(), "Tovrin v1.1b");
    QCOMPARE(TabOrder(&dialog),
             QStringList({"1001:", "1002:...",
                          "1022:0. No Debugging Data|1. Byte Codes Only|2. Byte Codes + Program Info|"
                          "3. Codes, Info, and Symbols",
                          "1:Build", "1019:On-Chip|External RAM", "1020:On-Chip|External RAM", "1021:0",
                          "1009:COM1|COM2|COM3|COM4", "1010:Configure...", "1011:Install Tovrin...", "2:Done"}));
    QVERIFY(dialog.buildButton->isDefault());
    CheckLayout(&dialog);
    CStatusWindow status(&dialog);
    status.SetText(StatusField::ProgrammerKind, "  Atmel Programmer");
    CheckLayout(&status);
  }

  // A stored 0 (or a number too long to read) counts as missing; a number naming no entry
  // leaves its list empty and stays stored.
  void storedNumbersOutsideTheLists() {
    for (auto [name, value] : {std::pair{"Code Location", "2"}, {"Data Location", "0"}, {"Port", "7"},
                               {"Debug Level", "12345678901"}})
      sandbox->Store(name, value);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    const QStringList shown = {dialog.codeList->currentText(), dialog.dataList->currentText(),
                               dialog.portList->currentText(), dialog.debugList->currentText()};
    QCOMPARE(shown, QStringList({"External RAM", "On-Chip", "", "0. No Debugging Data"}));
    QCOMPARE(sandbox->Stored("Data Location") + sandbox->Stored("Port") + sandbox->Stored("Debug Level"), "171");
  }

  void everyChoiceIsWrittenAtOnce() {
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    Select(dialog.debugList, 2);
    QCOMPARE(sandbox->Stored("Debug Level"), "3");
    QCOMPARE(dialog.debugLevel, 3);
    Select(dialog.dataList, 1);
    QCOMPARE(sandbox->Stored("Data Location"), "2");
    Select(dialog.codeList, 1);
    QCOMPARE(sandbox->Stored("Code Location"), "2");
    Select(dialog.portList, 3);
    QCOMPARE(sandbox->Stored("Port"), "4");
    // 0 to 64 only (what 16-bit addresses reach), stored as typed; an emptied field is stored
    // empty.
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, "99");
    QCOMPARE(sandbox->Stored("External RAM"), "9");
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, "65-");
    QCOMPARE(sandbox->Stored("External RAM"), "6");
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, "64");
    QCOMPARE(sandbox->Stored("External RAM"), "64");
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, "1x2");
    QCOMPARE(sandbox->Stored("External RAM"), "12");
    QTest::keyClick(dialog.ramEdit, Qt::Key_Backspace);
    QTest::keyClick(dialog.ramEdit, Qt::Key_Backspace);
    QCOMPARE(sandbox->Stored("External RAM"), "");
    // A typed path is built but not stored.
    QTest::keyClicks(dialog.sourceEdit, "typed.tvr");
    QCOMPARE(sandbox->Stored("Source File"), "<missing>");
  }

  void choosingTheSourceFileAndCancelling() {
    const std::string source = sandbox->Write("prog.tvr", kGoodProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText("prog.tvr");
    Offer offer;
    answerer->Then(Inspect(offer, Choose(source)));
    QTest::mouseClick(dialog.chooseButton, Qt::LeftButton);
    QCOMPARE(offer.filters, QStringList({"Tovrin Files (*.tvr)"}));
    QCOMPARE(offer.suffix, "tvr");
    QVERIFY(offer.initial.size() == 1 && offer.initial[0].endsWith("/prog.tvr"));
    QCOMPARE(dialog.sourceEdit->text().toStdString(), source);
    QCOMPARE(sandbox->Stored("Source File"), source);
    QCOMPARE(sandbox->Stored("Source Title"), "prog.tvr");

    // Cancel clears the field and the stored file; Enter then builds and asks for a file.
    answerer->Then(Cancel());
    QTest::mouseClick(dialog.chooseButton, Qt::LeftButton);
    QCOMPARE(dialog.sourceEdit->text(), "");
    QCOMPARE(sandbox->Stored("Source File"), "");
    QCOMPARE(sandbox->Stored("Source Title"), "");
    answerer->Then(Press(QMessageBox::Ok));
    QTest::keyClick(dialog.sourceEdit, Qt::Key_Return);
    QCOMPARE(Said(2), "Please specify filename to build.");
    QCOMPARE(answerer->seen[2].title, "Tovrin");
    QVERIFY(!std::filesystem::exists(sandbox->LogPath()));
  }

  void failedBuildOffersTheLog() {
    sandbox->Write("bad.tvr", kBadProgram);
    Window window;
    window.dialog->sourceEdit->setText("bad.tvr");
    QString shown;
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then([&](QWidget* modal) {
      if (auto* viewer = qobject_cast<CLogViewer*>(modal)) shown = viewer->Text();
      Cancel()(modal);
    });
    QTest::mouseClick(window.dialog->buildButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.at(0).title, "Tovrin Compiler ERROR");
    QCOMPARE(Said(0), "Tovrin: Error in Build or Settings.  View error log?");
    QCOMPARE(answerer->seen.at(1).kind, "CLogViewer");
    QVERIFY(shown.contains("syntax error"));
    QVERIFY(shown.contains("Tovrin: BUILD FAILED\n\nProgram memory:\t0x0060"));
    QVERIFY(!std::filesystem::exists(sandbox->File("bad.hex")));

    // A source that cannot be opened is named, with the reason, before the memory map; the
    // viewer fits the screen however long the log.
    window.dialog->sourceEdit->setText("gone.tvr");
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then([&](QWidget* modal) {
      if (auto* viewer = qobject_cast<CLogViewer*>(modal)) {
        shown = viewer->Text();
        QVERIFY(AvailableRoom(viewer).contains(viewer->frameGeometry()));
      }
      Cancel()(modal);
    });
    QTest::mouseClick(window.dialog->buildButton, Qt::LeftButton);
    QVERIFY2(shown.startsWith("Can not open source file 'gone.tvr': No such file or directory \n\nTovrin: BUILD FAILED"),
             qPrintable(shown));
  }

  // The build reads the placement the lists wrote: code in external RAM starts at 0x260. OK
  // with no port chosen asks for one.
  void goodBuildOffersTheDownload() {
    sandbox->Store("Port", "9");
    sandbox->Write("good.tvr", kGoodProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText("good.tvr");
    Select(dialog.codeList, 1);
    QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog.ramEdit, "8");
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(dialog.buildButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.at(0).title, "Tovrin Compiler");
    QVERIFY2(Said(0).startsWith("Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... "), qPrintable(Said(0)));
    QVERIFY(Said(0).contains("Code memory:\t0x0260 ... "));
    QVERIFY(Said(0).endsWith("\n\nPrepare to Download...\n"));
    QCOMPARE(Said(1), "First specify a communications port.");
    QVERIFY(std::filesystem::exists(sandbox->File("good.hex")));
  }

  void installAndConfigureAskForAPortFirst() {
    sandbox->Store("Port", "9");
    Window window;
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->configureButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(Said(0), "First specify a communications port.");
    QCOMPARE(Said(1), "First specify a communications port.");
  }

  void cancellingTheFirmwareDialogKeepsTheStoredFile() {
    Window window;
    Offer offer;
    answerer->Then(Inspect(offer, Cancel()));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(1));
    QCOMPARE(offer.filters, QStringList({"Downloadable HEX files (*.hex)"}));
    QCOMPARE(offer.suffix, "hex");
    QVERIFY2(offer.initial.size() == 1 && offer.initial[0].endsWith("Atmel/Tovrin.hex"), qPrintable(offer.initial.join(",")));
    QCOMPARE(sandbox->Stored("Tovrin File"), "Atmel\\Tovrin.hex");
  }

  // A parse that stops early leaves the file stack in the source's folder; the window goes
  // back, so the same relative path builds again.
  void buildsKeepTheWorkingDirectory() {
    sandbox->Write("sub/stray.tvr", "}\n");
    Window window;
    window.dialog->sourceEdit->setText("sub/stray.tvr");
    const std::string before = std::filesystem::current_path().string();
    answerer->Then(Press(QMessageBox::Cancel));
    QTest::mouseClick(window.dialog->buildButton, Qt::LeftButton);
    QCOMPARE(std::filesystem::current_path().string(), before);
  }

  void configureEditsTheChosenPort() {
    Window window;
    Select(window.dialog->portList, 1);
    QString shown, problem;
    answerer->Then([&](QWidget* modal) {
      auto* port = qobject_cast<CPortDialog*>(modal);
      QVERIFY(port);
      shown = port->device->currentText() + " " + port->baud->currentText();
      port->device->setEditText("/dev/ttyUSB7");
      port->baud->setEditText("12345");
      port->accept();  // refused: the dialog stays open and says why
      problem = port->problem->isVisible() ? port->problem->text() : "";
      port->baud->setEditText("9600");
      port->dataBits->setCurrentIndex(2);
      port->parity->setCurrentIndex(2);
      port->accept();
    });
    QTest::mouseClick(window.dialog->configureButton, Qt::LeftButton);
    QCOMPARE(shown, "/dev/ttyS1 19200");
    QCOMPARE(problem, "This system has no speed of 12345 bits per second.");
    QCOMPARE(DescribePortSettings(LoadPortSettings("COM2")), "/dev/ttyUSB7 9600 7E1 flow none");
  }

  // Messages hold file names and bytes from the programmer: never read as markup.
  void messagesAndTheLogShowTheirTextAsItIs() {
    Window window;
    Qt::TextFormat format = Qt::AutoText;
    answerer->Then([&](QWidget* modal) {
      format = qobject_cast<QMessageBox*>(modal)->textFormat();
      Press(QMessageBox::Ok)(modal);
    });
    window.ui.ShowMessage("<b>1 < 2</b> in 'a&b.tvr'", "", MessageIcon::Information);
    QCOMPARE(Said(0), "<b>1 < 2</b> in 'a&b.tvr'");
    QCOMPARE(format, Qt::PlainText);

    const std::string log = sandbox->Write("odd.log", std::string("one\r\ntwo \xff\r\n\r\nlast", 18));
    QCOMPARE(LogText(log), QString::fromUtf8("one\ntwo \xEF\xBF\xBD\n\nlast"));
    QCOMPARE(LogText(sandbox->File("none.log")),
             QString::fromStdString("Cannot read " + sandbox->File("none.log") + ": No such file or directory"));
  }
};

std::unique_ptr<QObject> MakeMainWindowSuite() { return std::make_unique<MainWindowSuite>(); }

#include "main_window_test.moc"
