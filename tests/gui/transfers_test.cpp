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

#include "app/gui/qt_text.h"
#include "download/port_settings.h"
#include "download/programmer_emulator.h"
#include "platform/format.h"
#include "target/intellec_file.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

// One data record of an Intel HEX file.
std::string Record(unsigned address, const std::vector<uint8_t>& bytes) {
  unsigned sum = static_cast<unsigned>(bytes.size()) + (address >> 8) + (address & 0xFF);
  std::string line = Format(":%02x%04x00", static_cast<unsigned>(bytes.size()), address);
  for (uint8_t byte : bytes) {
    line += Format("%02x", byte);
    sum += byte;
  }
  return line + Format("%02x\n", (0x100 - (sum & 0xFF)) & 0xFF);
}

// Every data byte of a hex file by address.
std::map<unsigned, uint8_t> HexBytes(const std::string& path) {
  std::map<unsigned, uint8_t> bytes;
  CIntellecFile file;
  for (bool more = file.Open(path); more; more = file.ReadRecord())
    for (size_t i = 0; i < file.data.size(); ++i) bytes[file.address + i] = file.data[i];
  file.Close();
  return bytes;
}

// What the status window and the main window showed at one moment of a transfer.
struct Snapshot {
  bool visible;
  QString title;
  std::map<int, QString> fields;  // by control identifier
  int maximum, value;
  bool commandsEnabled;           // Build, Configure..., Install Tovrin...
  QString tip;
  bool running;
};

Snapshot Take(CStatusWindow* status, CTovrinDlg& dialog) {
  Snapshot shot{status->isVisible(), status->windowTitle(), {}, status->Progress()->maximum(),
                status->Progress()->value(), false, dialog.buildButton->toolTip(), dialog.TransferRunning()};
  for (StatusField field : {StatusField::HardwareVersion, StatusField::SoftwareVersion, StatusField::Identification,
                            StatusField::ProgrammerKind, StatusField::StatusLine})
    shot.fields[static_cast<int>(field)] = status->Field(field)->text();
  shot.commandsEnabled = dialog.buildButton->isEnabled() || dialog.configureButton->isEnabled() ||
                         dialog.installButton->isEnabled();
  return shot;
}

}  // namespace

class TransfersSuite : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Sandbox> sandbox;
  std::unique_ptr<ModalAnswerer> answerer;
  std::unique_ptr<CEmulatedProgrammer> emulator;
  std::vector<Snapshot> snapshots;
  QTimer sampler;
  std::function<void(CStatusWindow*)> duringTransfer;  // run once, at the first sample

  // Serves the emulated programmer on COM2, the stored port.
  void StartEmulator() {
    std::string errorText;
    QVERIFY2(emulator->Open(errorText), errorText.c_str());
    QVERIFY(emulator->Start());
    CPortSettings settings = DefaultPortSettings("COM2");
    settings.device = emulator->DevicePath();
    QVERIFY(SavePortSettings("COM2", settings));
    sandbox->Store("Port", "2");
  }

  void Sample(Window& window) {
    CStatusWindow* status = window.ui.StatusWindow();
    if (!status) return;
    snapshots.push_back(Take(status, *window.dialog));
    if (duringTransfer) {
      auto once = std::move(duringTransfer);
      duringTransfer = nullptr;
      once(status);
    }
  }

  std::string Firmware() {
    return sandbox->Write("fw.hex", Record(0, {0x01, 0x02, 0x03, 0x04}) + Record(0x10, {0x05, 0x06}) + ":00000001ff\n");
  }

 private slots:
  void initTestCase() { QuietBegin(); }
  void cleanupTestCase() { QuietEnd(); }
  void init() {
    sandbox = std::make_unique<Sandbox>();
    answerer = std::make_unique<ModalAnswerer>();
    emulator = std::make_unique<CEmulatedProgrammer>();
    snapshots.clear();
    duringTransfer = nullptr;
  }
  void cleanup() {
    sampler.stop();
    sampler.disconnect();
    QCOMPARE(answerer->unexpected, 0);
    QVERIFY(answerer->AllUsed());
    emulator.reset();
    answerer.reset();
    sandbox.reset();
  }

  // While the image goes to SRAM the status window shows the programmer and the progress; the
  // commands that would start another transfer are refused, closing the window too, and the
  // status window's Cancel hides it without stopping the download.
  void buildAndDownloadShowsTheStatusWindow() {
    StartEmulator();
    sandbox->Write("good.tvr", kGoodProgram);
    Window window;
    CTovrinDlg& dialog = *window.dialog;
    dialog.sourceEdit->setText(QStringLiteral("good.tvr"));
    connect(&sampler, &QTimer::timeout, this, [&] { Sample(window); });
    sampler.start(5);
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

    QCOMPARE(answerer->seen.size(), size_t(1));  // the success box, and no failure after it
    QVERIFY(!snapshots.empty());
    const Snapshot& first = snapshots.front();
    QVERIFY(first.visible);
    QCOMPARE(first.title, QStringLiteral("Tovrin:  Status"));
    QCOMPARE(first.fields.at(1016), QStringLiteral("TOVEMU1"));
    QCOMPARE(first.fields.at(1017), QStringLiteral("  Tovrin Programmer"));
    QCOMPARE(first.fields.at(1015), QStringLiteral("1.10"));
    QCOMPARE(first.fields.at(1014), QStringLiteral("2.00"));
    QCOMPARE(first.fields.at(1018), QStringLiteral("Download good.hex to SRAM"));
    const int size = static_cast<int>(std::filesystem::file_size(sandbox->File("good.hex")));
    QCOMPARE(first.maximum, size);
    QVERIFY(!first.commandsEnabled);
    QCOMPARE(first.tip, QString::fromLatin1(kTransferRunningText));
    QVERIFY(first.running);
    QVERIFY(!snapshots.back().visible);  // hidden by its Cancel
    QVERIFY(snapshots.back().value > 0);

    QVERIFY(!window.ui.StatusWindow());
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.buildButton->isEnabled() && dialog.installButton->isEnabled() && dialog.configureButton->isEnabled());
    QCOMPARE(dialog.buildButton->toolTip(), QString());
    const std::map<unsigned, uint8_t> sent = HexBytes(sandbox->File("good.hex"));
    QVERIFY(!sent.empty());
    QCOMPARE(emulator->SramBytes(), sent);
  }

  void installWritesTheFirmwareToFlash() {
    emulator->identity.type = 'A';
    StartEmulator();
    const std::string firmware = Firmware();
    Window window;
    connect(&sampler, &QTimer::timeout, this, [&] { Sample(window); });
    sampler.start(2);
    answerer->Then(Choose(firmware));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);

    QCOMPARE(answerer->seen.size(), size_t(1));
    QVERIFY(!snapshots.empty());
    QCOMPARE(snapshots.front().fields.at(1017), QStringLiteral("  Atmel Programmer"));
    QCOMPARE(snapshots.front().fields.at(1018), QStringLiteral("Download fw.hex to Flash"));
    const std::map<unsigned, uint16_t> words = {{0, 0x0201}, {1, 0x0403}, {2, 0x0605}};
    QCOMPARE(emulator->FlashWords(), words);
    QCOMPARE(sandbox->Stored("Tovrin File"), firmware);
    QCOMPARE(window.dialog->firmwarePath, firmware);
  }

  void failuresShowTheProgrammersText() {
    CEmulatorFaults faults;
    faults.refusedWord = 1;
    emulator->faults = faults;
    StartEmulator();
    const std::string firmware = Firmware();
    CPortSettings missing = DefaultPortSettings("COM3");
    missing.device = sandbox->File("no-such-tty");
    QVERIFY(SavePortSettings("COM3", missing));
    Window window;
    answerer->Then(Choose(firmware));
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(2));
    QCOMPARE(answerer->seen[1].text, QStringLiteral("ERROR VERIFYING DATA\naddress 0x0001 (0x0002)"));

    // A port that cannot be opened: the system's words first, then the programmer's.
    Select(window.dialog->portList, 2);
    answerer->Then(Choose(firmware));
    answerer->Then(Press(QMessageBox::Ok));
    answerer->Then(Press(QMessageBox::Ok));
    QTest::mouseClick(window.dialog->installButton, Qt::LeftButton);
    QCOMPARE(answerer->seen.size(), size_t(5));
    QCOMPARE(answerer->seen[3].text, QStringLiteral("No such file or directory"));
    QCOMPARE(answerer->seen[4].text, QStringLiteral("Failed to open port 'COM3'"));
    QVERIFY(window.dialog->installButton->isEnabled());
  }
};

std::unique_ptr<QObject> MakeTransfersSuite() { return std::make_unique<TransfersSuite>(); }

#include "transfers_test.moc"
