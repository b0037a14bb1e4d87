// How the command line shows what a build found: "FILE:LINE:COL: error: MESSAGE" on standard
// error, with the source line and a caret under the token on a terminal, colour on a terminal
// unless NO_COLOR is set, and a closing count.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "frontend/parser.h"
#include "semantic/warnings.h"

class CDiagnostics {
 public:
  // mainFile: the source as typed, named by errors that have no place in it.
  // The working directory now is the one every FILE is shown relative to.
  CDiagnostics(FILE* out, std::string mainFile);

  void Error(const CParser::LogNotice& notice);
  void Warning(const CompilerWarning& warning);
  // "3 errors", "1 error, 2 warnings", "1 warning"; nothing when there was nothing.
  void PrintCount();

  int errors = 0;
  int warnings = 0;
  bool showSource;  // the source line and caret (out is a terminal)
  bool colour;      // out is a terminal and NO_COLOR is not set

 private:
  struct Place {
    std::string name, path;
    int line = 0, column = 0;
    std::string token;
  };
  void Print(bool isError, const Place& place, const std::string& message);
  std::string Shown(const Place& place) const;
  // Line n (1-based) of the file at path, without its line break; empty when unreadable.
  std::string SourceLine(const std::string& path, int line);

  FILE* out;
  std::string mainFile;
  std::string startDirectory;
  std::map<std::string, std::vector<std::string>> lines;  // read once per file
};
