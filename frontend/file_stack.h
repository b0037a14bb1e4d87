// The stack of source files: switches the lexer between a file and the files it uses.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "frontend/lexer.h"

class CFileStack {
 public:
  CFileStack() = default;
  CFileStack(const CFileStack&) = delete;
  CFileStack& operator=(const CFileStack&) = delete;
  // Closes every stream still open, the current one included.
  ~CFileStack();

  void SetLexer(CLexer* lexer);

  // Makes path the current source: true when it is, or when it was used
  // before (compared without regard to letter case: it is not read again);
  // false when it cannot be opened (nothing changes then).
  bool Push(const std::string& path);
  // Closes the current file and resumes the one that used it: true when a
  // file was resumed, false when the input has ended.
  bool Pop();

  // Number of suspended entries (the bottom entry, before the main file, included).
  int Depth() const { return static_cast<int>(saved.size()); }

  std::string currentName;             // the current file as it was given to Push
  // The current file as an absolute path (empty when the working directory could not be
  // read): Push changes directory, so a name as given is only meaningful where it was used.
  std::string currentPath;
  unsigned currentSerial = 0;          // changes whenever the current file does
  std::vector<std::string> usedFiles;  // every path opened in this build, in order

 private:
  // One suspended file: where its lexer stood when it used another file.
  struct SavedFile {
    FILE* file = nullptr;  // none for the bottom entry
    int line = 0;
    std::string name;
    std::string path;       // its currentPath
    std::string directory;  // working directory at that moment
    CUnreadBuffer unread;   // characters it had read ahead
  };

  CLexer* lexer = nullptr;
  std::vector<SavedFile> saved;
  std::unordered_set<std::string> usedKeys;  // usedFiles in lower case
};
