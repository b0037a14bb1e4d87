// The settings store: named string values under one key of the settings file.
#pragma once

#include <string>
#include <vector>

#include "platform/settings_file.h"

// The key under which the application keeps its settings.
inline constexpr const char* kSettingsKey = "SOFTWARE\\Halvery\\Tovrin";

class CRegister {
 public:
  explicit CRegister(std::string settingsPath = SettingsFilePath());

  void SetKey(const std::string& path) { keyPath = path; }
  // The value's text as a decimal number (atoi rules); 0 when missing, unreadable or longer
  // than the 10-byte read buffer allows (9 characters and the terminating zero).
  int ReadInt(const std::string& name) const;
  // The value's text; empty when missing, unreadable or not fitting the 1024-byte read buffer.
  std::string ReadString(const std::string& name) const;
  // A number setting as a command uses it: the stored number when its whole text is one within
  // [low, high]; otherwise fallback, and notes gets a line naming the stored text and the value
  // used instead. A missing, empty or 0 value (0 stands for missing) gives fallback silently.
  int ReadChecked(const std::string& name, int low, int high, int fallback,
                  std::vector<std::string>& notes) const;
  // Why the settings file cannot be used ("PATH: reason"); empty when usable or missing.
  std::string FileProblem() const { return file.Problem(); }

  // False when the file cannot be written; the window ignores that, as the store always did,
  // while the command line reports WriteErrorText.
  bool WriteInt(const std::string& name, int value);
  bool WriteString(const std::string& name, const std::string& text);
  std::string WriteErrorText() const { return file.WriteErrorText(); }

  const std::string& SettingsPath() const { return file.Path(); }

  std::string keyPath;  // the key below the settings root, set by SetKey

 private:
  CSettingsFile file;
};

// The atoi-style conversion ReadInt applies: leading white space and a sign allowed, digits
// up to the first other character, 0 when nothing converts.
int DecimalPrefix(const std::string& text);
