// The compiler object: what the parser actions build the program through.
#pragma once

#include <cstdio>
#include <string>

#include "frontend/file_stack.h"

class CLexer;

class CCompiler {
 public:
  // Readies the compiler before any source is read; 1 on success.
  int BeginProgram(CLexer* lexer, int externalRamK, int codeLocation, int dataLocation);

  // Pushes a source file on the file stack (the main file, or a used one).
  bool OpenSource(const std::string& path);
  // The lexer's end-of-file hook: resumes the including file (true) or ends
  // the input (false).
  bool EndSource();
  // USE: 1 when the file was opened (or had been used before); else 0 with
  // errorText set.
  int UseFile(const std::string& path);

  // Writes the debug listing at the given level into an open file.
  void WriteDebugListing(FILE* file, int level, int depth);

  CFileStack fileStack;
  std::string errorText;  // message of the most recent failed operation
};
