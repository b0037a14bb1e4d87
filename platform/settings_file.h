// The settings file: a registry-export style text file (REGEDIT4, blank line, [key] sections,
// "Name"="text" lines with \\ and \" escaped). Reads never fail loudly; writes are atomic.
#pragma once

#include <string>
#include <vector>

#include "platform/paths.h"

class CSettingsFile {
 public:
  // One string value as listed by ReadAll.
  struct Entry {
    std::string key;
    std::string name;
    std::string value;
  };

  explicit CSettingsFile(std::string path = SettingsFilePath());
  // Reads one value; false when the file, the key or the value is missing or unreadable.
  bool Read(const std::string& key, const std::string& name, std::string& value) const;
  // Writes one value, keeping every other key and value; atomic (temp file, flush, rename).
  // On failure WriteErrorText says why.
  bool Write(const std::string& key, const std::string& name, const std::string& value);
  const std::string& Path() const;
  // Why the last Write failed: the file and the system's reason.
  std::string WriteErrorText() const;
  // Why the file cannot be used ("PATH: reason": unreadable, no regular file, not text);
  // empty when it is usable or missing. Reads find no values in an unreadable file.
  std::string Problem() const;

  // Every readable string value in file order (a value given twice is listed once, with the
  // text a Read returns). Empty when the file is missing or unreadable.
  std::vector<Entry> ReadAll() const;

 private:
  std::string path;
  int writeError = 0;        // errno of the last failed Write
  std::string writeFailed;   // the path that Write could not make or replace
};

// Registry keys and value names compare without regard to ASCII case.
bool SameRegistryName(const std::string& a, const std::string& b);
