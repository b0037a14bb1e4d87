// The settings store: named string values under one key of the settings file.
#pragma once

#include <string>

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
  // Writes are dropped silently when the file cannot be written.
  void WriteInt(const std::string& name, int value);
  void WriteString(const std::string& name, const std::string& text);

  const std::string& SettingsPath() const { return file.Path(); }

  std::string keyPath;  // the key below the settings root, set by SetKey

 private:
  CSettingsFile file;
};

// The atoi-style conversion ReadInt applies: leading white space and a sign allowed, digits
// up to the first other character, 0 when nothing converts.
int DecimalPrefix(const std::string& text);
