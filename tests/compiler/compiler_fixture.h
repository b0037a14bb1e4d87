// Shared set-up of the compiler tests: sources written into a scratch folder and parsed
// through the whole front end, with the log entries collected in order.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frontend/parser.h"

using Entries = std::vector<std::string>;

// Memory placement of a build: external RAM in K, code and data location (1 = on-chip).
struct Placement {
  int externalRamK = 0;
  int codeLocation = 1;
  int dataLocation = 1;
};

struct Compiled {
  std::unique_ptr<CParser> parser;
  int result = -1;
  Entries entries;                 // each located log entry as At() writes it, in order
  std::vector<std::string> files;  // the file named by each entry

  CCompiler& compiler() { return parser->compiler; }
  // The body of the method whose prototype has that qualified name (fails the test if none).
  CBlock& Body(const std::string& qualifiedName);
};

class CompilerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void Write(const std::string& name, const std::string& content);
  // Writes text to "main.tvr" and parses it; the parser (and with it the program) is kept.
  Compiled Compile(const std::string& text, Placement placement = Placement());

  std::string scratch;
  std::string savedDirectory;
};

// A log entry as the tests compare it: line, token text and message.
std::string At(int line, const std::string& token, const std::string& message);

// The newest live symbol of a name, and every one of that name in the history, newest first.
CSymbol* Live(CCompiler& compiler, const std::string& name);
std::vector<CSymbol*> Left(CCompiler& compiler, const std::string& name);
CMethodStatement* Method(CCompiler& compiler, const std::string& qualifiedName);

// The kinds of a block's statements, as "Var Assign Call ...".
std::string Shape(const CBlock& block);

// The statement at a position, of the expected class; null (and a failure) otherwise.
template <typename Statement>
Statement* Nth(const CBlock& block, size_t index) {
  Statement* found = nullptr;
  if (index < block.statements.size())
    found = dynamic_cast<Statement*>(block.statements[index]);
  EXPECT_NE(found, nullptr) << "statement " << index << " of " << Shape(block);
  return found;
}
