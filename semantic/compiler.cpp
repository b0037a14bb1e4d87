#include "semantic/compiler.h"

#include "codegen/code_generator.h"
#include "image/listing.h"

CCompiler::CCompiler() = default;

CCompiler::~CCompiler() = default;

int CCompiler::BeginProgram(int externalRamK, int codeLocation, int dataLocation) {
  currentBlock = &programBlock;
  // Names resolve through ownedNames: the scope table's own name index would only cost.
  scope.indexNames = false;
  if (scope.Create(1000) == 0) return 0;
  // The program's entry: defined as start() { ... } without any class declaring it.
  auto* start = arena.Make<CProtoSymbol>("start");
  startPrototype = start;
  Enter(start);
  dataSharesCodeRegion = (codeLocation == 1) == (dataLocation == 1);
  return Initialize(externalRamK, codeLocation, dataLocation) ? 1 : 0;
}

int CCompiler::Generate() {
  errorText.clear();
  if (!streamStarted) {
    if (!GenerateBlock(programBlock, false, *this)) return 0;
  } else {
    // The methods generated during the parse are done: the rest follows them, then the
    // program block closes as its whole generation would close it.
    if (streamFailed) {
      errorText = streamError;
      return 0;
    }
    if (!GenerateStatements(generatedCount)) return 0;
    PopBlockFrame();
    if (codeFull) return FailCodeFull();
  }
  ResolveFixups();
  return 1;
}

void CCompiler::WriteDebugListing(FILE* file, int level, int /*depth*/) {
  ListingSections sections;
  sections.scopeTable = [this](FILE* listing) { scope.Dump(listing, 1); };
  sections.program = [this](FILE* listing) { programBlock.Dump(listing, 0); };
  WriteListingDocument(file, level, sections, *this);
}
