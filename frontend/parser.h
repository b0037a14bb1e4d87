// The parser of one build: runs the grammar, its actions and the error log.
#pragma once

#include <functional>
#include <string>

#include "frontend/lexer.h"
#include "frontend/parse_engine.h"
#include "semantic/compiler.h"

class CParser : public yyfparser {
 public:
  // Absolute path of the error log. The driver sets it before Create; when
  // it is empty, Create resolves the default (platform/paths.h).
  std::string logPath;

  // Readies the engine, the lexer and the compiler, then deletes the old log.
  // False as soon as a step fails (the log is then left alone).
  bool Create(int externalRamK, int codeLocation, int dataLocation);

  // Logs message with the current line text, file, line number and token text.
  void ReportError(const std::string& message) override;
  // Appends one entry to the log (opened and closed for each entry) and counts
  // it; a log that cannot be opened shows the text in a message box instead.
  void WriteLog(const std::string& text);
  // Writes the debug listing into name (relative to the working directory)
  // when level is 2 or more.
  void WriteDebugFile(const std::string& name, int level);

  // Told of every entry as it is logged, so the command line can echo it as
  // FILE:LINE: MESSAGE. ReportError fills every field (text = the whole
  // entry text); a plain WriteLog gives located = false and only text.
  struct LogNotice {
    bool located = false;
    std::string file;
    std::string path;  // the file as an absolute path, when known
    int line = 0;
    int column = 0;    // of the token's first character; 0 when unknown
    std::string token;
    std::string message;
    std::string text;
  };
  std::function<void(const LogNotice&)> onLog;

  // Declared in this order so the compiler (which holds the file stack and
  // with it the lexer's streams) goes before the lexer.
  CLexer lexer;
  CCompiler compiler;

 protected:
  void Action(int production) override;
  int GetToken() override;
  void Discard(int token) override;
  void DiscardValue(int symbol, yyvalue& value) override;

 private:
  void WriteEntry(const std::string& text, const LogNotice& notice);
  // Action helpers.
  void Fail(const char* message);  // reports message; the result is null
  void ReportCompilerError() { ReportError(compiler.errorText); }
};
