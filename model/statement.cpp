#include "model/statement.h"

#include "model/expression.h"
#include "model/symbol.h"

int CBlock::Add(CArena& arena, CStatement* statement) {
  statements.Add(arena, statement);
  return 1;
}


void CStatement::Dump(FILE*, int) const {}

int32_t CVarStatement::Size() const { return symbol == nullptr ? 0 : symbol->type.Size(); }
