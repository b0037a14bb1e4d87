// Transfers from the window through the emulated programmer: the status window while a
// download runs, the commands refused meanwhile, and the failures the user is shown.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <map>

#include "download/port_settings.h"
#include "download/programmer_emulator.h"
#include "image/intellec_file.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

// Every data byte of a hex file by address.
std::map<unsigned, uint8_t> HexBytes(const std::string& path) {
  std::map<unsigned, uint8_t> bytes;
  CIntellecFile file;
  for (bool more = file.Open(path); more; more = file.ReadRecord())
    for (size_t i = 0; i < file.data.size(); ++i) bytes[file.address + i] = file.data[i];
  file.Close();
  return bytes;
}

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
    QCOMPARE(answerer->unexpected, 0);
    QVERIFY(answerer->AllUsed());
    window.reset();
    emulator.reset();
    answerer.reset();
    sandbox.reset();
  }

  // While the image goes to SRAM the status window shows the programmer and the progress; the
  // commands that would start another transfer are refused, closing the window too, and the
  // status window's Cancel hides it without stopping the download.
  void buildAndDownloadShowsTheStatusWindow() {
    sandbox->Write("good.tvr", kGoodProgram);
    Start();
    CTovrinDlg& dialog = *window->dialog;
    dialog.sourceEdit->setText("good.tvr");
    duringTransfer = [&](CStatusWindow* status) {
      QTest::keyClick(&dialog, Qt::Key_Escape);
      dialog.close();
      dialog.OnOK();
      dialog.OnInstall();
      dialog.OnConfigure();
      status->CancelButton()->click();
    };
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(dialog.buildButton, Qt::LeftButton);

    QCOMPARE(answerer->seen.size(), size_t(1));  // the success box; no second build, no failure
    QVERIFY(!snapshots.empty());
    const Snapshot& first = snapshots.front();
    QCOMPARE(window->ui.StatusWindow(), nullptr);
    QVERIFY(first.visible);
    QCOMPARE(first.fields, QStringList({"TOVEMU1", "  Tovrin Programmer", "1.10", "2.00", "Download good.hex to SRAM"}));
    QCOMPARE(first.maximum, int(std::filesystem::file_size(sandbox->File("good.hex"))));
    QVERIFY(!first.commandsEnabled);
    QCOMPARE(first.tip, kTransferRunningText);
    QVERIFY(!snapshots.back().visible && snapshots.back().value > 0);
    QCOMPARE(emulator->SramBytes(), HexBytes(sandbox->File("good.hex")));

    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.buildButton->isEnabled() && dialog.installButton->isEnabled() && dialog.configureButton->isEnabled());
    QCOMPARE(dialog.buildButton->toolTip(), "");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
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
    QCOMPARE(snapshots.front().fields.mid(1), QStringList({"  Atmel Programmer", "1.10", "2.00", "Download fw.hex to Flash"}));
    QCOMPARE(emulator->FlashWords(), (std::map<unsigned, uint16_t>{{0, 0x0201}, {1, 0x0403}, {2, 0x0605}}));
    QCOMPARE(sandbox->Stored("Tovrin File"), firmware);

    // A word the programmer does not confirm: its text in a plain message box.
    CEmulatorFaults faults = emulator->faults;
    faults.refusedWord = 1;
    emulator->SetFaults(faults);
    answerer->Then(Choose(firmware));
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window->dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.at(2).text, "ERROR VERIFYING DATA\naddress 0x0001 (0x0002)");
    QCOMPARE(answerer->seen.at(2).title, "Tovrin");
  }
};

std::unique_ptr<QObject> MakeTransfersSuite() { return std::make_unique<TransfersSuite>(); }

#include "transfers_test.moc"
