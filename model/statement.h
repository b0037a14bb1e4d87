// The program as statements held in blocks: the base statement, the block, and every statement kind.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/arena.h"
#include "model/statement_visitor.h"
#include "model/type.h"

class CExpression;
class CSymbol;
class CClassSymbol;
class CVarSymbol;
class CProtoSymbol;
class CRangeSymbol;
class CRuleSymbol;
class CStatement;

using StatementList = CArenaArray<CStatement*>;

// An ordered list of statements and the size of its run-time frame. Blocks, statements and
// the expressions they hold live in the build's arena (model/arena.h) and are released with
// it: nothing here is destroyed one by one.
class CBlock {
 public:
  CBlock() = default;
  CBlock(const CBlock&) = delete;
  CBlock& operator=(const CBlock&) = delete;
  virtual ~CBlock() = default;

  // Appends at the end (the list grows in `arena`); returns 1.
  int Add(CArena& arena, CStatement* statement);
  // Dumps each statement one level deeper; the block writes nothing of its own.  Iterative.
  virtual void Dump(FILE* file, int indent) const;

  bool IsEmpty() const { return statements.empty(); }

  StatementList statements;
  int32_t frameSize = 0;  // bytes of locals declared in the block, set when its scope closes
};

// Writes the listing lines of blocks and statements from an explicit stack, so that nesting of
// any depth never deepens the call stack.  A statement around inner blocks writes its own first
// lines at once and queues the rest (texts, inner blocks, an ELSEIF clause) with Then.
class CDumpWriter {
 public:
  explicit CDumpWriter(FILE* listing) : file(listing) {}
  void Run(const CBlock& block, int indent);
  void Run(const CStatement& statement, int indent);
  // Queued parts are written in the order queued, after the statement's own lines.
  void Then(const CBlock& block, int indent);
  void Then(const CStatement& statement, int indent);
  void Then(std::string text);
  void Write(const std::string& text) const;

  // "| " repeated indent times.  Beyond kMaxListedDepth the lines keep the prefix of that depth,
  // so a listing of very deep nesting stays linear in the program's size.
  static std::string Prefix(int indent);
  static int ListedDepth(int indent);
  static constexpr int kMaxListedDepth = 100;

  FILE* file;

 private:
  struct Item {
    const CBlock* block = nullptr;
    const CStatement* statement = nullptr;
    int indent = 0;
    std::string text;
  };
  void Drive();
  std::vector<Item> stack;
  std::vector<Item> queued;
};

class CStatement {
 public:
  CStatement() = default;
  CStatement(const CStatement&) = delete;
  CStatement& operator=(const CStatement&) = delete;
  virtual ~CStatement() = default;

  // Calls the visitor's Visit for this statement's kind; the base, for a kind the model does
  // not define, calls Visit(CStatement&).
  virtual int Accept(CStatementVisitor& visitor) { return visitor.Visit(*this); }
  // Writes the statement's listing lines; the base writes nothing.
  virtual void Dump(FILE* file, int indent) const;

  // Dumping in steps (see CDumpWriter): the statements around inner blocks override this; the
  // others dump in one step.
  virtual void DumpStep(CDumpWriter& writer, int indent) const;

  int32_t address = 0;  // code, data, table address or frame offset, by statement kind
};

// { ... } inside a method body.
class CBlockStatement : public CStatement {
 public:
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;
  void DumpStep(CDumpWriter& writer, int indent) const override;

  CBlock block;
};

// IF (and each ELSEIF, reached through elseIf).
class CDecideStatement : public CStatement {
 public:
  explicit CDecideStatement(CExpression* decideCondition) : condition(decideCondition) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;
  void DumpStep(CDumpWriter& writer, int indent) const override;

  CExpression* condition;
  CBlock thenBlock;
  CBlock elseBlock;
  CDecideStatement* elseIf = nullptr;  // next clause; it stands in no block (not owned here)
};

// WHILE; address: the first instruction of the condition.
class CLoopStatement : public CStatement {
 public:
  explicit CLoopStatement(CExpression* loopCondition) : condition(loopCondition) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;
  void DumpStep(CDumpWriter& writer, int indent) const override;

  CExpression* condition;
  CBlock body;
};

// A method definition; address: the method's first instruction.
class CMethodStatement : public CStatement {
 public:
  explicit CMethodStatement(CProtoSymbol* methodPrototype) : prototype(methodPrototype) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;
  void DumpStep(CDumpWriter& writer, int indent) const override;

  CProtoSymbol* prototype;  // the declared prototype it implements (not owned)
  CBlock body;
};

// A call, as a statement in a block or as the target of a call leaf in an expression.
class CCallStatement : public CStatement {
 public:
  CCallStatement(CProtoSymbol* calledPrototype, CBlock* argumentBlock)
      : prototype(calledPrototype), arguments(argumentBlock) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CProtoSymbol* prototype;            // the matched overload (not owned)
  CBlock* arguments;  // one CParamStatement per argument, in source order
};

// One call argument.
class CParamStatement : public CStatement {
 public:
  explicit CParamStatement(CExpression* argument) : expression(argument) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CExpression* expression;
};

// target = value; address: its assignment instruction.
class CAssignStatement : public CStatement {
 public:
  CAssignStatement(TypeKind targetKind, CExpression* assignTarget, CExpression* assignValue)
      : kind(targetKind), target(assignTarget), value(assignValue) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  TypeKind kind;                        // base kind of the target variable
  CExpression* target;  // an EXPR_VAR or EXPR_INDEX node
  CExpression* value;
};

// OUT / OUTCH of a value, or OUT of a text; address: its OUT instruction.
class COutStatement : public CStatement {
 public:
  COutStatement(CExpression* outExpression, int outAsChar)
      : asChar(outAsChar), expression(outExpression) {}
  // The text is not copied: it lives in the arena too.
  explicit COutStatement(std::string_view outText) : text(outText) {}
  explicit COutStatement(std::string&&) = delete;
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  int32_t asChar = 0;                       // nonzero: character output (expression form)
  CExpression* expression = nullptr;     // null for the text form
  std::optional<std::string_view> text;  // the string literal's characters, text form only
};

// WEIGHT(expression); address: its set-weight instruction.
class CWithStatement : public CStatement {
 public:
  explicit CWithStatement(CExpression* weight) : expression(weight) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CExpression* expression;
};

// CLEAR(name) of a Fuzzy variable; address: its clear instruction.
class CClearStatement : public CStatement {
 public:
  explicit CClearStatement(CVarSymbol* variable) : symbol(variable) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CVarSymbol* symbol;
};

// A variable declaration; address: data address, fixed address or frame offset.
class CVarStatement : public CStatement {
 public:
  explicit CVarStatement(CVarSymbol* variable) : symbol(variable) {}
  // Bytes of the variable's type in target memory; 0 without a symbol.
  int32_t Size() const;
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CVarSymbol* symbol;
};

// A class (DEFINE); address: the data address where its members begin.
class CClassStatement : public CStatement {
 public:
  explicit CClassStatement(CClassSymbol* classSymbol) : symbol(classSymbol) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CClassSymbol* symbol;
};

// A fuzzy range; address: its 3-byte table.
class CRangeStatement : public CStatement {
 public:
  explicit CRangeStatement(CRangeSymbol* range) : symbol(range) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CRangeSymbol* symbol;
};

// A fuzzy rule; address: its table (count byte, then four bytes per entry).
class CRuleStatement : public CStatement {
 public:
  explicit CRuleStatement(CRuleSymbol* rule) : symbol(rule) {}
  int Accept(CStatementVisitor& visitor) override { return visitor.Visit(*this); }
  void Dump(FILE* file, int indent) const override;

  CRuleSymbol* symbol;
};
