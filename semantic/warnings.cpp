#include "semantic/warnings.h"

#include "frontend/lexer.h"
#include "semantic/compiler.h"

void CCompiler::Warn(const std::string& text) {
  CompilerWarning warning;
  warning.file = fileStack.currentName;
  warning.path = fileStack.currentPath;
  warning.text = text;
  if (sourceLexer) {
    warning.line = sourceLexer->line;
    warning.column = sourceLexer->TokenColumn();
    warning.token = sourceLexer->TokenText();
  }
  warnings.push_back(std::move(warning));
}

void CheckProgram(CCompiler&) {}
