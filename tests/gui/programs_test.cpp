// The window program beside the command line: both see the same stored settings, and the
// window renders itself to pictures without a display.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "app/gui/port_dialog.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

// Runs a program of the build; its exit status and standard output.
std::pair<int, QString> Run(const char* program, const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral(TOVRIN_BINARY_DIR "/") + program, arguments);
  if (!process.waitForFinished(30000)) process.kill();
  process.waitForFinished();
  const int status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  return {status, QString::fromUtf8(process.readAllStandardOutput())};
}

}  // namespace

class ProgramsSuite : public QObject {
  Q_OBJECT

  std::unique_ptr<Sandbox> sandbox;
  std::unique_ptr<ModalAnswerer> answerer;

 private slots:
  void initTestCase() { QuietBegin(); }
  void cleanupTestCase() { QuietEnd(); }
  void init() {
    sandbox = std::make_unique<Sandbox>();
    answerer = std::make_unique<ModalAnswerer>();
  }
  void cleanup() {
    QCOMPARE(answerer->unexpected, 0);
    answerer.reset();
    sandbox.reset();
  }

  void windowAndCommandLineShareTheSettings() {
    {
      Window window;
      Select(window.dialog->codeList, 1);
      Select(window.dialog->portList, 2);
      QTest::keyClick(window.dialog->ramEdit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(window.dialog->ramEdit, "16");
    }
    const auto [status, settings] = Run("tovrin", {"settings"});
    QCOMPARE(status, 0);
    for (const char* line : {"Code Location = 2", "Port = 3", "External RAM = 16", "Tovrin File = Atmel\\Tovrin.hex"})
      QVERIFY2(settings.contains(line), qPrintable(settings));
    // The command line builds with the placement the window chose ...
    sandbox->Write("good.tvr", kGoodProgram);
    const auto [built, summary] = Run("tovrin", {"build", "good.tvr"});
    QCOMPARE(built, 0);
    QVERIFY2(summary.contains("Code memory:\t0x0260"), qPrintable(summary));

    // ... and the window sees the port mapping and the firmware the command line stored.
    QCOMPARE(Run("tovrin", {"configure-port", "COM3", "--baud", "9600", "--device", "/dev/ttyUSB9"}).first, 0);
    const std::string firmware = sandbox->Write("fw.hex", ":00000001ff\n");
    QCOMPARE(Run("tovrin", {"install", "fw.hex", "--port", sandbox->File("no-tty").c_str()}).first, 3);
    Window window;
    QCOMPARE(window.dialog->firmwarePath, firmware);
    QString shown;
    answerer->Then([&](QWidget* modal) {
      if (auto* port = qobject_cast<CPortDialog*>(modal)) shown = port->device->currentText() + " " + port->baud->currentText();
      Cancel()(modal);
    });
    QTest::mouseClick(window.dialog->configureButton, Qt::LeftButton);
    QCOMPARE(shown, "/dev/ttyUSB9 9600");
  }

  void screenshotsArePictures() {
    const std::string main = sandbox->File("main.png"), status = sandbox->File("status.png");
    QCOMPARE(Run("app/gui/tovrin-gui", {"--screenshot", main.c_str(), "--status-screenshot", status.c_str()}).first, 0);
    Window window;  // the same settings and platform: the same size
    QCOMPARE(QImage(main.c_str()).size(), window.dialog->size());
    QVERIFY(QImage(status.c_str()).width() > QImage(status.c_str()).height());
    QCOMPARE(Run("app/gui/tovrin-gui", {"--no-such-option"}).first, 2);
  }
};

std::unique_ptr<QObject> MakeProgramsSuite() { return std::make_unique<ProgramsSuite>(); }

#include "programs_test.moc"
