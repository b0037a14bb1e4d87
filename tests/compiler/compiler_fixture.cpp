#include "compiler_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

std::string At(int line, const std::string& token, const std::string& message) {
  return std::to_string(line) + ": \"" + token + "\" " + message;
}

void CompilerTest::SetUp() {
  savedDirectory = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "tovrin-compiler-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  scratch = pattern;
  fs::current_path(scratch);
}

void CompilerTest::TearDown() {
  fs::current_path(savedDirectory);
  std::error_code ignored;
  fs::remove_all(scratch, ignored);
}

void CompilerTest::Write(const std::string& name, const std::string& content) {
  fs::path path = fs::path(scratch) / name;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
}

Compiled CompilerTest::CompileFile(const std::string& name, Placement placement) {
  Compiled run;
  run.parser = std::make_unique<CParser>();
  run.parser->logPath = scratch + "/tovrin.log";
  run.parser->onLog = [&run](const CParser::LogNotice& notice) {
    if (!notice.located) return;
    run.entries.push_back(At(notice.line, notice.token, notice.message));
    run.files.push_back(notice.file);
  };
  EXPECT_TRUE(
      run.parser->Create(placement.externalRamK, placement.codeLocation, placement.dataLocation));
  EXPECT_TRUE(run.parser->compiler.OpenSource(name)) << name;
  run.result = run.parser->Parse();
  run.parser->onLog = nullptr;
  fs::current_path(scratch);  // an aborted parse leaves the folder of the last file opened
  return run;
}

Compiled CompilerTest::Compile(const std::string& text, Placement placement) {
  Write("main.tvr", text);
  return CompileFile("main.tvr", placement);
}

CSymbol* Live(CCompiler& compiler, const std::string& name) { return compiler.scope.Lookup(name); }

std::vector<CSymbol*> Left(CCompiler& compiler, const std::string& name) {
  std::vector<CSymbol*> found;
  if (compiler.scope.history == nullptr) return found;
  for (CSymbol* symbol = compiler.scope.history->Lookup(name); symbol != nullptr;
       symbol = compiler.scope.history->LookupNext(symbol, name))
    found.push_back(symbol);
  return found;
}

CMethodStatement* Method(CCompiler& compiler, const std::string& qualifiedName) {
  for (const auto& statement : compiler.programBlock.statements) {
    auto* method = dynamic_cast<CMethodStatement*>(statement.get());
    if (method != nullptr && method->prototype->QualifiedName() == qualifiedName) return method;
  }
  return nullptr;
}
