// The parse's place in the source, read off the lexer and the file stack, for the compiler.
#pragma once

#include <string>

#include "frontend/file_stack.h"
#include "frontend/lexer.h"
#include "semantic/source_position.h"

class CLexerPosition final : public CSourcePosition {
 public:
  CLexerPosition(const CLexer& lexer, const CFileStack& files) : lexer(lexer), files(files) {}
  const std::string& FileName() const override { return files.currentName; }
  const std::string& FilePath() const override { return files.currentPath; }
  unsigned FileSerial() const override { return files.currentSerial; }
  int Line() const override { return lexer.line; }
  const std::string& LineText() const override { return lexer.lineText; }
  int TokenColumn() const override { return lexer.TokenColumn(); }
  int TokenLength() const override { return lexer.TokenLength(); }
  std::string TokenText() const override { return lexer.TokenText(); }

 private:
  const CLexer& lexer;
  const CFileStack& files;
};
