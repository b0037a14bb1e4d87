// The main window: the source file, where code and data go, the external RAM, the port and the
// debug level, with Build, port configuration and installing the interpreter firmware. Every
// choice goes to the settings store the moment it changes.
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>
#include <string>

#include "app/register.h"
#include "app/transfer.h"
#include "download/programmer.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class CTovrinDlg : public QDialog {
  Q_OBJECT

 public:
  // logPath: where builds write the error log; empty for the usual place.
  explicit CTovrinDlg(std::string logPath = std::string(), QWidget* parent = nullptr);

  // The commands behind the buttons.
  void OnChooseSource();  // "..."
  void OnOK();            // Build (the default button: Enter builds too)
  void OnConfigure();     // "Configure..."
  void OnInstall();       // "Install Tovrin..."

  // True while a command that talks to the programmer runs; the commands that would start
  // another transfer are refused meanwhile.
  bool TransferRunning() const { return busy; }

  // Done and Esc. While a command runs they stop its transfer and close the window once it
  // has ended.
  void reject() override;

  std::string sourceTitle;   // the stored "Source Title"
  std::string firmwarePath;  // the stored "Tovrin File"
  int debugLevel = 1;        // 1 no listing .. 4 full listing
  CRegister registry;
  CProgrammer programmer;

  // The controls, named by their identifiers.
  QLineEdit* sourceEdit = nullptr;     // 1001
  QPushButton* chooseButton = nullptr; // 1002
  QComboBox* debugList = nullptr;      // 1022
  QPushButton* buildButton = nullptr;  // 1
  QComboBox* dataList = nullptr;       // 1019
  QComboBox* codeList = nullptr;       // 1020
  QLineEdit* ramEdit = nullptr;        // 1021
  QComboBox* portList = nullptr;       // 1009
  QPushButton* configureButton = nullptr;  // 1010
  QPushButton* installButton = nullptr;    // 1011
  QPushButton* doneButton = nullptr;       // 2

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class BusyScope;

  void CreateControls();
  void InitDialog();
  // Reads a list's number setting (0 means missing: 1 is used and written back), selects its
  // entry and returns the number.
  int SelectFromSetting(QComboBox* list, const char* name);
  // The open-file dialog; the chosen full path, or empty when cancelled.
  std::string ChooseFile(const char* name, const char* filter, const char* suffix, const std::string& initial);
  void SetBusy(bool running);
  void SayBusy(QWidget* near);
  // Runs a command's work on a worker thread while this thread keeps the windows alive and
  // answers the calls the work makes on the user interface; returns when the work has ended.
  void RunInBackground(const std::function<void()>& work);
  // Asks a running transfer to stop: the programmer leaves its mode and releases the port.
  void StopTransfer();
  // Opens the status window, saying where it connects, once the file has passed its check;
  // bytes receives the data bytes the file holds.
  TransferListener Announcer(const std::string& port, int& bytes);
  // After a command: a transfer that went well says so (bytes and seconds); a window close
  // asked for meanwhile happens now.
  void EndCommand(bool transferred, int bytes);

  std::string logPath;
  bool busy = false;
  bool closeWhenDone = false;  // the window was closed while a command ran
  QPointer<QWidget> focusBeforeBusy;  // where the focus was when the buttons were disabled
};

// Said by the commands refused while a transfer runs.
inline constexpr const char* kTransferRunningText = "A transfer is running; wait until it ends.";
inline constexpr const char* kMainTitle = "Tovrin v1.1b";
