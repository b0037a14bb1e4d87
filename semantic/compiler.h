// The compiler object: the target image plus everything the parser actions build the program through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "image/target.h"
#include "model/arena.h"
#include "model/expression.h"
#include "model/statement.h"
#include "model/symbol.h"
#include "model/type.h"
#include "model/value.h"
#include "semantic/name_index.h"
#include "semantic/symbol_table.h"
#include "semantic/source_position.h"
#include "semantic/warnings.h"

// Operations that fail return null (or 0) and leave their message in `errorText`, inherited
// from the target; the parser action that called them reports it.
class CCompiler : public CTarget {
 public:
  CCompiler();
  ~CCompiler() override;

  // ---- Lifecycle (compiler.cpp) ----
  // Readies the compiler before any source is read: the symbol table with the predeclared
  // `start`, and the target image.  1 on success.
  int BeginProgram(int externalRamK, int codeLocation, int dataLocation);
  // Generates the program block, then resolves the forward calls: 1, or 0 with errorText set.
  int Generate();
  // Writes the debug listing at the given level into an open file.
  void WriteDebugListing(FILE* file, int level, int depth);

  // ---- Generation during the parse (streaming.cpp) ----
  // A build whose listing does not show the program need not keep it: each method is
  // generated as soon as its definition ends, and its body (statements, expressions, locals)
  // released.
  // The image and every message stay as a build that generates at the end would give them;
  // where that cannot be promised (a table or shared data placed after generated code, a
  // method defined twice) the build is marked to be redone without streaming.
  // Call once, right after BeginProgram.
  void EnableStreaming();
  // At the start of a top-level method definition: its probe, body and locals go to the
  // body arena.
  void BeginMethodBody();
  // At the end of a method definition: generates what the program block gained and
  // releases the body; true when the body was released.
  bool EndMethodDefinition(bool parseFailed);
  // Nothing will be generated (the parse reported an error, or the build ends on warnings
  // taken as errors): the image goes back to what it was before the first streamed code
  // (the failure summary reads it).
  void StopStreaming();
  // The build has to be redone without streaming; its parse stops and reports nothing.
  bool StreamAborted() const { return streamAborted; }

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
  CSymbol* FindSymbol(CSymbol* context, std::string_view name);
  // As FindSymbol, but a name that resolves to nothing leaves its message in errorText.
  CSymbol* ResolveName(CSymbol* context, std::string_view name);
  // The newest range of that name, whatever its owner and level.
  CRangeSymbol* FindRange(std::string_view name);

  // ---- Declarations (declarations.cpp) ----
  bool IsRedefinition(std::string_view name);
  CClassSymbol* DeclareClass(std::string_view name);
  CVarSymbol* DeclareVariable(std::string_view name, const CType* type);
  CConstSymbol* DeclareConstant(std::string_view name, const CExpression* expression);
  // A prototype under construction: not entered; the compiler keeps it until it is declared
  // or discarded.
  CProtoSymbol* CreatePrototype(std::string_view name);
  CVarSymbol* AddParameter(std::string_view name, const CType* type);
  int DeclarePrototype(const CType* returnType, CSymbol* prototype);
  // A probe for matching: same name, owner, level and result type, no parameters.
  CProtoSymbol* CopyPrototype(CSymbol* symbol);
  CVarSymbol* AddCallArgument(const CExpression* expression);
  CProtoSymbol* FindPrototype(const CProtoSymbol* probe, bool exact);
  // Drops a prototype that was never entered (a probe, or one whose declaration failed).
  // Symbols in the table, and ones still on the context stack, are left alone.
  void DiscardPrototype(CSymbol* prototype);
  CRangeSymbol* DeclareRange(std::string_view name, const CExpression* center,
                             const CExpression* plateau, const CExpression* edge);
  CRuleSymbol* DeclareRule(std::string_view name);
  CRangeValueSymbol* AddRuleEntry(std::string_view rangeName, const CExpression* result);
  int DeclareMethodLocals(CSymbol* prototype);

  // Storage given right after a declaring statement is built.  0 with errorText set when the
  // storage cannot be placed (the build then fails; no address is ever made up).
  int PlaceMemberVariable(CVarSymbol* variable);
  int PlaceLocalVariable(CVarSymbol* variable);
  int PlaceClass(CClassStatement* statement);
  int PlaceRange(CRangeStatement* statement);
  int PlaceRule(CRuleStatement* statement);
  int PlaceRuleEntry(std::string_view rangeName);

  // ---- Statement builders (statement_builders.cpp) ----
  CClassStatement* NewClassStatement(CSymbol* symbol);
  CRangeStatement* NewRangeStatement(CSymbol* symbol);
  CRuleStatement* NewRuleStatement(CSymbol* symbol);
  CMethodStatement* NewMethodStatement(CSymbol* probe);
  CVarStatement* NewVarStatement(CSymbol* symbol);
  CAssignStatement* NewAssignStatement(CExpression* target, CExpression* value);
  COutStatement* NewOutStatement(CExpression* expression, int asChar);
  COutStatement* NewOutStringStatement(const char* text);
  CBlockStatement* NewBlockStatement();
  // Takes the argument block (made by NewArgumentBlock) whatever the outcome.
  CCallStatement* NewCallStatement(CSymbol* symbol, CBlock* arguments, int append);
  CParamStatement* NewParamStatement(CExpression* expression);
  CLoopStatement* NewLoopStatement(CExpression* condition);
  CDecideStatement* NewDecideStatement(CExpression* condition, int detached);
  CWithStatement* NewWithStatement(CExpression* expression);
  CClearStatement* NewClearStatement(CSymbol* symbol);
  // An empty block for a call's arguments, kept by the compiler until its call takes it.
  CBlock* NewArgumentBlock();
  // A block for a method body that matched no prototype: its statements are parsed and
  // checked, but stand in no block of the program.
  CBlock* NewDiscardedBody();

  // ---- Expression builders (expression_builders.cpp) ----
  // Nodes and types are made in `arena`; a failed builder leaves its operands where they were.
  CExpression* NewIntegerValue(TypeKind kind, int32_t value);
  CExpression* NewRealValue(TypeKind kind, float value);
  CExpression* NewFuzzyValue(TypeKind kind, CExpression* value, CExpression* weight);
  CExpression* NewSymbolValue(CSymbol* symbol);
  CExpression* NewCallValue(CStatement* statement);
  CExpression* NewValueExpression(const CValue& value);
  CExpression* NewBinaryExpression(CExpression* left, ExprOp op, CExpression* right);
  CExpression* NewIsExpression(CExpression* left, CExpression* right);
  CExpression* NewUnaryExpression(ExprOp op, CExpression* operand);
  // A plain Byte, Integer, Real or Fuzzy is one shared type per build (every declaration
  // copies the type it is given, none writes into it).
  const CType* NewType(TypeKind kind, int32_t reference, uint32_t flags);
  const CType* NewArrayType(const CType* element, const CExpression* subscript);

  // ---- Warnings (warnings.cpp) ----
  // Records a warning at the token just scanned.
  void Warn(const std::string& text);
  // Warns when a constant stored into `kind` does not keep its value there.
  void WarnNarrowing(const CExpression& value, TypeKind kind);
  // The place of the token just scanned, for a warning to come.
  CompilerWarning Here() const;
  // Notes where the literal just made stands, so a warning about it can point at it.
  CExpression* RememberLiteral(CExpression* literal);
  struct LiteralPlace {
    const CExpression* node = nullptr;
    int line = 0, column = 0, length = 0;
  } lastLiteral;
  std::vector<CompilerWarning> warnings;
  const CSourcePosition* source = nullptr;  // where Warn finds the place (not owned)
  // What the whole-program checks look at: user declarations with their places (a variable
  // knows whether it was named) and the predeclared start(). A place is
  // numbers and a file index only: a program may declare millions of names.
  struct Declared {
    const CSymbol* symbol;  // null for an unused local of a released body: see name
    int file;               // index into declaredFiles
    int line, column;
    std::string_view name = {};  // such a local's name, kept in the arena
  };
  std::vector<Declared> declaredVariables, declaredMethods;
  std::vector<std::pair<std::string, std::string>> declaredFiles;  // name and absolute path
  unsigned declaredFileSerial = 0;  // the file of declaredFiles.back()
  // Records a declaration of symbol at the current place, pointing at its name.
  void NoteDeclared(std::vector<Declared>& list, const CSymbol* symbol);
  const CSymbol* startPrototype = nullptr;

  // ---- State ----
  // Declared first, so it goes last: every node, statement, block, type and text of the
  // build lives here and is released at once with the compiler.
  CArena arena;
  // While streaming, the body of the method being defined: reset when it has been generated.
  CArena bodyArena;
  // Where the nodes of the construct being parsed go.
  CArena& Nodes() { return inMethodBody ? bodyArena : arena; }
  // Where things that belong to `owner` go (a variable's shared leaf, a prototype's
  // parameters): with it.
  CArena& ArenaOf(const void* owner) { return inMethodBody && bodyArena.Owns(owner) ? bodyArena : arena; }
  std::vector<CSymbol*> contextStack;  // owner symbols, innermost last (not owned)
  std::vector<CBlock*> blockStack;     // open blocks, innermost last (not owned)
  CSymScope scope;
  CBlock programBlock;             // every top-level statement in source order
  CBlock* currentBlock = nullptr;  // receives new statements; null until BeginProgram

 private:
  // Leaves the message and answers null: the shape of every refusal.
  std::nullptr_t Refuse(const std::string& message) {
    errorText = message;
    return nullptr;
  }
  // Appends to the current block, unless the statement stands in no block (an ELSEIF clause,
  // a call used as a value, which its leaf reaches).
  template <typename Statement>
  Statement* Append(Statement* statement, bool standsAlone) {
    if (!standsAlone) currentBlock->Add(currentBlock == &programBlock ? arena : Nodes(), statement);
    return statement;
  }
  bool TakeArgumentBlock(CBlock* block);
  bool TakeUnentered(CSymbol* symbol);
  CProtoSymbol* FindPrototypeAt(const CProtoSymbol* probe, int32_t level, const CSymbol* owner,
                                bool exact);

  // Enters a symbol into the table at the current level and into the index.
  void Enter(CSymbol* symbol);
  // A symbol made in the arena, its name copied there too.
  template <typename Symbol>
  Symbol* MakeSymbol(std::string_view name, CSymbol* owner) {
    return MakeSymbolIn<Symbol>(Nodes(), name, owner);
  }
  // Symbols that outlive any one method (classes, prototypes, tables) go to `arena`.
  template <typename Symbol>
  Symbol* MakeSymbolIn(CArena& in, std::string_view name, CSymbol* owner) {
    return in.Make<Symbol>(in.Text(name), owner);
  }
  // Name resolution asks for the newest symbol of a name with a given owner; walking every
  // same-named symbol for that would make many owners of one name (a member x in each of
  // thousands of classes) quadratic, so the entered symbols are indexed by (owner, name).
  // File-level names (level 0) stay for the whole build; the names of the open scopes
  // (a method body and the blocks in it) are few, asked again and again, and go when their
  // scope closes: they have an index of their own, asked first, as its names are the newer.
  CSymbol* NewestOwnedBy(const CSymbol* owner, std::string_view name);
  void ForgetClosingNames();
  CNameIndex fileNames;
  CNameIndex scopedNames;
  std::unordered_map<std::string_view, CRangeSymbol*, NameHash> rangesByName;  // ranges never leave scope
  bool dataSharesCodeRegion = false;       // both placed on-chip, or both in external RAM
  CExpression* Built(CExpression* node, int made);

  // Streaming state (streaming.cpp).
  bool AbortStreamIfGenerated();
  bool GenerateStatements(size_t& next);
  void SettleBodyDeclarations();
  bool streaming = false;       // methods are generated as they end
  bool inMethodBody = false;    // the current definition's nodes go to bodyArena
  bool streamStarted = false;   // code was generated during the parse
  bool streamFailed = false;    // that generation failed; its message is in streamError
  bool streamAborted = false;
  bool forwardCall = false;     // the current body calls a method not yet defined
  size_t generatedCount = 0;    // statements of the program block generated so far
  size_t bodyDeclarations = 0;  // declaredVariables.size() when the current body began
  std::string streamError;
  // The image as it was before the first streamed code, for a build that ends without code.
  struct ImageBefore {
    int codeCursor = 0, codeStart = 0, tableStart = 0, startAddress = 0;
    bool codeFull = false;
    std::vector<uint8_t> image;
  } before;

  std::vector<CSymbol*> unentered;  // prototypes being built, probes
  std::vector<CBlock*> argumentBlocks;  // pushed, not yet taken by a call
  const CType* plainTypes[TYPE_FUZZY + 1] = {};  // made at first use
};
