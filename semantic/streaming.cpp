// Generation during the parse: each top-level method is generated when its definition ends
// and its body released, so a build whose listing does not show the program holds one method
// body at a time.
#include "codegen/code_generator.h"
#include "semantic/compiler.h"

void CCompiler::EnableStreaming() {
  streaming = true;
  // The left scopes are kept only for the listing's scope table, which this build does not write.
  scope.DropHistory();
}

void CCompiler::BeginMethodBody() {
  if (!streaming || !blockStack.empty()) return;
  inMethodBody = true;
  forwardCall = false;
  bodyDeclarations = declaredVariables.size();
}

bool CCompiler::AbortStreamIfGenerated() {
  if (!streamStarted) return false;
  streamAborted = true;
  streaming = false;
  return true;
}

bool CCompiler::GenerateStatements(size_t& next) {
  while (next < programBlock.statements.size()) {
    CStatement* statement = programBlock.statements[next++];
    if (statement != nullptr && ::Generate(*statement, *this) == 0) return false;
  }
  return true;
}

bool CCompiler::EndMethodDefinition(bool parseFailed) {
  if (!inMethodBody) return false;
  inMethodBody = false;
  if (!streaming || parseFailed) return false;
  // Only a definition that ended cleanly at the top level, with nothing of it pending.
  const bool whole = blockStack.empty() && contextStack.empty() && argumentBlocks.empty() && unentered.empty();
  if (!whole || forwardCall) {
    // Generated at the end instead, with every method after it: a call to a method defined
    // further on needs that method's statement.
    streaming = false;
    return false;
  }
  if (!streamFailed) {
    if (!streamStarted) {
      before = {codeCursor, codeStart, tableStart, startAddress, codeFull, image};
      streamStarted = true;
      // The program block's frame, as the generation of the whole block opens it.
      PushBlockFrame(programBlock.frameSize);
    }
    const std::string parseText = errorText;
    errorText.clear();
    if (!GenerateStatements(generatedCount)) {
      // The build fails here whatever follows; the message waits for the end of the parse.
      streamFailed = true;
      streamError = errorText;
    }
    errorText = parseText;
  } else {
    generatedCount = programBlock.statements.size();
  }
  SettleBodyDeclarations();
  // Nothing refers to the body any more: its statements were generated.
  if (auto* method = programBlock.IsEmpty() ? nullptr : dynamic_cast<CMethodStatement*>(programBlock.statements.back()))
    method->body.statements = StatementList();
  lastLiteral = LiteralPlace();
  bodyArena.Reset();
  return true;
}

// The locals of the released body: a used one needs no warning, an unused one keeps its name.
void CCompiler::SettleBodyDeclarations() {
  size_t kept = bodyDeclarations;
  for (size_t i = bodyDeclarations; i < declaredVariables.size(); ++i) {
    Declared declared = declaredVariables[i];
    const auto* variable = static_cast<const CVarSymbol*>(declared.symbol);
    if (variable->used) continue;
    declared.name = arena.Text(variable->name);
    declared.symbol = nullptr;
    declaredVariables[kept++] = declared;
  }
  declaredVariables.resize(kept);
}

void CCompiler::StopStreaming() {
  streaming = false;
  inMethodBody = false;
  if (!streamStarted) return;
  streamStarted = false;
  codeCursor = before.codeCursor;
  codeStart = before.codeStart;
  tableStart = before.tableStart;
  startAddress = before.startAddress;
  codeFull = before.codeFull;
  image = std::move(before.image);
  fixups.clear();
  PopBlockFrame();  // the program block's: every other frame was closed by its block
}
