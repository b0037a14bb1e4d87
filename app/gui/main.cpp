// tovrin-gui: the Tovrin window. Runs the main window until it is closed; --screenshot renders
// it (and --status-screenshot a status window mid-transfer) to PNG files instead.
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/gui/qt_interface.h"
#include "app/gui/qt_text.h"
#include "app/gui/status_window.h"
#include "app/gui/tovrin_dlg.h"

namespace {

const char kUsage[] =
    "Usage: tovrin-gui [--log PATH] [--screenshot FILE] [--status-screenshot FILE]\n"
    "Opens the Tovrin window. Settings are shared with the tovrin command.\n"
    "\n"
    "  --log PATH                 where builds write the error log\n"
    "  --screenshot FILE          render the main window to FILE (PNG) and exit\n"
    "  --status-screenshot FILE   render the status window of a transfer to FILE (PNG) and exit\n"
    "  --help, --version\n"
    "\n"
    "The screenshots use the offscreen platform unless QT_QPA_PLATFORM names another.\n";

struct Options {
  std::string logPath;
  std::string screenshot;
  std::string statusScreenshot;
};

int Usage(const std::string& message) {
  std::fprintf(stderr, "tovrin-gui: %s\n%s", message.c_str(), kUsage);
  return 2;
}

// Seen before the application exists: screenshots need no display.
bool WantsScreenshot(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--screenshot") == 0 || std::strcmp(argv[i], "--status-screenshot") == 0) return true;
  return false;
}

// The application's own arguments, after Qt has taken its own; 0 to go on, else an exit status.
int ParseOptions(const QStringList& arguments, Options& options) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const std::string arg = FromQt(arguments[i]);
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    }
    if (arg == "--version") {
      std::printf("tovrin-gui %s\n", TOVRIN_VERSION);
      return -1;
    }
    std::string* value = arg == "--log"                 ? &options.logPath
                         : arg == "--screenshot"        ? &options.screenshot
                         : arg == "--status-screenshot" ? &options.statusScreenshot
                                                        : nullptr;
    if (!value) return Usage("unknown argument '" + arg + "'");
    if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) return Usage(arg + " needs a value");
    *value = PathFromQt(arguments[++i]);
  }
  return 0;
}

bool SavePicture(QWidget& window, const std::string& path) {
  window.show();
  QApplication::processEvents();
  if (window.grab().save(PathToQt(path), "PNG")) return true;
  std::fprintf(stderr, "tovrin-gui: cannot write '%s'\n", path.c_str());
  return false;
}

// A status window as it looks part way through an SRAM download from the emulated programmer.
bool SaveStatusPicture(QWidget* owner, const std::string& path) {
  CStatusWindow status(owner);
  status.SetText(StatusField::StatusLine, QStringLiteral("Download counter.hex to SRAM"));
  status.SetText(StatusField::Identification, QStringLiteral("TOVEMU1"));
  status.SetText(StatusField::ProgrammerKind, QStringLiteral("  Tovrin Programmer"));
  status.SetText(StatusField::SoftwareVersion, QStringLiteral("1.10"));
  status.SetText(StatusField::HardwareVersion, QStringLiteral("2.00"));
  status.SetRange(0, 300);
  status.SetPosition(126);
  return SavePicture(status, path);
}

}  // namespace

int main(int argc, char** argv) {
  if (WantsScreenshot(argc, argv) && !std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  Options options;
  if (int status = ParseOptions(QCoreApplication::arguments(), options)) return status < 0 ? 0 : status;

  CQtInterface ui;
  CTovrinDlg window(options.logPath);
  ui.SetOwner(&window);

  if (!options.screenshot.empty() || !options.statusScreenshot.empty()) {
    bool saved = options.screenshot.empty() || SavePicture(window, options.screenshot);
    saved = (options.statusScreenshot.empty() || SaveStatusPicture(&window, options.statusScreenshot)) && saved;
    return saved ? 0 : 1;
  }

  // Closing the window ends the application.
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  window.show();
  return app.exec();
}
