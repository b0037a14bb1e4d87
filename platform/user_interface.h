// The user interface as the core sees it: message boxes, the OK/Cancel
// question, the transfer status window, the message pump and the log viewer.
// Each executable installs its own implementation; tests install a recorder.
#pragma once

#include <string>

enum class MessageIcon { None, Information, Warning, Error };

// Status window fields, numbered as the window's control identifiers.
enum class StatusField {
  HardwareVersion = 1014,
  SoftwareVersion = 1015,
  Identification = 1016,
  ProgrammerKind = 1017,
  StatusLine = 1018,
};

class CUserInterface {
 public:
  virtual ~CUserInterface() = default;

  // Plain message box with an OK button; an empty caption means the
  // application's default caption (kDefaultCaption).
  virtual void ShowMessage(const std::string& text, const std::string& caption = std::string(),
                           MessageIcon icon = MessageIcon::None) = 0;
  // OK/Cancel question; true for OK.
  virtual bool AskOkCancel(const std::string& text, const std::string& caption) = 0;

  // Status window of a transfer: opened at its start, destroyed at its end.
  virtual void OpenStatusWindow() = 0;
  virtual void SetStatusText(StatusField field, const std::string& text) = 0;
  virtual void SetProgressRange(int lower, int upper) = 0;
  virtual void SetProgressPosition(int position) = 0;
  virtual void CloseStatusWindow() = 0;

  // Keeps the windows alive during a transfer (called before each byte or word).
  virtual void PumpMessages() = 0;

  // Shows the log in a text viewer and returns when the viewer is closed.
  virtual void ViewLog(const std::string& path) = 0;
};

inline constexpr const char* kDefaultCaption = "Tovrin";

// The installed implementation. Until one is installed, a silent one answers
// Cancel to every question.
CUserInterface& UserInterface();
// Installs ui (not owned) and returns the previous one; nullptr restores the silent one.
CUserInterface* InstallUserInterface(CUserInterface* ui);
