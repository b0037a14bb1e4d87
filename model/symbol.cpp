#include "model/symbol.h"

#include <cstddef>
#include <utility>

#include "platform/format.h"

namespace {

// Owner chains are at most class, prototype, parameter; the bound keeps a
// malformed chain from looping.
constexpr std::size_t kMaxOwnerDepth = 64;

void WriteLine(FILE* file, const std::string& line) {
  if (file == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), file);
}

}  // namespace

void CSymbol::Dump(FILE* /*file*/, int /*depth*/) const {}

std::string CSymbol::QualifiedName() const {
  // Written from the back: the names are laid out once, the outermost owner first.
  std::size_t length = 0;
  std::size_t parts = 0;
  for (const CSymbol* symbol = this; symbol != nullptr && parts < kMaxOwnerDepth; symbol = symbol->owner) {
    length += symbol->name.size() + (parts > 0 ? 1 : 0);
    ++parts;
  }
  std::string qualified(length, ':');
  std::size_t end = length;
  const CSymbol* symbol = this;
  for (std::size_t part = 0; part < parts; ++part, symbol = symbol->owner) {
    const std::string_view name = symbol->name;
    end -= name.size();
    name.copy(qualified.data() + end, name.size());
    if (end > 0) --end;  // the ':' before it stays
  }
  return qualified;
}

std::string CSymbol::IndentPrefix(int depth) {
  std::string prefix;
  for (int i = 0; i < depth; ++i) prefix += "| ";
  return prefix;
}

void CSymbol::LinkAhead(CSymbol* head) {
  if (head == nullptr) return;
  prev = head->prev;
  head->prev = this;
  next = head;
}

CSymbol* CSymbol::Unlink() {
  CSymbol* follower = next;
  if (follower != nullptr) follower->prev = nullptr;
  prev = nullptr;
  next = nullptr;
  return follower;
}

void CClassSymbol::Dump(FILE* file, int depth) const {
  WriteLine(file, Format("%sClass: %s{%d}\n", IndentPrefix(depth).c_str(), QualifiedName().c_str(), level));
  CSymbol::Dump(file, depth);
}

void CConstSymbol::Dump(FILE* file, int depth) const {
  std::string typeName = "ERROR";
  std::string valueText = "<unknown>";
  switch (value.BaseKind()) {
    case TYPE_BYTE:
      typeName = "Byte";
      valueText = Format("%02x", value.AsByte());
      break;
    case TYPE_INTEGER:
      typeName = "Integer";
      valueText = Format("%d", value.AsInteger());
      break;
    case TYPE_REAL:
      typeName = "Real";
      valueText = Format("%g", static_cast<double>(value.AsReal()));
      break;
    case TYPE_FUZZY:
      typeName = "Fuzzy";
      valueText = Format("%g@%g", static_cast<double>(value.AsReal()), static_cast<double>(value.weight));
      break;
    default:
      break;
  }
  WriteLine(file, Format("%sConstant: %s{%d} type : %s = %s\n", IndentPrefix(depth).c_str(),
                         QualifiedName().c_str(), level, typeName.c_str(), valueText.c_str()));
  CSymbol::Dump(file, depth);
}

void CVarSymbol::Dump(FILE* file, int depth) const {
  WriteLine(file, Format("%sVariable: %s{%d} type : %s\n", IndentPrefix(depth).c_str(),
                         QualifiedName().c_str(), level, type.Describe().c_str()));
  CSymbol::Dump(file, depth);
}

void CProtoSymbol::Dump(FILE* file, int depth) const {
  WriteLine(file, Format("%sMethod:%s %s{%d} AS %s\n", IndentPrefix(depth).c_str(), "",
                         QualifiedName().c_str(), level, returnType.Describe().c_str()));
  for (const auto& parameter : parameters) parameter->Dump(file, depth + 1);
  CSymbol::Dump(file, depth);
}

void CRangeSymbol::Dump(FILE* file, int depth) const {
  WriteLine(file, Format("%sRange: %s{%d} c%04x p%04x e%04x\n", IndentPrefix(depth).c_str(),
                         QualifiedName().c_str(), level, center, plateau, edge));
  CSymbol::Dump(file, depth);
}

void CRangeValueSymbol::Dump(FILE* file, int depth) const {
  // An entry always names a range it found; a missing one prints zeros rather than failing.
  const unsigned c = range != nullptr ? range->center : 0;
  const unsigned p = range != nullptr ? range->plateau : 0;
  const unsigned e = range != nullptr ? range->edge : 0;
  WriteLine(file, Format("%sRange->Value: %s{%d} c%04x p%04x e%04x => %04x\n", IndentPrefix(depth).c_str(),
                         QualifiedName().c_str(), level, c, p, e, static_cast<unsigned>(result)));
  CSymbol::Dump(file, depth);
}

void CRuleSymbol::Dump(FILE* file, int depth) const {
  WriteLine(file, Format("%sRule: %s{%d}\n", IndentPrefix(depth).c_str(), QualifiedName().c_str(), level));
  for (const auto& entry : entries) entry->Dump(file, depth + 1);
  CSymbol::Dump(file, depth);
}
