#include "compiler_fixture.h"

#include <unistd.h>

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
  std::ofstream(path, std::ios::binary) << content;
}

Compiled CompilerTest::Compile(const std::string& text, Placement placement) {
  Write("main.tvr", text);
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
  EXPECT_TRUE(run.parser->OpenSource("main.tvr"));
  run.result = run.parser->Parse();
  run.parser->onLog = nullptr;
  fs::current_path(scratch);  // an aborted parse leaves the folder of the last file opened
  return run;
}

CBlock& Compiled::Body(const std::string& qualifiedName) {
  static CBlock none;
  CMethodStatement* method = Method(compiler(), qualifiedName);
  EXPECT_NE(method, nullptr) << qualifiedName;
  return method == nullptr ? none : method->body;
}

CSymbol* Live(CCompiler& compiler, const std::string& name) { return compiler.scope.Lookup(name); }

std::vector<CSymbol*> Left(CCompiler& compiler, const std::string& name) {
  std::vector<CSymbol*> found;
  CSymTable& history = *compiler.scope.history;
  for (CSymbol* symbol = history.Lookup(name); symbol; symbol = history.LookupNext(symbol, name))
    found.push_back(symbol);
  return found;
}

CMethodStatement* Method(CCompiler& compiler, const std::string& qualifiedName) {
  for (const auto& statement : compiler.programBlock.statements) {
    auto* method = dynamic_cast<CMethodStatement*>(statement);
    if (method != nullptr && method->prototype->QualifiedName() == qualifiedName) return method;
  }
  return nullptr;
}

namespace {

const char* KindOf(const CStatement* statement) {
  if (dynamic_cast<const CVarStatement*>(statement)) return "Var";
  if (dynamic_cast<const CAssignStatement*>(statement)) return "Assign";
  if (dynamic_cast<const CCallStatement*>(statement)) return "Call";
  if (dynamic_cast<const CParamStatement*>(statement)) return "Param";
  if (dynamic_cast<const COutStatement*>(statement)) return "Out";
  if (dynamic_cast<const CWithStatement*>(statement)) return "With";
  if (dynamic_cast<const CClearStatement*>(statement)) return "Clear";
  if (dynamic_cast<const CBlockStatement*>(statement)) return "Block";
  if (dynamic_cast<const CLoopStatement*>(statement)) return "Loop";
  if (dynamic_cast<const CDecideStatement*>(statement)) return "Decide";
  if (dynamic_cast<const CMethodStatement*>(statement)) return "Method";
  if (dynamic_cast<const CClassStatement*>(statement)) return "Class";
  if (dynamic_cast<const CRangeStatement*>(statement)) return "Range";
  if (dynamic_cast<const CRuleStatement*>(statement)) return "Rule";
  return "?";
}

}  // namespace

std::string Shape(const CBlock& block) {
  std::string shape;
  for (const auto& statement : block.statements) {
    if (!shape.empty()) shape += ' ';
    shape += KindOf(statement);
  }
  return shape;
}
