#include "semantic/warnings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <tuple>
#include <cstdint>

#include "platform/format.h"
#include "semantic/compiler.h"

namespace {

std::string Shown(const CValue& constant) {
  switch (constant.BaseKind()) {
    case TYPE_BYTE: return Format("%d", constant.AsByte());
    case TYPE_INTEGER: return Format("%d", constant.AsInteger());
    case TYPE_REAL: return Format("%g", constant.AsReal());
    case TYPE_FUZZY: return Format("%g@%g", constant.AsReal(), constant.weight);
    default: return "?";
  }
}

// The number a constant stands for, whatever its kind.
double NumberOf(const CValue& constant) {
  switch (constant.BaseKind()) {
    case TYPE_BYTE: return constant.AsByte();
    case TYPE_INTEGER: return constant.AsInteger();
    case TYPE_REAL: return constant.AsReal();
    case TYPE_FUZZY: return constant.Crisp();
    default: return 0;
  }
}

// A declaration is reduced at its end; its name is the last whole word of that name before
// the current token. The lexer never captures a file's first line, so there the token stays.
int NameColumn(const CSourcePosition& source, std::string_view name) {
  const int column = source.TokenColumn();
  if (source.Line() <= 1 || name.empty() || column <= 0) return column;
  const std::string& text = source.LineText();
  auto isWord = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  if (name.size() > text.size()) return column;
  // Backwards from the token, testing the first letter before the whole name: this runs for
  // every declaration of a build.
  for (size_t at = std::min(text.size() - name.size(), static_cast<size_t>(column - 1)) + 1; at-- > 0;) {
    if (text[at] != name[0] || text.compare(at, name.size(), name) != 0) continue;
    const size_t after = at + name.size();
    if ((at == 0 || !isWord(text[at - 1])) && (after >= text.size() || !isWord(text[after])))
      return static_cast<int>(at) + 1;
  }
  return column;
}

}  // namespace

CompilerWarning CCompiler::Here() const {
  CompilerWarning place;
  if (source == nullptr) return place;
  place.file = source->FileName();
  place.path = source->FilePath();
  place.line = source->Line();
  place.column = source->TokenColumn();
  place.token = source->TokenText();
  return place;
}

CExpression* CCompiler::RememberLiteral(CExpression* literal) {
  // Plain numbers only: no strings are copied, as this runs for every literal of a build.
  if (source != nullptr) lastLiteral = {literal, source->Line(), source->TokenColumn(), source->TokenLength()};
  return literal;
}

void CCompiler::NoteDeclared(std::vector<Declared>& list, const CSymbol* symbol) {
  if (source == nullptr) return;
  // Compared by a number, not by name: this runs for every declaration of a build.
  if (declaredFiles.empty() || declaredFileSerial != source->FileSerial()) {
    declaredFiles.emplace_back(source->FileName(), source->FilePath());
    declaredFileSerial = source->FileSerial();
  }
  Declared declared{symbol, static_cast<int>(declaredFiles.size()) - 1, source->Line(), 0};
  declared.column = NameColumn(*source, symbol->name);
  list.push_back(declared);
}

void CCompiler::Warn(const std::string& text) {
  CompilerWarning warning = Here();
  warning.text = text;
  warnings.push_back(std::move(warning));
}

void CCompiler::WarnNarrowing(const CExpression& value, TypeKind kind) {
  if (value.op != EXPR_CONST) return;
  const CValue& constant = value.value;
  const TypeKind from = constant.BaseKind();
  if (from < TYPE_BYTE || from > TYPE_FUZZY || kind == TYPE_REAL || kind == TYPE_FUZZY) return;
  const bool toByte = kind == TYPE_BYTE || kind == TYPE_ADDRESS;
  if (!toByte && kind != TYPE_INTEGER) return;
  CValue stored;
  stored.Assign(constant);
  if (stored.ConvertTo(toByte ? TYPE_BYTE : TYPE_INTEGER) == 0) return;
  // What the variable holds: a byte, or the Integer's 16-bit word read back as signed.
  const int32_t kept =
      toByte ? stored.AsByte() : static_cast<int16_t>(static_cast<uint16_t>(stored.AsInteger() & 0xFFFF));
  const double number = NumberOf(constant);
  if (std::isfinite(number) && static_cast<double>(kept) == number) return;
  Warn(Format("constant %s does not fit %s: stored as %d", Shown(constant).c_str(),
              toByte ? "a Byte (0 to 255)" : "an Integer (-32768 to 32767)", kept));
  // A literal written as such is pointed at; a folded one (-1, 2 * 200) leaves the statement's place.
  if (lastLiteral.node == &value && lastLiteral.line == warnings.back().line) {
    warnings.back().column = lastLiteral.column;
    warnings.back().token = Shown(constant);
  }
}

void CheckProgram(CCompiler& compiler) {
  if (compiler.startPrototype && compiler.startPrototype->statement == nullptr) {
    CompilerWarning warning;  // about the whole program: no line
    warning.text = "no start() method: the image has no entry point (its start address is 0000)";
    compiler.warnings.push_back(warning);
  }
  auto placeOf = [&compiler](const CCompiler::Declared& declared) {
    CompilerWarning warning;
    std::tie(warning.file, warning.path) = compiler.declaredFiles[declared.file];
    warning.line = declared.line;
    warning.column = declared.column;
    warning.token = declared.symbol != nullptr ? declared.symbol->name : declared.name;
    return warning;
  };
  for (const CCompiler::Declared& method : compiler.declaredMethods) {
    if (method.symbol->statement != nullptr) continue;
    CompilerWarning warning = placeOf(method);
    warning.text = Format("method '%s' is declared but never defined", method.symbol->QualifiedName().c_str());
    compiler.warnings.push_back(warning);
  }
  for (const CCompiler::Declared& variable : compiler.declaredVariables) {
    const auto* symbol = static_cast<const CVarSymbol*>(variable.symbol);
    if (symbol != nullptr && symbol->used) continue;
    CompilerWarning warning = placeOf(variable);
    // A local is named as written; a member or global by its owners.
    const std::string name = symbol == nullptr      ? std::string(variable.name)
                             : symbol->frameDepth > 0 ? std::string(symbol->name)
                                                      : symbol->QualifiedName();
    warning.text = Format("variable '%s' is never used", name.c_str());
    compiler.warnings.push_back(warning);
  }
}
