#include "model/statement.h"

#include <utility>

#include "model/expression.h"
#include "model/symbol.h"

CBlock::~CBlock() {
  // Blocks nest through statements (a block statement holds a block that holds statements ...).
  // Destroying them recursively would overflow the stack on deep nesting, so each statement
  // first hands its inner statements to this work list and is then destroyed empty.
  StatementList work;
  ReleaseInto(work);
  while (!work.empty()) {
    std::unique_ptr<CStatement> statement = std::move(work.back());
    work.pop_back();
    statement->ReleaseInner(work);
  }
}

int CBlock::Add(std::unique_ptr<CStatement> statement) {
  statements.push_back(std::move(statement));
  return 1;
}

void CBlock::ReleaseInto(StatementList& out) {
  for (auto& statement : statements) out.push_back(std::move(statement));
  statements.clear();
}

namespace {

// Calls made inside an expression are statements owned by their leaves.  They are taken out
// into the work list too, so that calls nested in call arguments tear down iteratively.
void ReleaseExpressionStatements(CExpression* root, StatementList& out) {
  std::vector<CExpression*> pending;
  if (root != nullptr) pending.push_back(root);
  while (!pending.empty()) {
    CExpression* node = pending.back();
    pending.pop_back();
    if (node->ownedStatement != nullptr) out.push_back(std::move(node->ownedStatement));
    if (node->left != nullptr) pending.push_back(node->left.get());
    if (node->right != nullptr) pending.push_back(node->right.get());
  }
}

}  // namespace

CStatement::~CStatement() = default;

void CStatement::Dump(FILE*, int) const {}

void CStatement::ReleaseInner(StatementList&) {}

void CBlockStatement::ReleaseInner(StatementList& out) { block.ReleaseInto(out); }

CDecideStatement::CDecideStatement(std::unique_ptr<CExpression> decideCondition)
    : condition(std::move(decideCondition)) {}

CDecideStatement::~CDecideStatement() = default;

void CDecideStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(condition.get(), out);
  thenBlock.ReleaseInto(out);
  elseBlock.ReleaseInto(out);
}

CLoopStatement::CLoopStatement(std::unique_ptr<CExpression> loopCondition)
    : condition(std::move(loopCondition)) {}

CLoopStatement::~CLoopStatement() = default;

void CLoopStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(condition.get(), out);
  body.ReleaseInto(out);
}

void CMethodStatement::ReleaseInner(StatementList& out) { body.ReleaseInto(out); }

CCallStatement::CCallStatement(CProtoSymbol* calledPrototype, std::unique_ptr<CBlock> argumentBlock)
    : prototype(calledPrototype), arguments(std::move(argumentBlock)) {}

CCallStatement::~CCallStatement() = default;

void CCallStatement::ReleaseInner(StatementList& out) {
  if (arguments != nullptr) arguments->ReleaseInto(out);
}

CParamStatement::CParamStatement(std::unique_ptr<CExpression> argument)
    : expression(std::move(argument)) {}

CParamStatement::~CParamStatement() = default;

void CParamStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(expression.get(), out);
}

CAssignStatement::CAssignStatement(TypeKind targetKind, std::unique_ptr<CExpression> assignTarget,
                                   std::unique_ptr<CExpression> assignValue)
    : kind(targetKind), target(std::move(assignTarget)), value(std::move(assignValue)) {}

CAssignStatement::~CAssignStatement() = default;

void CAssignStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(target.get(), out);
  ReleaseExpressionStatements(value.get(), out);
}

COutStatement::COutStatement(std::unique_ptr<CExpression> outExpression, int outAsChar)
    : asChar(outAsChar), expression(std::move(outExpression)) {}

COutStatement::COutStatement(std::string outText) : text(std::move(outText)) {}

COutStatement::~COutStatement() = default;

void COutStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(expression.get(), out);
}

CWithStatement::CWithStatement(std::unique_ptr<CExpression> weight)
    : expression(std::move(weight)) {}

CWithStatement::~CWithStatement() = default;

void CWithStatement::ReleaseInner(StatementList& out) {
  ReleaseExpressionStatements(expression.get(), out);
}

int32_t CVarStatement::Size() const { return symbol == nullptr ? 0 : symbol->type.Size(); }
