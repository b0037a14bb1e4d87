// Reaches each statement kind from outside the model: a layer above it (code generation)
// implements the visitor, and a statement's Accept calls the Visit of its own class, so the
// model never names what consumes it.
#pragma once

class CStatement;
class CBlockStatement;
class CDecideStatement;
class CLoopStatement;
class CMethodStatement;
class CCallStatement;
class CParamStatement;
class CAssignStatement;
class COutStatement;
class CWithStatement;
class CClearStatement;
class CVarStatement;
class CClassStatement;
class CRangeStatement;
class CRuleStatement;

// Each Visit returns the visitor's result for that statement (for code generation: 1, or 0
// on failure).
class CStatementVisitor {
 public:
  virtual ~CStatementVisitor() = default;
  // A statement of no kind the model defines.
  virtual int Visit(CStatement& statement) = 0;
  virtual int Visit(CBlockStatement& statement) = 0;
  virtual int Visit(CDecideStatement& statement) = 0;
  virtual int Visit(CLoopStatement& statement) = 0;
  virtual int Visit(CMethodStatement& statement) = 0;
  virtual int Visit(CCallStatement& statement) = 0;
  virtual int Visit(CParamStatement& statement) = 0;
  virtual int Visit(CAssignStatement& statement) = 0;
  virtual int Visit(COutStatement& statement) = 0;
  virtual int Visit(CWithStatement& statement) = 0;
  virtual int Visit(CClearStatement& statement) = 0;
  virtual int Visit(CVarStatement& statement) = 0;
  virtual int Visit(CClassStatement& statement) = 0;
  virtual int Visit(CRangeStatement& statement) = 0;
  virtual int Visit(CRuleStatement& statement) = 0;
};
