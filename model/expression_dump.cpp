// The text an expression writes into the debug listing.
#include <string>
#include <variant>
#include <vector>

#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "platform/format.h"

namespace {

const char* OperatorText(ExprOp op) {
  switch (op) {
    case EXPR_NOP: return "<nop>";
    case EXPR_ADD: return " + ";
    case EXPR_SUB: return " - ";
    case EXPR_MUL: return " * ";
    case EXPR_DIV: return " / ";
    case EXPR_MOD: return " % ";
    case EXPR_BITAND: return " & ";
    case EXPR_BITOR: return " | ";
    case EXPR_BITXOR: return " ^ ";
    case EXPR_AND: return " and ";
    case EXPR_OR: return " or ";
    case EXPR_XOR: return " xor ";
    case EXPR_MIN: return " min ";
    case EXPR_MAX: return " max ";
    case EXPR_EQ: return " == ";
    case EXPR_NE: return " <> ";
    case EXPR_LE: return " <= ";
    case EXPR_LT: return " < ";
    case EXPR_GE: return " >= ";
    case EXPR_GT: return " > ";
    case EXPR_SHL: return " << ";
    case EXPR_SHR: return " >> ";
    case EXPR_INDEX: return "";
    case EXPR_IS: return " IS ";
    case EXPR_NEG: return " -";
    case EXPR_NOT: return " not ";
    case EXPR_BITNOT: return " ~";
    default: return "<error>";
  }
}

std::string ConstantText(const CValue& value) {
  switch (value.BaseKind()) {
    case TYPE_BYTE: return Format("%x", static_cast<unsigned>(value.AsByte()));
    case TYPE_INTEGER: return Format("%d", value.AsInteger());
    case TYPE_REAL: return Format("%g", static_cast<double>(value.AsReal()));
    case TYPE_FUZZY:
      return Format("%g@%g", static_cast<double>(value.AsReal()), static_cast<double>(value.weight));
    default: return "<unsup>";
  }
}

std::string NameOf(const CSymbol* symbol) { return symbol == nullptr ? std::string() : std::string(symbol->name); }

// What is still to be written: a node to expand or a finished piece of text.
using DumpItem = std::variant<const CExpression*, std::string>;

}  // namespace

std::string CExpression::OwnText() const {
  switch (op) {
    case EXPR_CONST:
      return ConstantText(value);
    case EXPR_VAR: {
      const CSymbol* variable = value.symbol;
      const int address = (variable != nullptr && variable->statement != nullptr) ? variable->statement->address : 0;
      return Format("<%04x>%s", address, NameOf(variable).c_str());
    }
    case EXPR_RANGE:
    case EXPR_RULE:
    case EXPR_CALL:
      return Format("%s", NameOf(value.symbol).c_str());
    default:
      return OperatorText(op);
  }
}

std::string CExpression::DumpText() const {
  std::string text;
  std::vector<DumpItem> pending;
  pending.emplace_back(this);
  while (!pending.empty()) {
    DumpItem item = std::move(pending.back());
    pending.pop_back();
    if (const auto* piece = std::get_if<std::string>(&item)) {
      text += *piece;
      continue;
    }
    const CExpression* node = std::get<const CExpression*>(item);
    // Pushed in reverse: the last pushed is written first.
    if (node->op == EXPR_INDEX) {
      pending.emplace_back(std::string("]"));
      if (node->right != nullptr) pending.emplace_back(node->right);
      pending.emplace_back(std::string("["));
      if (node->left != nullptr) pending.emplace_back(node->left);
      continue;
    }
    const bool both = node->left != nullptr && node->right != nullptr;
    if (both) pending.emplace_back(std::string(")"));
    if (node->right != nullptr) pending.emplace_back(node->right);
    pending.emplace_back(node->OwnText());
    if (node->left != nullptr) pending.emplace_back(node->left);
    if (both) pending.emplace_back(std::string("("));
  }
  return text;
}

void CExpression::Dump(FILE* file, int /*indent*/) const {
  if (file == nullptr) return;
  const std::string text = DumpText();
  std::fwrite(text.data(), 1, text.size(), file);
}
