// The compiler object: the target image plus everything the parser actions build the program through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/file_stack.h"
#include "model/expression.h"
#include "model/statement.h"
#include "model/type.h"
#include "model/value.h"
#include "semantic/symbol.h"
#include "semantic/symbol_table.h"
#include "semantic/warnings.h"
#include "target/target.h"

class CLexer;

// Operations that fail return null (or 0) and leave their message in `errorText`, inherited
// from the target; the parser action that called them reports it.
class CCompiler : public CTarget {
 public:
  CCompiler();
  ~CCompiler() override;

  // ---- Lifecycle (compiler.cpp) ----
  // Readies the compiler before any source is read: the lexer for the file stack, the symbol
  // table with the predeclared `start`, and the target image.  1 on success.
  int BeginProgram(CLexer* lexer, int externalRamK, int codeLocation, int dataLocation);
  // Pushes a source file on the file stack (the main file, or a used one).
  bool OpenSource(const std::string& path);
  // The lexer's end-of-file hook: resumes the including file (true) or ends the input (false).
  bool EndSource();
  // Generates the program block, then resolves the forward calls: 1, or 0 with errorText set.
  int Generate();
  // Writes the debug listing at the given level into an open file.
  void WriteDebugListing(FILE* file, int level, int depth);

  // ---- Where the parse is: contexts, blocks, scopes and names (compiler_state.cpp) ----
  int PushContext(CSymbol* symbol);
  int PopContext();  // 0 on an empty stack
  CSymbol* CurrentContext() const;
  int PushBlock(CBlock* block);
  int PopBlock();  // 0 on an empty stack
  CBlock* TopBlock();
  // A scope is a block, a parse-time frame and a symbol-table level, opened and closed together.
  int OpenScope(CBlock* block);
  int CloseScope();
  // Number of parse-time frames open: the frame depth of a local declared now.
  int FrameDepth() const { return static_cast<int>(frameStack.size()); }
  // The newest symbol of that name owned by `context`, else the newest without owner.
  CSymbol* FindSymbol(CSymbol* context, const std::string& name);
  // As FindSymbol, but a name that resolves to nothing leaves its message in errorText.
  CSymbol* ResolveName(CSymbol* context, const std::string& name);
  // The newest range of that name, whatever its owner and level.
  CRangeSymbol* FindRange(const std::string& name);

  // ---- Declarations (declarations.cpp) ----
  bool IsRedefinition(const std::string& name);
  int UseFile(const std::string& path);
  CClassSymbol* DeclareClass(const std::string& name);
  CVarSymbol* DeclareVariable(const std::string& name, const CType* type);
  CConstSymbol* DeclareConstant(const std::string& name, const CExpression* expression);
  // A prototype under construction: not entered; the compiler keeps it until it is declared
  // or discarded.
  CProtoSymbol* CreatePrototype(const std::string& name);
  CVarSymbol* AddParameter(const std::string& name, const CType* type);
  int DeclarePrototype(const CType* returnType, CSymbol* prototype);
  // A probe for matching: same name, owner, level and result type, no parameters.
  CProtoSymbol* CopyPrototype(CSymbol* symbol);
  CVarSymbol* AddCallArgument(const CExpression* expression);
  CProtoSymbol* FindPrototype(const CProtoSymbol* probe, bool exact);
  // Frees a prototype that was never entered (a probe, or one whose declaration failed).
  // Symbols the table owns, and ones still on the context stack, are left alone.
  void DiscardPrototype(CSymbol* prototype);
  CRangeSymbol* DeclareRange(const std::string& name, const CExpression* center,
                             const CExpression* plateau, const CExpression* edge);
  CRuleSymbol* DeclareRule(const std::string& name);
  CRangeValueSymbol* AddRuleEntry(const std::string& rangeName, const CExpression* result);
  int DeclareMethodLocals(CSymbol* prototype);

  // Storage given right after a declaring statement is built.  0 with errorText set when the
  // storage cannot be placed (the build then fails; no address is ever made up).
  int PlaceMemberVariable(CVarSymbol* variable);
  int PlaceLocalVariable(CVarSymbol* variable);
  int PlaceClass(CClassStatement* statement);
  int PlaceRange(CRangeStatement* statement);
  int PlaceRule(CRuleStatement* statement);
  int PlaceRuleEntry(const std::string& rangeName);

  // ---- Statement builders (statement_builders.cpp) ----
  CClassStatement* NewClassStatement(CSymbol* symbol);
  CRangeStatement* NewRangeStatement(CSymbol* symbol);
  CRuleStatement* NewRuleStatement(CSymbol* symbol);
  CMethodStatement* NewMethodStatement(CSymbol* probe);
  CVarStatement* NewVarStatement(CSymbol* symbol);
  CAssignStatement* NewAssignStatement(std::unique_ptr<CExpression> target,
                                       std::unique_ptr<CExpression> value);
  COutStatement* NewOutStatement(std::unique_ptr<CExpression> expression, int asChar);
  COutStatement* NewOutStringStatement(const char* text);
  CBlockStatement* NewBlockStatement();
  // Takes the argument block (made by NewArgumentBlock) whatever the outcome.
  CCallStatement* NewCallStatement(CSymbol* symbol, CBlock* arguments, int append);
  CParamStatement* NewParamStatement(std::unique_ptr<CExpression> expression);
  CLoopStatement* NewLoopStatement(std::unique_ptr<CExpression> condition);
  CDecideStatement* NewDecideStatement(std::unique_ptr<CExpression> condition, int detached);
  CWithStatement* NewWithStatement(std::unique_ptr<CExpression> expression);
  CClearStatement* NewClearStatement(CSymbol* symbol);
  // An empty block for a call's arguments, kept by the compiler until its call takes it.
  CBlock* NewArgumentBlock();
  // A block for a method body that matched no prototype: its statements are parsed and
  // checked, then dropped with the compiler.
  CBlock* NewDiscardedBody();

  // ---- Expression builders (expression_builders.cpp) ----
  std::unique_ptr<CExpression> NewIntegerValue(TypeKind kind, int32_t value);
  std::unique_ptr<CExpression> NewRealValue(TypeKind kind, float value);
  std::unique_ptr<CExpression> NewFuzzyValue(TypeKind kind, std::unique_ptr<CExpression> value,
                                             std::unique_ptr<CExpression> weight);
  std::unique_ptr<CExpression> NewSymbolValue(CSymbol* symbol);
  std::unique_ptr<CExpression> NewCallValue(CStatement* statement);
  std::unique_ptr<CExpression> NewValueExpression(const CValue& value);
  std::unique_ptr<CExpression> NewBinaryExpression(std::unique_ptr<CExpression> left, ExprOp op,
                                                   std::unique_ptr<CExpression> right);
  std::unique_ptr<CExpression> NewIsExpression(std::unique_ptr<CExpression> left,
                                               std::unique_ptr<CExpression> right);
  std::unique_ptr<CExpression> NewUnaryExpression(ExprOp op, std::unique_ptr<CExpression> operand);
  std::unique_ptr<CType> NewType(TypeKind kind, int32_t reference, uint32_t flags);
  std::unique_ptr<CType> NewArrayType(const CType* element, const CExpression* subscript);

  // ---- Values waiting on the parser's stack (compiler.cpp) ----
  // The parser's value slots hold plain pointers, and error recovery pops slots without
  // running actions.  So the expressions and types waiting there are kept here until an
  // action takes them back; whatever an error left behind goes with the compiler.  Taking
  // back a pointer that was never parked (or was taken already) gives null.
  CExpression* Park(std::unique_ptr<CExpression> expression);
  CType* Park(std::unique_ptr<CType> type);
  std::unique_ptr<CExpression> TakeExpression(void* parked);
  std::unique_ptr<CType> TakeType(void* parked);

  // ---- Warnings (warnings.cpp) ----
  // Records a warning at the token just scanned.
  void Warn(const std::string& text);
  // Warns when a constant stored into `kind` does not keep its value there.
  void WarnNarrowing(const CExpression& value, TypeKind kind);
  // The place of the token just scanned, for a warning to come.
  CompilerWarning Here() const;
  // Notes where the literal just made stands, so a warning about it can point at it.
  std::unique_ptr<CExpression> RememberLiteral(std::unique_ptr<CExpression> literal);
  struct LiteralPlace {
    const CExpression* node = nullptr;
    int line = 0, column = 0, length = 0;
  } lastLiteral;
  std::vector<CompilerWarning> warnings;
  CLexer* sourceLexer = nullptr;  // where Warn finds the place (not owned)
  // What the whole-program checks look at: user declarations with their places (a variable
  // knows whether it was named) and the predeclared start(). A place is
  // numbers and a file index only: a program may declare millions of names.
  struct Declared {
    const CSymbol* symbol;
    int file;  // index into declaredFiles
    int line, column;
  };
  std::vector<Declared> declaredVariables, declaredMethods;
  std::vector<std::pair<std::string, std::string>> declaredFiles;  // name and absolute path
  // Records a declaration of symbol at the current place, pointing at its name.
  void NoteDeclared(std::vector<Declared>& list, const CSymbol* symbol);
  const CSymbol* startPrototype = nullptr;

  // ---- State ----
  std::vector<CSymbol*> contextStack;  // owner symbols, innermost last (not owned)
  std::vector<CBlock*> blockStack;     // open blocks, innermost last (not owned)
  CFileStack fileStack;
  CSymScope scope;
  CBlock programBlock;             // every top-level statement in source order
  CBlock* currentBlock = nullptr;  // receives new statements; null until BeginProgram

 private:
  // Appends to the current block, or keeps the statement aside when it stands in no block
  // (an ELSEIF clause, a call used as a value until its leaf takes it).
  // Leaves the message and answers null: the shape of every refusal.
  std::nullptr_t Refuse(const std::string& message) {
    errorText = message;
    return nullptr;
  }
  CStatement* Append(std::unique_ptr<CStatement> statement, bool standsAlone);
  std::unique_ptr<CStatement> TakeDetached(CStatement* statement);
  std::unique_ptr<CBlock> TakeArgumentBlock(CBlock* block);
  std::unique_ptr<CSymbol> TakeUnentered(CSymbol* symbol);
  CProtoSymbol* FindPrototypeAt(const CProtoSymbol* probe, int32_t level, const CSymbol* owner,
                                bool exact);

  // Name resolution asks for the newest live symbol of a name with a given owner.  Walking
  // every same-named symbol for that would make many owners of one name (a member x in
  // each of thousands of classes) quadratic, so each (owner, name) pair keeps its own
  // stack of entered symbols, newest last.  An entry is live while the scope it was entered
  // in is open: scopes are told apart by an instance number per open level.
  struct OwnedName {
    const CSymbol* owner;
    std::string name;
    bool operator==(const OwnedName& other) const = default;
  };
  struct OwnedNameHash {
    size_t operator()(const OwnedName& key) const;
  };
  struct Entered {
    CSymbol* symbol;
    int32_t level;
    uint64_t instance;  // the scope instance open at `level` when it was entered
  };
  // Enters a symbol into the table at the current level and into the index.
  void Enter(std::unique_ptr<CSymbol> symbol);
  bool IsLive(const Entered& entry) const;
  // The stack of (owner, name) with its dead entries popped off the top; null when empty.
  std::vector<Entered>* LiveStack(const CSymbol* owner, const std::string& name);
  CSymbol* NewestOwnedBy(const CSymbol* owner, const std::string& name);

  std::unordered_map<OwnedName, std::vector<Entered>, OwnedNameHash> ownedNames;
  std::unordered_map<std::string, CRangeSymbol*> rangesByName;  // ranges never leave scope
  bool dataSharesCodeRegion = false;       // both placed on-chip, or both in external RAM
  std::vector<uint64_t> openInstances{0};  // instance of the scope open at each level
  uint64_t instanceCounter = 0;
  std::unique_ptr<CExpression> Built(std::unique_ptr<CExpression> node, int made);

  std::vector<std::unique_ptr<CSymbol>> unentered;      // prototypes being built, probes
  StatementList detached;                               // statements that stand in no block
  std::vector<std::unique_ptr<CBlock>> argumentBlocks;  // pushed, not yet taken by a call
  std::unordered_map<const void*, std::unique_ptr<CExpression>> parkedExpressions;
  std::unordered_map<const void*, std::unique_ptr<CType>> parkedTypes;
};
