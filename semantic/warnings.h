// Warnings: what the compiler accepts but a user most likely did not mean. They are shown
// on the terminal only; they never reach the log and never change the image.
#pragma once

#include <string>
#include <vector>

class CCompiler;

struct CompilerWarning {
  std::string file;  // as the file stack names it
  std::string path;  // absolute, when known
  int line = 0;      // 0: about the whole program
  int column = 0;    // 0: unknown
  std::string token;  // the text the column points at
  std::string text;
};

// The checks that need the whole program: a missing start() body, methods declared and
// never defined, variables never used. Appends to compiler.warnings.
void CheckProgram(CCompiler& compiler);
