// Shared set-up of the compiler tests: sources written into a scratch folder and parsed
// through the whole front end, with the log entries collected in order.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frontend/parser.h"

// Memory placement of a build: external RAM in K, code and data location (1 = on-chip).
struct Placement {
  int externalRamK = 0;
  int codeLocation = 1;
  int dataLocation = 1;
};

struct Compiled {
  std::unique_ptr<CParser> parser;
  int result = -1;
  // Each located log entry as "LINE: \"TOKEN\" MESSAGE", in order.
  std::vector<std::string> entries;
  std::vector<std::string> files;  // the file named by each entry

  CCompiler& compiler() { return parser->compiler; }
};

class CompilerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Write(const std::string& name, const std::string& content);
  // Writes text to "main.tvr" and parses it; the parser (and with it the program) is kept.
  Compiled Compile(const std::string& text, Placement placement = Placement());
  Compiled CompileFile(const std::string& name, Placement placement = Placement());

  std::string scratch;
  std::string savedDirectory;
};

// The entry text a log entry is compared by.
std::string At(int line, const std::string& token, const std::string& message);

// Symbols and statements of a parsed program, found by name or position.
CSymbol* Live(CCompiler& compiler, const std::string& name);
// Every symbol of that name in the history (left scopes), newest first.
std::vector<CSymbol*> Left(CCompiler& compiler, const std::string& name);
// The method statement whose prototype has that qualified name.
CMethodStatement* Method(CCompiler& compiler, const std::string& qualifiedName);

template <typename Statement>
Statement* StatementAt(const CBlock& block, size_t index) {
  if (index >= block.statements.size()) return nullptr;
  return dynamic_cast<Statement*>(block.statements[index].get());
}
