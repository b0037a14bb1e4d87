// Transfers from the window through the emulated programmer: the status window from the
// connection to the end, the window serving the user meanwhile, stopping a transfer, and the
// one box each failure gives.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <map>

#include "download/port_settings.h"
#include "download/programmer_emulator.h"
#include "tests/gui/gui_fixture.h"
#include "tests/support/hex_record.h"

using namespace gui_test;

namespace {

// The status window and the main window's commands at one moment of a transfer.
struct Snapshot {
  bool visible;
  QStringList fields;  // 1016, 1017, 1015, 1014, 1018
  int maximum, value;
  bool commandsEnabled;
  QString tip;
};

}  // namespace

class TransfersSuite : public QObject {
  Q_OBJECT

  std::unique_ptr<Sandbox> sandbox;
  std::unique_ptr<ModalAnswerer> answerer;
  std::unique_ptr<CEmulatedProgrammer> emulator;
  std::unique_ptr<Window> window;
  std::vector<Snapshot> snapshots;
  std::function<void(CStatusWindow*)> duringTransfer;  // run once, at the first sample
  QTimer sampler;

  // Serves the emulated programmer on COM2, the stored port, and opens the window.
  void Start() {
    std::string errorText;
    QVERIFY2(emulator->Open(errorText) && emulator->Start(), errorText.c_str());
    CPortSettings settings = DefaultPortSettings("COM2");
    settings.device = emulator->DevicePath();
    QVERIFY(SavePortSettings("COM2", settings));
    sandbox->Store("Port", "2");
    window = std::make_unique<Window>();
    sampler.start(2);
  }

  void Sample() {
    CStatusWindow* status = window ? window->ui.StatusWindow() : nullptr;
    if (!status) return;
    CTovrinDlg& dialog = *window->dialog;
    Snapshot shot{status->isVisible(), {}, status->Progress()->maximum(), status->Progress()->value(),
                  dialog.buildButton->isEnabled() || dialog.configureButton->isEnabled() || dialog.installButton->isEnabled(),
                  dialog.buildButton->toolTip()};
    for (StatusField field : {StatusField::Identification, StatusField::ProgrammerKind, StatusField::SoftwareVersion,
                              StatusField::HardwareVersion, StatusField::StatusLine})
      shot.fields << status->Field(field)->text();
    snapshots.push_back(shot);
    if (auto once = std::exchange(duringTransfer, nullptr)) once(status);
  }

  // Builds good.tvr from the field and answers the success box with OK.
  void BuildAndDownload() {
    sandbox->Write("good.tvr", kGoodProgram);
    window->dialog->sourceEdit->setText("good.tvr");
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window->dialog->buildButton, Qt::LeftButton);
  }

  QString Where() const { return QString::fromStdString("COM2 (" + emulator->DevicePath() + ")"); }

 private slots:
  void initTestCase() {
    QuietBegin();
    connect(&sampler, &QTimer::timeout, this, &TransfersSuite::Sample);
  }
  void cleanupTestCase() { QuietEnd(); }
  void init() {
    sandbox = std::make_unique<Sandbox>();
    answerer = std::make_unique<ModalAnswerer>();
    emulator = std::make_unique<CEmulatedProgrammer>();
    snapshots.clear();
  }
  void cleanup() {
    sampler.stop();
    if (answerer->unexpected)
      for (const Seen& seen : answerer->seen) qInfo() << "seen:" << seen.kind << seen.title << seen.text;
    QCOMPARE(answerer->unexpected, 0);
    QVERIFY(answerer->AllUsed());
    window.reset();
    emulator.reset();
    answerer.reset();
    sandbox.reset();
  }

  // The status window opens before the port does and says where it connects; while the image
  // goes to SRAM it shows the programmer and the progress, the commands that would start another
  // transfer are refused, and at the end it says what was sent, then closes itself.
  void buildAndDownloadShowsTheStatusWindow() {
    emulator->faults.replyDelayMs = 3;  // so the sampler sees the connection
    Start();
    CTovrinDlg& dialog = *window->dialog;
    duringTransfer = [&](CStatusWindow*) {
      dialog.OnOK();
      dialog.OnInstall();
      dialog.OnConfigure();
    };
    BuildAndDownload();

    QCOMPARE(answerer->seen.size(), size_t(1));  // the success box; no second build, no failure
    QVERIFY(!snapshots.empty());
    // The first thing the status window says, before anything of the programmer is known.
    const auto said = std::find_if(snapshots.begin(), snapshots.end(),
                                   [](const Snapshot& shot) { return !shot.fields.join("").isEmpty(); });
    QVERIFY(said != snapshots.end());
    QCOMPARE(said->fields, QStringList({"", "", "", "", "Connecting to " + Where() + " ..."}));
    // Fields fill in one by one; by the last sample of the download all are there.
    const Snapshot* identified = &snapshots.back();
    QCOMPARE(identified->fields, QStringList({"TOVEMU1", "  Tovrin Programmer", "1.10", "2.00", "Download good.hex to SRAM"}));
    QCOMPARE(identified->maximum, int(std::filesystem::file_size(sandbox->File("good.hex"))));
    QVERIFY(std::all_of(snapshots.begin(), snapshots.end(), [](const Snapshot& shot) { return shot.visible; }));
    QVERIFY(!snapshots.front().commandsEnabled);
    QCOMPARE(snapshots.front().tip, kTransferRunningText);
    QCOMPARE(emulator->SramBytes(), HexBytes(sandbox->File("good.hex")));

    QCOMPARE(window->ui.StatusWindow(), nullptr);
    CStatusWindow* done = window->ui.FinishedWindow();
    QVERIFY(done && done->isVisible());
    const QString line = done->Field(StatusField::StatusLine)->text();
    QVERIFY2(QRegularExpression("^Done: " + QString::number(HexBytes(sandbox->File("good.hex")).size()) +
                                " bytes in [0-9]+\\.[0-9] s$").match(line).hasMatch(), qPrintable(line));
    QTRY_VERIFY_WITH_TIMEOUT(window->ui.FinishedWindow() == nullptr, 4 * kDoneShownMs);  // no click needed

    QVERIFY(dialog.buildButton->isEnabled() && dialog.installButton->isEnabled() && dialog.configureButton->isEnabled());
    QCOMPARE(dialog.buildButton->toolTip(), "");
  }

  // While a silent programmer is tried the window serves the user: keys typed reach their
  // field (and its setting); then one box says what failed, on which port and device.
  void theWindowAnswersWhileConnecting() {
    emulator->faults.silent = true;
    Start();
    CTovrinDlg& dialog = *window->dialog;
    bool typedWhileConnecting = false;
    duringTransfer = [&](CStatusWindow*) {
      dialog.ramEdit->setFocus();
      QTest::keyClick(dialog.ramEdit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(dialog.ramEdit, "12");
      typedWhileConnecting = window->ui.StatusWindow() != nullptr && sandbox->Stored("External RAM") == "12";
    };
    answerer->Then(Press(QMessageBox::Ok));
    BuildAndDownload();
    QVERIFY(typedWhileConnecting);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[1].text, "Connection timed out; problem with programmer or connection settings.\n\n"
                                     "Sending good.hex to SRAM through " + Where() + ".");
  }

  // Cancel stops the transfer: the programmer leaves SRAM-loader mode, the port is released,
  // one box says so, and the next download goes through.
  void cancelStopsTheTransfer() {
    emulator->faults.replyDelayMs = 3;
    Start();
    bool stopping = false;
    // Once the first bytes of the image are on their way.
    std::function<void(CStatusWindow*)> cancelWhileSending = [&](CStatusWindow* status) {
      if (status->Progress()->value() == 0) {
        duringTransfer = cancelWhileSending;
        return;
      }
      status->CancelButton()->click();
      stopping = !status->CancelButton()->isEnabled() && status->Field(StatusField::StatusLine)->text() == "Stopping...";
    };
    duringTransfer = cancelWhileSending;
    answerer->Then(Press(QMessageBox::Ok));
    BuildAndDownload();
    QVERIFY(stopping);
    const std::string transcript = emulator->Transcript();
    QVERIFY2(transcript.find("> 6C 00") != std::string::npos, transcript.c_str());  // out of SRAM-loader mode
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[1].text, "Stopped sending good.hex to SRAM through " + Where() +
                                         ".\nThe programmer has left its mode and the port is free.");
    QCOMPARE(window->ui.FinishedWindow(), nullptr);

    emulator->faults.replyDelayMs = 0;
    emulator->SetFaults(emulator->faults);
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window->dialog->buildButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(3));  // the success box only: the download went through
    QCOMPARE(emulator->SramBytes(), HexBytes(sandbox->File("good.hex")));
  }

  // Closing the main window mid-transfer stops the transfer, says so, and then closes.
  void closingTheWindowStopsTheTransfer() {
    emulator->faults.replyDelayMs = 3;
    Start();
    CTovrinDlg& dialog = *window->dialog;
    bool stillOpen = false;
    duringTransfer = [&](CStatusWindow*) {
      dialog.close();
      stillOpen = dialog.isVisible();
    };
    answerer->Then(Press(QMessageBox::Ok));
    BuildAndDownload();
    QVERIFY(stillOpen);  // until the transfer has stopped
    QCOMPARE(answerer->seen.size(), size_t(2));
    QVERIFY(answerer->seen[1].text.startsWith("Stopped sending good.hex to SRAM"));
    QVERIFY(!dialog.isVisible());
  }

  // A programmer that vanishes mid-download is said once, as such, with port, device and
  // address; never as a verification error.
  void aLostProgrammerGivesOneBox() {
    emulator->faults.vanishAfter = 40;
    Start();
    answerer->Then(Press(QMessageBox::Ok));
    BuildAndDownload();
    QCOMPARE(answerer->unexpected, 0);
    QCOMPARE(answerer->seen.size(), size_t(2));
    const QString text = answerer->seen[1].text;
    QVERIFY2(text.startsWith("Lost the programmer on " + Where() + " at address 0x"), qPrintable(text));
    QVERIFY(!text.contains("VERIFYING"));
  }

  // A port that cannot be opened: one box with the programmer's text, the device and the reason.
  void aPortThatCannotBeOpenedGivesOneBox() {
    Start();
    CPortSettings settings = DefaultPortSettings("COM2");
    settings.device = sandbox->File("no-such-tty");
    QVERIFY(SavePortSettings("COM2", settings));
    answerer->Then(Press(QMessageBox::Ok));
    BuildAndDownload();
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[1].text, QString::fromStdString("Failed to open port 'COM2'\n\nCOM2: " +
                                                            sandbox->File("no-such-tty") +
                                                            ": No such file or directory"));
  }

  void installWritesTheFirmwareToFlash() {
    emulator->identity.type = 'A';
    emulator->faults.replyDelayMs = 3;  // so the sampler sees the short transfer
    const std::string firmware = sandbox->Write("fw.hex", ":0400000001020304f2\n:020010000506e3\n:00000001ff\n");
    Start();
    answerer->Then(Choose(firmware));
    QTest::mouseClick(window->dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(1));
    QVERIFY(!snapshots.empty());
    QCOMPARE(snapshots.back().fields.mid(1), QStringList({"  Atmel Programmer", "1.10", "2.00", "Download fw.hex to Flash"}));
    QCOMPARE(emulator->FlashWords(), (std::map<unsigned, uint16_t>{{0, 0x0201}, {1, 0x0403}, {2, 0x0605}}));
    QCOMPARE(sandbox->Stored("Tovrin File"), firmware);

    // A word the programmer does not confirm: its text in a plain message box, with where.
    CEmulatorFaults faults = emulator->faults;
    faults.refusedWord = 1;
    emulator->SetFaults(faults);
    answerer->Then(Choose(firmware));
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window->dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.at(2).text, "ERROR VERIFYING DATA\naddress 0x0001 (0x0002)\n\nSending fw.hex to Flash through " +
                                            Where() + ".");
    QCOMPARE(answerer->seen.at(2).title, "Tovrin");
  }
};

std::unique_ptr<QObject> MakeTransfersSuite() { return std::make_unique<TransfersSuite>(); }

#include "transfers_test.moc"
