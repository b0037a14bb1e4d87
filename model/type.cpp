#include "model/type.h"

#include "model/symbol.h"
#include "platform/format.h"

namespace {

// Reference chains are one or two steps in any real program; the bound only
// keeps a malformed descriptor from looping.
constexpr int kMaxReferenceSteps = 64;

// Position in the widening order; Byte and Address share one.
int WideningRank(TypeKind kind) {
  switch (kind) {
    case TYPE_BYTE:
    case TYPE_ADDRESS:
      return 0;
    case TYPE_INTEGER:
      return 1;
    case TYPE_REAL:
      return 2;
    case TYPE_FUZZY:
      return 3;
    default:
      return -1;
  }
}

bool CarriesReference(TypeKind kind) {
  switch (kind) {
    case TYPE_ADDRESS:
    case TYPE_ID:
    case TYPE_VAR:
    case TYPE_RANGE:
    case TYPE_RULE:
    case TYPE_CALL:
      return true;
    default:
      return false;
  }
}

// The type a Var or Call descriptor stands for, or null when it refers to nothing.
const CType* Referenced(const CType& type) {
  if (type.symbol == nullptr) return nullptr;
  if (type.kind == TYPE_VAR) return &static_cast<const CVarSymbol*>(type.symbol)->type;
  if (type.kind == TYPE_CALL) return &static_cast<const CProtoSymbol*>(type.symbol)->returnType;
  return nullptr;
}

int32_t SizeOf(const CType& type, int steps) {
  int32_t size = KindSize(type.kind);
  if (type.kind == TYPE_VAR || type.kind == TYPE_CALL) {
    const CType* referenced = Referenced(type);
    size = (referenced != nullptr && steps < kMaxReferenceSteps) ? SizeOf(*referenced, steps + 1) : 0;
  } else if (type.kind == TYPE_RULE) {
    const auto* rule = static_cast<const CRuleSymbol*>(type.symbol);
    const auto entries = rule == nullptr ? 0 : static_cast<int32_t>(rule->entries.size());
    size = (KindSize(TYPE_RANGE) + KindSize(TYPE_REAL)) * entries;
  }
  if ((type.flags & TYPE_FLAG_ARRAY) != 0) return size * type.count;
  return size;
}

std::string SymbolName(const CSymbol* symbol) { return symbol == nullptr ? std::string() : std::string(symbol->name); }

std::string DescribeType(const CType& type, int steps);

std::string DescribeKind(const CType& type, int steps) {
  switch (type.kind) {
    case TYPE_ADDRESS:
      return Format("Address %d", type.ref);
    case TYPE_ID:
      return Format("Compiler ID<%d>", type.ref);
    case TYPE_VAR: {
      const auto* variable = static_cast<const CVarSymbol*>(type.symbol);
      if (variable == nullptr || steps >= kMaxReferenceSteps) return Format("Var %s AS %s", "", "");
      return Format("Var %s AS %s", std::string(variable->name).c_str(), DescribeType(variable->type, steps + 1).c_str());
    }
    case TYPE_RANGE:
      return Format("Range %s", SymbolName(type.symbol).c_str());
    case TYPE_RULE:
      return Format("Rule %s", SymbolName(type.symbol).c_str());
    case TYPE_CALL:
      return Format("Call %s", SymbolName(type.symbol).c_str());
    default:
      return KindName(type.kind);
  }
}

std::string DescribeType(const CType& type, int steps) {
  std::string text = DescribeKind(type, steps);
  if ((type.flags & TYPE_FLAG_READ) != 0) text += "<read>";
  if ((type.flags & TYPE_FLAG_WRITE) != 0) text += "<write>";
  if ((type.flags & TYPE_FLAG_INTERRUPT) != 0) text += "<interrupt>";
  if ((type.flags & TYPE_FLAG_ARRAY) != 0) text += Format("[ %d ]", type.count);
  return text;
}

}  // namespace

bool IsValueKind(TypeKind kind) { return WideningRank(kind) >= 0; }

KindMatch CompareKinds(TypeKind a, TypeKind b) {
  if (a == b) return MATCH_SAME;
  const int rankA = WideningRank(a);
  const int rankB = WideningRank(b);
  if (rankA < 0 || rankB < 0) return MATCH_NONE;
  if (rankA == rankB) return MATCH_SAME;
  return rankA < rankB ? MATCH_WIDEN_FIRST : MATCH_WIDEN_SECOND;
}

int32_t KindSize(TypeKind kind) {
  switch (kind) {
    case TYPE_BYTE:
      return 1;
    case TYPE_INTEGER:
    case TYPE_ADDRESS:
      return 2;
    case TYPE_REAL:
      return 3;
    case TYPE_FUZZY:
      return 5;
    case TYPE_RANGE:
      return 9;
    default:
      return 0;
  }
}

std::string KindName(TypeKind kind) {
  switch (kind) {
    case TYPE_VOID:
      return "<void>";
    case TYPE_BYTE:
      return "Byte";
    case TYPE_INTEGER:
      return "Integer";
    case TYPE_ADDRESS:
      return "Address";
    case TYPE_REAL:
      return "Real";
    case TYPE_FUZZY:
      return "Fuzzy";
    case TYPE_ID:
      return "ID";
    case TYPE_VAR:
      return "Var";
    case TYPE_RANGE:
      return "Range";
    case TYPE_RULE:
      return "Rule";
    case TYPE_CALL:
      return "Call";
  }
  return "<none>";
}

void CType::Assign(const CType& other) {
  kind = other.kind;
  flags = other.flags;
  count = other.count;
  if (!CarriesReference(other.kind)) return;
  ref = other.ref;
  symbol = other.symbol;
  statement = other.statement;
}

TypeKind CType::BaseKind() const {
  const CType* type = this;
  for (int steps = 0; type->kind == TYPE_VAR || type->kind == TYPE_CALL; ++steps) {
    const CType* referenced = Referenced(*type);
    if (referenced == nullptr || steps >= kMaxReferenceSteps) return TYPE_VOID;
    type = referenced;
  }
  return type->kind;
}

const CType& CType::Resolved() const {
  const CType* referenced = Referenced(*this);
  return referenced != nullptr ? *referenced : *this;
}

KindMatch CType::Compatible(TypeKind other) const { return CompareKinds(BaseKind(), other); }

KindMatch CType::Compatible(const CType& other) const {
  return CompareKinds(BaseKind(), other.BaseKind());
}

int32_t CType::Size() const { return SizeOf(*this, 0); }

std::string CType::Describe() const { return DescribeType(*this, 0); }
