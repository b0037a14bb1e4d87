#include "semantic/compiler.h"

#include "target/listing.h"

CCompiler::CCompiler() = default;

CCompiler::~CCompiler() = default;

int CCompiler::BeginProgram(CLexer* lexer, int externalRamK, int codeLocation, int dataLocation) {
  currentBlock = &programBlock;
  sourceLexer = lexer;
  fileStack.SetLexer(lexer);
  if (scope.Create(1000) == 0) return 0;
  // The program's entry: defined as start() { ... } without any class declaring it.
  auto start = std::make_unique<CProtoSymbol>("start");
  startPrototype = start.get();
  Enter(std::move(start));
  dataSharesCodeRegion = (codeLocation == 1) == (dataLocation == 1);
  return Initialize(externalRamK, codeLocation, dataLocation) ? 1 : 0;
}

bool CCompiler::OpenSource(const std::string& path) { return fileStack.Push(path); }

bool CCompiler::EndSource() { return fileStack.Pop(); }

int CCompiler::Generate() {
  errorText.clear();
  if (!GenerateBlock(programBlock, false)) return 0;
  ResolveFixups();
  return 1;
}

void CCompiler::WriteDebugListing(FILE* file, int level, int /*depth*/) {
  ListingSections sections;
  sections.scopeTable = [this](FILE* listing) { scope.Dump(listing, 1); };
  sections.program = [this](FILE* listing) { programBlock.Dump(listing, 0); };
  WriteListingDocument(file, level, sections, *this);
}

CExpression* CCompiler::Park(std::unique_ptr<CExpression> expression) {
  CExpression* parked = expression.get();
  if (parked != nullptr) parkedExpressions[parked] = std::move(expression);
  return parked;
}

CType* CCompiler::Park(std::unique_ptr<CType> type) {
  CType* parked = type.get();
  if (parked != nullptr) parkedTypes[parked] = std::move(type);
  return parked;
}

std::unique_ptr<CExpression> CCompiler::TakeExpression(void* parked) {
  auto found = parkedExpressions.find(parked);
  if (found == parkedExpressions.end()) return nullptr;
  std::unique_ptr<CExpression> taken = std::move(found->second);
  parkedExpressions.erase(found);
  return taken;
}

std::unique_ptr<CType> CCompiler::TakeType(void* parked) {
  auto found = parkedTypes.find(parked);
  if (found == parkedTypes.end()) return nullptr;
  std::unique_ptr<CType> taken = std::move(found->second);
  parkedTypes.erase(found);
  return taken;
}
