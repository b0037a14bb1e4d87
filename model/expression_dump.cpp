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

// What is still to be written: a node to expand, a node's own text, or a fixed piece.
struct DumpItem {
  const CExpression* node;  // null for a fixed piece
  const char* piece;        // null: expand `node`; otherwise written as is (unless own text)
  bool own;                 // write `node`'s own text
};

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
  // Its room is kept from one expression to the next (a dump never starts another).
  static thread_local std::vector<DumpItem> pending;
  pending.clear();
  pending.push_back({this, nullptr, false});
  while (!pending.empty()) {
    const DumpItem item = pending.back();
    pending.pop_back();
    if (item.piece != nullptr) {
      text += item.piece;
      continue;
    }
    const CExpression* node = item.node;
    if (item.own) {
      // An operator's text is fixed; only leaves need formatting.
      if (node->op >= EXPR_CONST && node->op <= EXPR_CALL)
        text += node->OwnText();
      else
        text += OperatorText(node->op);
      continue;
    }
    // Pushed in reverse: the last pushed is written first.
    if (node->op == EXPR_INDEX) {
      pending.push_back({nullptr, "]", false});
      if (node->right != nullptr) pending.push_back({node->right, nullptr, false});
      pending.push_back({nullptr, "[", false});
      if (node->left != nullptr) pending.push_back({node->left, nullptr, false});
      continue;
    }
    const bool both = node->left != nullptr && node->right != nullptr;
    if (both) pending.push_back({nullptr, ")", false});
    if (node->right != nullptr) pending.push_back({node->right, nullptr, false});
    pending.push_back({node, nullptr, true});
    if (node->left != nullptr) pending.push_back({node->left, nullptr, false});
    if (both) pending.push_back({nullptr, "(", false});
  }
  return text;
}

void CExpression::Dump(FILE* file, int /*indent*/) const {
  if (file == nullptr) return;
  const std::string text = DumpText();
  std::fwrite(text.data(), 1, text.size(), file);
}
