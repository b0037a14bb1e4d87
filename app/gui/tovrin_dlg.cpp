#include "app/gui/tovrin_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolTip>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>

#include "app/build_driver.h"
#include "app/gui/dialog_units.h"
#include "app/gui/port_dialog.h"
#include "app/gui/qt_interface.h"
#include "app/gui/qt_text.h"
#include "app/transfer.h"
#include "app/transfer_report.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/user_interface.h"

namespace {

const char kDefaultFirmware[] = "Atmel\\Tovrin.hex";

// The window's icon: a white T on blue, drawn rather than shipped as a file.
QIcon TovrinIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x8c));
    painter.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("T"));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

// The file stack moves the working directory while it reads sources, and an aborted parse
// leaves it in the last source's folder; the window puts it back so a relative path in the
// file field means the same thing at the next build.
class WorkingDirectoryKeeper {
 public:
  WorkingDirectoryKeeper() { saved = std::filesystem::current_path(error); }
  ~WorkingDirectoryKeeper() {
    if (!error) std::filesystem::current_path(saved, error);
  }
  WorkingDirectoryKeeper(const WorkingDirectoryKeeper&) = delete;
  WorkingDirectoryKeeper& operator=(const WorkingDirectoryKeeper&) = delete;

 private:
  std::error_code error;
  std::filesystem::path saved;
};

QLabel* MakeLabel(QWidget* parent, CDialogLayout& layout, const char* text, Qt::Alignment alignment, int x,
                  int y, int width, int height) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setAlignment(alignment | Qt::AlignTop);
  layout.Add(label, x, y, width, height);
  return label;
}

QPushButton* MakeButton(QWidget* parent, CDialogLayout& layout, const char* id, const char* text, int x, int y,
                        int width, int height) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(QString::fromLatin1(id));
  layout.Add(button, x, y, width, height);
  return button;
}

QComboBox* MakeList(QWidget* parent, CDialogLayout& layout, const char* id, std::initializer_list<const char*> entries,
                    int x, int y, int width, int droppedHeight) {
  auto* list = new QComboBox(parent);
  list->setObjectName(QString::fromLatin1(id));
  for (const char* entry : entries) list->addItem(QString::fromLatin1(entry));
  layout.Add(list, x, y, width, droppedHeight);
  return list;
}

QLineEdit* MakeEdit(QWidget* parent, CDialogLayout& layout, const char* id, int x, int y, int width, int height) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(id));
  layout.Add(edit, x, y, width, height);
  return edit;
}

void MakeFrame(QWidget* parent, CDialogLayout& layout, int x, int y, int width, int height) {
  auto* frame = new QFrame(parent);
  frame->setFrameStyle(QFrame::Box | QFrame::Sunken);  // etched
  layout.Add(frame, x, y, width, height);
}

// The window program's own interface, when it is the installed one.
CQtInterface* QtInterface() { return dynamic_cast<CQtInterface*>(&UserInterface()); }

}  // namespace

// Marks a transfer (or a build that may lead to one) as running for the length of a command.
class CTovrinDlg::BusyScope {
 public:
  explicit BusyScope(CTovrinDlg* window) : window(window) { window->SetBusy(true); }
  ~BusyScope() { window->SetBusy(false); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  CTovrinDlg* window;
};

CTovrinDlg::CTovrinDlg(std::string logPath, QWidget* parent) : QDialog(parent), logPath(std::move(logPath)) {
  setObjectName(QStringLiteral("102"));
  setWindowTitle(QString::fromLatin1(kMainTitle));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowIcon(TovrinIcon());
  CreateControls();
  InitDialog();

  connect(chooseButton, &QPushButton::clicked, this, &CTovrinDlg::OnChooseSource);
  connect(buildButton, &QPushButton::clicked, this, &CTovrinDlg::OnOK);
  connect(configureButton, &QPushButton::clicked, this, &CTovrinDlg::OnConfigure);
  connect(installButton, &QPushButton::clicked, this, &CTovrinDlg::OnInstall);
  connect(doneButton, &QPushButton::clicked, this, &CTovrinDlg::reject);
  // Only the user's choices write: activated is not sent for selections made by the program.
  connect(debugList, &QComboBox::activated, this, [this](int index) {
    debugLevel = index + 1;
    registry.WriteInt("Debug Level", index + 1);
  });
  // Lists store their position plus one, so that 0 means missing.
  connect(dataList, &QComboBox::activated, this, [this](int index) { registry.WriteInt("Data Location", index + 1); });
  connect(codeList, &QComboBox::activated, this, [this](int index) { registry.WriteInt("Code Location", index + 1); });
  connect(portList, &QComboBox::activated, this, [this](int index) { registry.WriteInt("Port", index + 1); });
  connect(ramEdit, &QLineEdit::textChanged, this,
          [this](const QString& text) { registry.WriteString("External RAM", FromQt(text)); });
}

// The controls in the order of the window's template, which is also the tab order.
void CTovrinDlg::CreateControls() {
  CDialogLayout layout(QApplication::font());
  const Qt::Alignment left = Qt::AlignLeft, right = Qt::AlignRight;

  sourceEdit = MakeEdit(this, layout, "1001", 7, 7, 143, 14);
  chooseButton = MakeButton(this, layout, "1002", "...", 152, 7, 20, 14);
  debugList = MakeList(this, layout, "1022",
                       {"0. No Debugging Data", "1. Byte Codes Only", "2. Byte Codes + Program Info",
                        "3. Codes, Info, and Symbols"},
                       7, 26, 106, 100);
  buildButton = MakeButton(this, layout, "1", "Build", 122, 24, 50, 14);
  buildButton->setDefault(true);
  MakeFrame(this, layout, 7, 42, 165, 55);
  MakeLabel(this, layout, "DATA:", left, 20, 51, 47, 8);
  dataList = MakeList(this, layout, "1019", {"On-Chip", "External RAM"}, 72, 49, 66, 75);
  MakeLabel(this, layout, "CODE:", left, 20, 66, 47, 8);
  codeList = MakeList(this, layout, "1020", {"On-Chip", "External RAM"}, 72, 64, 66, 81);
  MakeLabel(this, layout, "External RAM:", left, 20, 81, 47, 8);
  ramEdit = MakeEdit(this, layout, "1021", 72, 79, 21, 12);
  // 0 to 64 K: what the chip's 16-bit addresses reach. Empty reads as 0.
  ramEdit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]|[1-5][0-9]|6[0-4]|")), ramEdit));
  MakeLabel(this, layout, "K Bytes", left, 95, 81, 24, 8);
  MakeFrame(this, layout, 7, 97, 165, 30);
  MakeLabel(this, layout, "Comm Port", right, 13, 104, 34, 15);
  portList = MakeList(this, layout, "1009", {"COM1", "COM2", "COM3", "COM4"}, 56, 106, 48, 60);
  configureButton = MakeButton(this, layout, "1010", "Configure...", 113, 105, 50, 14);
  installButton = MakeButton(this, layout, "1011", "Install Tovrin...", 7, 131, 50, 14);
  doneButton = MakeButton(this, layout, "2", "Done", 122, 131, 50, 14);
  const CDialogUnits units = layout.Apply();
  setFixedSize(units.X(179), units.Y(152));
}

void CTovrinDlg::InitDialog() {
  registry.SetKey(kSettingsKey);
  sourceEdit->setText(PathToQt(registry.ReadString("Source File")));
  std::string ram = registry.ReadString("External RAM");
  if (ram.empty()) {
    ram.assign(1, '0');  // not = "0": GCC 12 warns falsely (-Wrestrict) on that in Release
    registry.WriteString("External RAM", ram);
  }
  ramEdit->setText(ToQt(ram));
  sourceTitle = registry.ReadString("Source Title");
  firmwarePath = registry.ReadString("Tovrin File");
  if (firmwarePath.empty()) {
    firmwarePath = kDefaultFirmware;
    registry.WriteString("Tovrin File", firmwarePath);
  }
  SelectFromSetting(dataList, "Data Location");
  SelectFromSetting(codeList, "Code Location");
  SelectFromSetting(portList, "Port");
  debugLevel = SelectFromSetting(debugList, "Debug Level");
  programmer.Setup();
}

int CTovrinDlg::SelectFromSetting(QComboBox* list, const char* name) {
  int number = registry.ReadInt(name);
  if (number == 0) {
    number = 1;
    registry.WriteInt(name, number);
  }
  // A number naming no entry leaves the list without a selection (an empty port list then
  // asks the user to choose a port).
  list->setCurrentIndex(number >= 1 && number <= list->count() ? number - 1 : -1);
  return number;
}

std::string CTovrinDlg::ChooseFile(const char* name, const char* filter, const char* suffix,
                                   const std::string& initial) {
  QFileDialog dialog(this);
  dialog.setObjectName(QString::fromLatin1(name));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(QString::fromLatin1(filter));
  dialog.setDefaultSuffix(QString::fromLatin1(suffix));
  // Stored paths may carry the original's backslashes ("Atmel\Tovrin.hex").
  std::string shown = initial;
  std::replace(shown.begin(), shown.end(), '\\', '/');
  if (!shown.empty()) dialog.selectFile(PathToQt(shown));
  // Taken when accepted: the dialog's folder model fills in on its own thread and may still
  // move the selection while the dialog closes.
  QStringList chosen;
  connect(&dialog, &QDialog::accepted, &dialog, [&] { chosen = dialog.selectedFiles(); });
  if (dialog.exec() != QDialog::Accepted) return std::string();
  return chosen.isEmpty() ? std::string() : PathFromQt(chosen.first());
}

void CTovrinDlg::OnChooseSource() {
  const std::string path =
      ChooseFile("SourceFileDialog", "Tovrin Files (*.tvr)", "tvr", PathFromQt(sourceEdit->text()));
  const std::string title = path.empty() ? std::string() : ShortName(path);
  registry.WriteString("Source File", path);
  registry.WriteString("Source Title", title);
  sourceTitle = title;
  sourceEdit->setText(PathToQt(path));
}

void CTovrinDlg::OnOK() {
  if (busy) return SayBusy(buildButton);
  BusyScope scope(this);
  BuildRequest request;
  request.sourcePath = PathFromQt(sourceEdit->text());
  // An empty field stops the build before anything is read.
  if (!request.sourcePath.empty()) {
    ReadPlacement(registry, request);
    request.debugLevel = std::clamp(debugLevel, 1, 4);
    request.port = FromQt(portList->currentText());
    request.logPath = ResolveLogPath(logPath);
  }
  WorkingDirectoryKeeper keeper;
  int bytes = 0;
  request.transferListener = Announcer(request.port, bytes);
  BuildResult result;
  RunInBackground([&] { result = RunBuild(request, LogListener(), &programmer); });
  EndCommand(result.outcome == BuildOutcome::Downloaded, bytes);
}

void CTovrinDlg::OnConfigure() {
  if (busy) return SayBusy(configureButton);
  const std::string port = FromQt(portList->currentText());
  if (port.empty()) return UserInterface().ShowMessage(kNoPortText);
  programmer.ConfigurePort(port, [this, &port](CPortSettings& settings) {
    return CPortDialog::Edit(port, settings, this);
  });
}

void CTovrinDlg::OnInstall() {
  if (busy) return SayBusy(installButton);
  const std::string port = FromQt(portList->currentText());
  if (port.empty()) return UserInterface().ShowMessage(kNoPortText);
  const std::string path = ChooseFile("FirmwareFileDialog", "Downloadable HEX files (*.hex)", "hex", firmwarePath);
  if (path.size() <= 1) return;
  firmwarePath = path;
  registry.WriteString("Tovrin File", firmwarePath);

  BusyScope scope(this);
  const TransferRequest request{TransferKind::Flash, path, port};
  int bytes = 0;
  const TransferListener listener = Announcer(port, bytes);
  TransferResult result;
  RunInBackground([&] {
    result = RunTransfer(programmer, request, listener);
    UserInterface().CloseStatusWindow();
    if (result.outcome != TransferOutcome::Done) UserInterface().ShowMessage(TransferFailureText(request, result));
  });
  EndCommand(result.outcome == TransferOutcome::Done, bytes);
}

TransferListener CTovrinDlg::Announcer(const std::string& port, int& bytes) {
  TransferListener listener;
  // The status window opens before the port does: connecting may take seconds.
  listener.onChecked = [port, &bytes](const HexCheck& check) {
    bytes = check.dataBytes;
    CUserInterface& ui = UserInterface();
    ui.OpenStatusWindow();
    ui.SetStatusText(StatusField::StatusLine, ConnectingText(port));
  };
  return listener;
}

void CTovrinDlg::reject() {
  if (!busy) return QDialog::reject();
  closeWhenDone = true;
  StopTransfer();
}

void CTovrinDlg::closeEvent(QCloseEvent* event) {
  if (!busy) return QDialog::closeEvent(event);
  event->ignore();
  closeWhenDone = true;
  StopTransfer();
}

void CTovrinDlg::RunInBackground(const std::function<void()>& work) {
  if (CQtInterface* ui = QtInterface()) ui->SetStopHandler([this] { StopTransfer(); });
  QEventLoop loop;
  std::atomic<bool> done = false;
  std::thread worker([&] {
    work();
    done = true;
    QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  // Quitting the application ends every running event loop; the work must still be waited for
  // here, serving the calls it makes, or it would wait for ever on this thread.
  while (!done) loop.exec();
  worker.join();
}

void CTovrinDlg::StopTransfer() { programmer.RequestStop(); }

void CTovrinDlg::EndCommand(bool transferred, int bytes) {
  // A stop asked for while no transfer ran (closing during a build) must not end the next one.
  programmer.ClearStop();
  if (CQtInterface* ui = QtInterface()) {
    std::string done;
    if (transferred) done = Format("Done: %d bytes in %.1f s", bytes, ui->TransferSeconds());
    ui->EndTransfer(done);
  }
  if (std::exchange(closeWhenDone, false)) QDialog::reject();
}

void CTovrinDlg::SetBusy(bool running) {
  busy = running;
  if (running) focusBeforeBusy = QApplication::focusWidget();
  const QString tip = running ? QString::fromLatin1(kTransferRunningText) : QString();
  for (QPushButton* button : {buildButton, configureButton, installButton}) {
    button->setEnabled(!running);
    button->setToolTip(tip);
  }
  // Disabling the focused button moved the focus on; give it back afterwards.
  if (!running && focusBeforeBusy && focusBeforeBusy->isEnabled()) focusBeforeBusy->setFocus();
}

void CTovrinDlg::SayBusy(QWidget* near) {
  QToolTip::showText(near->mapToGlobal(near->rect().center()), QString::fromLatin1(kTransferRunningText), near);
}
