// The program information section of the debug listing: one or more lines per statement,
// indented by nesting, with the expressions' texts and the symbols' own lines.
#include <algorithm>
#include <string>

#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "platform/format.h"

namespace {

std::string ExpressionText(const CExpression* expression) {
  return expression == nullptr ? std::string() : expression->DumpText();
}

std::string NameOf(const CSymbol* symbol) { return symbol == nullptr ? std::string() : std::string(symbol->name); }

}  // namespace

// ---- The writer ----

int CDumpWriter::ListedDepth(int indent) { return std::clamp(indent, 0, kMaxListedDepth); }

std::string CDumpWriter::Prefix(int indent) {
  std::string prefix;
  const int depth = ListedDepth(indent);
  prefix.reserve(static_cast<size_t>(depth) * 2);
  for (int i = 0; i < depth; ++i) prefix += "| ";
  return prefix;
}

void CDumpWriter::Write(const std::string& text) const {
  if (file != nullptr) std::fwrite(text.data(), 1, text.size(), file);
}

void CDumpWriter::Run(const CBlock& block, int indent) {
  stack.push_back({&block, nullptr, indent, {}});
  Drive();
}

void CDumpWriter::Run(const CStatement& statement, int indent) {
  stack.push_back({nullptr, &statement, indent, {}});
  Drive();
}

void CDumpWriter::Then(const CBlock& block, int indent) { queued.push_back({&block, nullptr, indent, {}}); }

void CDumpWriter::Then(const CStatement& statement, int indent) {
  queued.push_back({nullptr, &statement, indent, {}});
}

void CDumpWriter::Then(std::string text) { queued.push_back({nullptr, nullptr, 0, std::move(text)}); }

void CDumpWriter::Drive() {
  while (!stack.empty()) {
    Item item = std::move(stack.back());
    stack.pop_back();
    if (item.block != nullptr) {
      // A block's statements one level deeper, in order: pushed last to first.
      const auto& statements = item.block->statements;
      for (auto it = statements.rbegin(); it != statements.rend(); ++it) {
        if (*it != nullptr) stack.push_back({nullptr, *it, item.indent + 1, {}});
      }
    } else if (item.statement != nullptr) {
      queued.clear();
      item.statement->DumpStep(*this, item.indent);
      for (auto it = queued.rbegin(); it != queued.rend(); ++it) stack.push_back(std::move(*it));
      queued.clear();
    } else {
      Write(item.text);
    }
  }
}

void CBlock::Dump(FILE* file, int indent) const { CDumpWriter(file).Run(*this, indent); }

void CStatement::DumpStep(CDumpWriter& writer, int indent) const { Dump(writer.file, indent); }

// ---- Blocks and control flow ----

void CBlockStatement::Dump(FILE* file, int indent) const { CDumpWriter(file).Run(*this, indent); }

void CBlockStatement::DumpStep(CDumpWriter& writer, int indent) const {
  writer.Write(Format("%s<block>:\n", CDumpWriter::Prefix(indent).c_str()));
  writer.Then(block, indent);
}

void CDecideStatement::Dump(FILE* file, int indent) const { CDumpWriter(file).Run(*this, indent); }

void CDecideStatement::DumpStep(CDumpWriter& writer, int indent) const {
  const std::string prefix = CDumpWriter::Prefix(indent);
  writer.Write(Format("%sIf %s\n", prefix.c_str(), ExpressionText(condition).c_str()));
  writer.Then(thenBlock, indent);
  if (elseIf != nullptr) {
    writer.Then(Format("%sELSEIF:\n", prefix.c_str()));
    writer.Then(*elseIf, indent + 1);
  } else if (!elseBlock.IsEmpty()) {
    writer.Then(Format("%sELSE:\n", prefix.c_str()));
    writer.Then(elseBlock, indent);
  }
}

void CLoopStatement::Dump(FILE* file, int indent) const { CDumpWriter(file).Run(*this, indent); }

void CLoopStatement::DumpStep(CDumpWriter& writer, int indent) const {
  writer.Write(Format("%sWhile %s\n", CDumpWriter::Prefix(indent).c_str(), ExpressionText(condition).c_str()));
  writer.Then(body, indent);
}

void CMethodStatement::Dump(FILE* file, int indent) const { CDumpWriter(file).Run(*this, indent); }

void CMethodStatement::DumpStep(CDumpWriter& writer, int indent) const {
  writer.Write(Format("%s<%04x> Method:\n", CDumpWriter::Prefix(indent).c_str(), address));
  if (prototype != nullptr) prototype->Dump(writer.file, CDumpWriter::ListedDepth(indent + 1));
  writer.Then(body, indent);
}

// ---- Calls ----

void CCallStatement::Dump(FILE* file, int indent) const {
  CDumpWriter writer(file);
  writer.Write(Format("%sCall %s\n", CDumpWriter::Prefix(indent).c_str(), NameOf(prototype).c_str()));
  if (prototype != nullptr) prototype->Dump(file, CDumpWriter::ListedDepth(indent + 1));
  if (arguments != nullptr) arguments->Dump(file, indent);
}

void CParamStatement::Dump(FILE* file, int indent) const {
  CDumpWriter(file).Write(
      Format("%s%s\n", CDumpWriter::Prefix(indent).c_str(), ExpressionText(expression).c_str()));
}

// ---- Data statements ----

void CAssignStatement::Dump(FILE* file, int indent) const {
  CDumpWriter(file).Write(Format("%s<%04x> Assign %s%s = %s\n", CDumpWriter::Prefix(indent).c_str(), address,
                                 KindName(kind).c_str(), ExpressionText(target).c_str(),
                                 ExpressionText(value).c_str()));
}

void COutStatement::Dump(FILE* file, int indent) const {
  const std::string prefix = CDumpWriter::Prefix(indent);
  std::string line;
  if (asChar != 0) {
    line = Format("%s<%04x> OutCH ", prefix.c_str(), address);
  } else if (expression != nullptr) {
    line = Format("%s<%04x> Out %s ", prefix.c_str(), address, KindName(expression->value.BaseKind()).c_str());
  } else {
    line = Format("%s<%04x> Out \"%s\"", prefix.c_str(), address, std::string(text.value_or(std::string_view())).c_str());
  }
  line += ExpressionText(expression);
  line += "\n";
  CDumpWriter(file).Write(line);
}

void CWithStatement::Dump(FILE* file, int indent) const {
  CDumpWriter(file).Write(Format("%s<%04x> With %s\n", CDumpWriter::Prefix(indent).c_str(), address,
                                 ExpressionText(expression).c_str()));
}

void CClearStatement::Dump(FILE* file, int indent) const {
  const int storage = (symbol != nullptr && symbol->statement != nullptr) ? symbol->statement->address : 0;
  CDumpWriter(file).Write(Format("%s<%04x> Clear <%04x>%s\n", CDumpWriter::Prefix(indent).c_str(), address, storage,
                                 NameOf(symbol).c_str()));
}

void CVarStatement::Dump(FILE* file, int indent) const {
  CDumpWriter(file).Write(Format("%s<%04x> Var:\n", CDumpWriter::Prefix(indent).c_str(), address));
  if (symbol != nullptr) symbol->Dump(file, CDumpWriter::ListedDepth(indent + 1));
}

void CClassStatement::Dump(FILE* file, int indent) const {
  CDumpWriter(file).Write(
      Format("%s<%04x> Class %s:\n", CDumpWriter::Prefix(indent).c_str(), address, NameOf(symbol).c_str()));
}

// Listed center, plateau, edge; stored center, edge, plateau.
void CRangeStatement::Dump(FILE* file, int indent) const {
  if (symbol == nullptr) return;
  CDumpWriter(file).Write(Format("%s<%04x>Range %s:\tc%02x\tp%02x\te%02x\n", CDumpWriter::Prefix(indent).c_str(),
                                 address, std::string(symbol->name).c_str(), symbol->center, symbol->plateau, symbol->edge));
}

void CRuleStatement::Dump(FILE* file, int indent) const {
  if (symbol == nullptr) return;
  const std::string prefix = CDumpWriter::Prefix(indent);
  CDumpWriter writer(file);
  writer.Write(Format("%s<%04x>Rule %s:\n", prefix.c_str(), address, std::string(symbol->name).c_str()));
  for (const auto& entry : symbol->entries) {
    if (entry == nullptr || entry->range == nullptr) continue;
    writer.Write(Format("%s\t\t(c%02x  p%02x  e%02x) => %02x\n", prefix.c_str(), entry->range->center,
                        entry->range->plateau, entry->range->edge, entry->result));
  }
}
