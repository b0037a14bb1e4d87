#include "semantic/compiler.h"

#include "platform/format.h"

int CCompiler::BeginProgram(CLexer* lexer, int, int, int) {
  fileStack.SetLexer(lexer);
  return 1;
}

bool CCompiler::OpenSource(const std::string& path) { return fileStack.Push(path); }

bool CCompiler::EndSource() { return fileStack.Pop(); }

int CCompiler::UseFile(const std::string& path) {
  if (OpenSource(path)) return 1;
  errorText = Format("USE unable to open file '%s'", path.c_str());
  return 0;
}

void CCompiler::WriteDebugListing(FILE*, int, int) {}
