// The window program beside the command line: both see the same stored settings, and the
// window renders itself to pictures for the documentation.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include "app/gui/port_dialog.h"
#include "app/gui/qt_text.h"
#include "tests/gui/gui_fixture.h"

using namespace gui_test;

namespace {

struct Run {
  int status;
  QString out;
};

Run RunProgram(const char* program, const QStringList& arguments) {
  QProcess process;
  process.start(QString::fromLatin1(TOVRIN_BINARY_DIR) + QLatin1Char('/') + QString::fromLatin1(program), arguments);
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return {-1, QString()};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardOutput())};
}

}  // namespace

class ProgramsSuite : public QObject {
  Q_OBJECT

 private:
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
    QVERIFY(answerer->AllUsed());
    answerer.reset();
    sandbox.reset();
  }

  void windowAndCommandLineShareTheSettings() {
    {
      Window window;
      Select(window.dialog->codeList, 1);
      Select(window.dialog->portList, 2);
      QTest::keyClick(window.dialog->ramEdit, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(window.dialog->ramEdit, QStringLiteral("16"));
    }
    const Run settings = RunProgram("tovrin", {QStringLiteral("settings")});
    QCOMPARE(settings.status, 0);
    for (const char* line : {"Code Location = 2", "Port = 3", "External RAM = 16", "Tovrin File = Atmel\\Tovrin.hex"})
      QVERIFY2(settings.out.contains(QString::fromLatin1(line)), qPrintable(settings.out));

    // The command line builds with the placement the window chose.
    sandbox->Write("good.tvr", kGoodProgram);
    const Run build = RunProgram("tovrin", {QStringLiteral("build"), QStringLiteral("good.tvr")});
    QCOMPARE(build.status, 0);
    QVERIFY2(build.out.contains(QStringLiteral("Code memory:\t0x0260")), qPrintable(build.out));

    // And the window sees what the command line stored: a port mapping and the firmware.
    QCOMPARE(RunProgram("tovrin", {"configure-port", "COM3", "--baud", "9600", "--device", "/dev/ttyUSB9"}).status, 0);
    const std::string firmware = sandbox->Write("fw.hex", ":00000001ff\n");
    QCOMPARE(RunProgram("tovrin", {"install", "fw.hex", "--port", PathToQt(sandbox->File("no-tty"))}).status, 3);
    Window window;
    QCOMPARE(window.dialog->firmwarePath, firmware);
    QString device, speed;
    answerer->Then([&](QWidget* modal) {
      if (auto* port = qobject_cast<CPortDialog*>(modal)) {
        device = port->device->currentText();
        speed = port->baud->currentText();
      }
      Cancel()(modal);
    });
    QTest::mouseClick(window.dialog->configureButton, Qt::LeftButton);
    QCOMPARE(device, QStringLiteral("/dev/ttyUSB9"));
    QCOMPARE(speed, QStringLiteral("9600"));
  }

  void screenshotsArePictures() {
    const QString main = PathToQt(sandbox->File("main.png")), status = PathToQt(sandbox->File("status.png"));
    QCOMPARE(RunProgram("app/gui/tovrin-gui", {"--screenshot", main, "--status-screenshot", status}).status, 0);
    const QImage mainPicture(main), statusPicture(status);
    Window window;  // the same settings, the same platform: the same size
    QCOMPARE(mainPicture.size(), window.dialog->size());
    QVERIFY(!statusPicture.isNull());
    QVERIFY(statusPicture.width() > statusPicture.height());
    QCOMPARE(RunProgram("app/gui/tovrin-gui", {"--no-such-option"}).status, 2);
  }
};

std::unique_ptr<QObject> MakeProgramsSuite() { return std::make_unique<ProgramsSuite>(); }

#include "programs_test.moc"
