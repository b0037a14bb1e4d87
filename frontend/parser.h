// The parser of one build: runs the grammar, its actions and the error log.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "frontend/file_stack.h"
#include "frontend/lexer.h"
#include "frontend/lexer_position.h"
#include "frontend/parse_engine.h"
#include "semantic/compiler.h"

class CParser : public yyfparser {
 public:
  CParser() : position(lexer, fileStack) {
    fileStack.SetLexer(&lexer);
    compiler.source = &position;
  }

  // Absolute path of the error log. The driver sets it before Create; when
  // it is empty, Create resolves the default (platform/paths.h).
  std::string logPath;

  // Readies the engine, the lexer and the compiler, then deletes the old log.
  // False as soon as a step fails (the log is then left alone).
  bool Create(int externalRamK, int codeLocation, int dataLocation);

  // Pushes a source file on the file stack (the main file, or a used one).
  bool OpenSource(const std::string& path);
  // The lexer's end-of-file hook: resumes the including file (true) or ends the input (false).
  bool EndSource();
  // A USE clause: reads the named file next, or logs that it cannot be opened.
  void UseFile(const std::string& path);

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

  // Declared in this order so the file stack (which holds the lexer's
  // streams) goes before the lexer.
  CLexer lexer;
  CFileStack fileStack;
  CLexerPosition position;  // where the compiler's warnings find their place
  CCompiler compiler;

 protected:
  // The actions written beside the productions in grammar.y (generated).
  void Action(int production) override;
  int GetToken() override;

 private:
  void WriteEntry(const std::string& text, const LogNotice& notice);

  // Action helpers.
  void Fail(const char* message);  // reports message; the result is null
  // A method definition ended: the compiler may generate and release its body, and the
  // token read ahead (made while the body was parsed) then needs a text of its own.
  void EndMethodDefinition();
  void ReportCompilerError() { ReportError(compiler.errorText); }
  // Reports the compiler's message when an operation gave nothing back.
  void Check(const void* made) {
    if (made == nullptr) ReportCompilerError();
  }
  template <typename Made>
  Made* Checked(Made* made) {
    Check(made);
    return made;
  }
  static std::string_view Name(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
  }
  CExpression* Binary(CExpression* left, ExprOp op, CExpression* right) {
    return Checked(compiler.NewBinaryExpression(left, op, right));
  }
  CExpression* Unary(ExprOp op, CExpression* operand) {
    return Checked(compiler.NewUnaryExpression(op, operand));
  }
  // An element of an array: only a name that resolved to nothing is reported here; a name
  // that is no variable (a class, a method) is reported through the index node that then
  // lacks its operand.
  CExpression* Element(CSymbol* name, CExpression* index) {
    CExpression* array = compiler.NewSymbolValue(name);
    Check(name);
    return Checked(compiler.NewBinaryExpression(array, EXPR_INDEX, index));
  }
};
