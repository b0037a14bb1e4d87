// The actions of the grammar's productions, one case per production.
#include <memory>
#include <string>
#include <utility>

#include "frontend/parser.h"
#include "frontend/value_slot.h"

namespace {

// The program objects a slot can hold (which one, the symbol's kind says).
template <typename Object>
Object* As(const yyvalue& slot) {
  return static_cast<Object*>(slot.object);
}

std::string Name(const yyvalue& slot) {
  return slot.text == nullptr ? std::string() : std::string(slot.text);
}

yyvalue Holding(void* object) {
  yyvalue slot{};
  slot.object = object;
  return slot;
}

}  // namespace

// Every failed compiler operation is reported once, here, with the compiler's errorText.
// Values: the result is preset to the value of the production's first symbol. Every heap
// text the lexer made, and every expression and type an action receives, is freed exactly
// once: by the operation that takes it over, by the action after the operation copied it,
// or (for values an error pops) by DiscardValue. A marker that takes over a value from
// before it clears that slot, so that an error popping the slot later finds nothing.
void CParser::Action(int production) {
  // Reports the compiler's message when an operation gave nothing back.
  auto check = [this](const void* made) {
    if (made == nullptr) ReportCompilerError();
  };
  // Expressions and types wait on the stack parked in the compiler (so that an error popping
  // them cannot lose them); taking one back empties its slot.
  auto takeExpression = [this](yyvalue& slot) {
    std::unique_ptr<CExpression> expression = compiler.TakeExpression(slot.object);
    slot = yyvalue{};
    return expression;
  };
  auto takeType = [this](yyvalue& slot) {
    std::unique_ptr<CType> type = compiler.TakeType(slot.object);
    slot = yyvalue{};
    return type;
  };
  auto park = [this](auto made) { return Holding(compiler.Park(std::move(made))); };
  switch (production) {
    case 1:  // program: declaration_list
      break;
    case 2:  // declaration_list: (empty)
      break;
    case 3:  // declaration_list: declaration_list declaration
      break;
    case 4: {  // declaration: use_clause ';'
      // Reduced without a lookahead: the next token comes from the used file.
      yyvalue& path = Rhs(1);
      if (path.text) UseFile(path.text);
      FreeText(path);
      resultValue = yyvalue{};
      break;
    }
    case 5:  // declaration: class_definition
    case 6:  // declaration: constant_declaration ';'
    case 7:  // declaration: range_declaration ';'
    case 8:  // declaration: rule_declaration
    case 9:  // declaration: method_definition
      resultValue = yyvalue{};
      break;
    case 10:  // declaration: use_clause error
      FreeText(Rhs(1));
      Fail("USE: Missing semi-colon.");
      break;
    case 11:  // declaration: constant_declaration error
      Fail("CONSTANT: Missing semi-colon.");
      break;
    case 12:  // declaration: range_declaration error
      Fail("RANGE: Missing semi-colon.");
      break;
    case 13:                 // use_clause: USE STRING
      resultValue = Rhs(2);  // the file name, freed by the declaration
      Rhs(2) = yyvalue{};
      break;
    case 14: {  // class_open: (empty)
      CClassSymbol* symbol = compiler.DeclareClass(Name(Rhs(0)));
      check(symbol);
      FreeText(Rhs(0));  // the class name
      CClassStatement* statement = compiler.NewClassStatement(symbol);
      if (statement == nullptr) {
        ReportCompilerError();
        symbol = nullptr;
      } else if (!compiler.PlaceClass(statement)) {
        ReportCompilerError();
      }
      resultValue = Holding(symbol);
      break;
    }
    case 15:                                       // class_scope_open: (empty)
      compiler.PushContext(As<CSymbol>(Rhs(-1)));  // the class_open value
      break;
    case 16:  // class_definition: DEFINE IDENTIFIER class_open '{' class_scope_open member_list '}'
      resultValue = Rhs(3);
      compiler.PopContext();
      break;
    case 17:  // class_definition: DEFINE error '}'
      Fail("DEFINE: unique identifier required");
      break;
    case 18:  // member_list: (empty)
      break;
    case 19:  // member_list: member_list member
      break;
    case 20:  // member: constant_declaration ';'
      break;
    case 21:  // member: variable_declaration ';'
      if (!compiler.PlaceMemberVariable(As<CVarSymbol>(Rhs(1)))) ReportCompilerError();
      break;
    case 22:  // member: method_prototype ';'
      break;
    case 23:  // member: constant_declaration error ';'
      Fail("CONSTANT: Missing semi-colon.");
      break;
    case 24:  // member: variable_declaration error ';'
      Fail("VARIABLE: Missing semi-colon.");
      break;
    case 25:  // member: method_prototype error ';'
      Fail("PROTOTYPE: Missing semi-colon.");
      break;
    case 26:  // member: constant_declaration error '}'
      Fail("CONSTANT: Missing semi-colon.");
      break;
    case 27:  // member: variable_declaration error '}'
      Fail("VARIABLE: Missing semi-colon.");
      break;
    case 28:  // member: method_prototype error '}'
      Fail("PROTOTYPE: Missing semi-colon.");
      break;
    case 29: {  // variable_declaration: IDENTIFIER AS type_spec
      std::unique_ptr<CType> type = takeType(Rhs(3));
      CVarSymbol* variable = compiler.DeclareVariable(Name(Rhs(1)), type.get());
      check(variable);
      FreeText(Rhs(1));
      compiler.NewVarStatement(variable);  // a missing variable was reported just above
      resultValue = Holding(variable);
      break;
    }
    case 30:  // variable_declaration: IDENTIFIER AS error
      FreeText(Rhs(1));
      Fail("VARIABLE:  Bad data type.");
      break;
    case 31:  // variable_declaration: IDENTIFIER error
      FreeText(Rhs(1));
      Fail("VARIABLE:  Bad data type.");
      break;
    case 32:  // variable_declaration: error
      Fail("VARIABLE:  Bad declaration.");
      break;
    case 33: {  // prototype_open: (empty)
      CProtoSymbol* prototype = compiler.CreatePrototype(Name(Rhs(0)));
      check(prototype);
      FreeText(Rhs(0));  // the prototype name
      resultValue = Holding(prototype);
      break;
    }
    case 34:                                       // prototype_scope_open: (empty)
      compiler.PushContext(As<CSymbol>(Rhs(-1)));  // the prototype_open value
      break;
    case 35: {  // method_prototype: DO IDENTIFIER prototype_open '(' prototype_scope_open parameter_list ')' result_type
      CSymbol* prototype = compiler.CurrentContext();
      compiler.PopContext();
      std::unique_ptr<CType> result = takeType(Rhs(8));
      if (!compiler.DeclarePrototype(result.get(), prototype)) {
        ReportCompilerError();
        compiler.DiscardPrototype(prototype);
      }
      resultValue = yyvalue{};
      break;
    }
    case 36:  // parameter_list: (empty)
      break;
    case 37:  // parameter_list: parameter
      resultValue = yyvalue{};
      break;
    case 38:  // parameter_list: parameter_list ',' parameter
      break;
    case 39: {  // parameter: IDENTIFIER AS type_spec
      std::unique_ptr<CType> type = takeType(Rhs(3));
      CVarSymbol* parameter = compiler.AddParameter(Name(Rhs(1)), type.get());
      check(parameter);
      FreeText(Rhs(1));
      resultValue = Holding(parameter);
      break;
    }
    case 40:  // parameter: IDENTIFIER AS error
      FreeText(Rhs(1));
      Fail("PROTOTYPE:  Bad data type.");
      break;
    case 41:  // parameter: IDENTIFIER error
      FreeText(Rhs(1));
      Fail("PROTOTYPE:  Bad data type.");
      break;
    case 42:  // result_type: (empty)
      resultValue = yyvalue{};
      break;
    case 43:                 // result_type: AS type_spec
      resultValue = Rhs(2);  // the type
      Rhs(2) = yyvalue{};
      break;
    case 44:  // result_type: AS INTERRUPT address
      resultValue = park(compiler.NewType(TYPE_ADDRESS, Rhs(3).number, TYPE_FLAG_INTERRUPT));
      break;
    case 45:  // result_type: AS INTERRUPT error
      Fail("Interrupt: Requires an address");
      break;
    case 46: {  // constant_declaration: CONSTANT IDENTIFIER '=' expression
      std::unique_ptr<CExpression> expression = takeExpression(Rhs(4));
      CConstSymbol* constant = compiler.DeclareConstant(Name(Rhs(2)), expression.get());
      check(constant);
      FreeText(Rhs(2));
      resultValue = Holding(constant);
      break;
    }
    case 47:  // constant_declaration: CONSTANT IDENTIFIER '=' error
      FreeText(Rhs(2));
      Fail("CONSTANT:  Error in expression.");
      break;
    case 48:  // constant_declaration: CONSTANT IDENTIFIER error
      FreeText(Rhs(2));
      Fail("CONSTANT:  Error in assignment.");
      break;
    case 49:  // constant_declaration: CONSTANT error
      Fail("CONSTANT:  Requires valid identifier.");
      break;
    case 50: {  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' expression ')'
      std::unique_ptr<CExpression> center = takeExpression(Rhs(4));
      std::unique_ptr<CExpression> plateau = takeExpression(Rhs(6));
      std::unique_ptr<CExpression> edge = takeExpression(Rhs(8));
      CRangeSymbol* range =
          compiler.DeclareRange(Name(Rhs(2)), center.get(), plateau.get(), edge.get());
      check(range);
      CRangeStatement* statement = compiler.NewRangeStatement(range);
      check(statement);
      if (statement != nullptr && !compiler.PlaceRange(statement)) ReportCompilerError();
      FreeText(Rhs(2));
      resultValue = Holding(statement);
      break;
    }
    case 51:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' expression error
      FreeText(Rhs(2));
      takeExpression(Rhs(4));
      takeExpression(Rhs(6));
      takeExpression(Rhs(8));
      Fail("RANGE:  Missing close ')'");
      break;
    case 52:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' error
      FreeText(Rhs(2));
      takeExpression(Rhs(4));
      takeExpression(Rhs(6));
      Fail("RANGE:  Error in 'edge' parameter.");
      break;
    case 53:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression error
      FreeText(Rhs(2));
      takeExpression(Rhs(4));
      takeExpression(Rhs(6));
      Fail("RANGE:  Requires 'edge' parameter.");
      break;
    case 54:  // range_declaration: RANGE IDENTIFIER '(' expression ',' error
      FreeText(Rhs(2));
      takeExpression(Rhs(4));
      Fail("RANGE:  Error in 'plateau' parameter.");
      break;
    case 55:  // range_declaration: RANGE IDENTIFIER '(' expression error
      FreeText(Rhs(2));
      takeExpression(Rhs(4));
      Fail("RANGE:  Requires 'plateau' parameter.");
      break;
    case 56:  // range_declaration: RANGE IDENTIFIER '(' error
      FreeText(Rhs(2));
      Fail("RANGE:  Error in range definition.");
      break;
    case 57:  // range_declaration: RANGE IDENTIFIER error
      FreeText(Rhs(2));
      Fail("RANGE:  Range requires defining parameters (center, plateau, edge).')'");
      break;
    case 58:  // range_declaration: RANGE error
      Fail("RANGE:  Range requires valid identifier.");
      break;
    case 59: {                                                  // rule_open: (empty)
      CRuleSymbol* rule = compiler.DeclareRule(Name(Rhs(-1)));  // the name before the '{'
      check(rule);
      CRuleStatement* statement = compiler.NewRuleStatement(rule);
      check(statement);
      if (statement != nullptr && !compiler.PlaceRule(statement)) ReportCompilerError();
      FreeText(Rhs(-1));
      compiler.PushContext(rule);
      resultValue = Holding(statement);
      break;
    }
    case 60:                 // rule_declaration: RULE IDENTIFIER '{' rule_open rule_entry_list '}'
      resultValue = Rhs(4);  // the rule_open value
      compiler.PopContext();
      break;
    case 61:  // rule_declaration: RULE IDENTIFIER '(' error
      FreeText(Rhs(2));
      Fail("RULE: Error in ranges.");
      break;
    case 62:  // rule_declaration: RULE IDENTIFIER error
      FreeText(Rhs(2));
      Fail("RULE: Requires one or more valid ranges.");
      break;
    case 63:  // rule_entry_list: rule_entry
      resultValue = yyvalue{};
      break;
    case 64:  // rule_entry_list: rule_entry_list rule_entry
      break;
    case 65: {  // rule_entry: IDENTIFIER AS expression ';'
      std::unique_ptr<CExpression> result = takeExpression(Rhs(3));
      const std::string range = Name(Rhs(1));
      CRangeValueSymbol* entry = compiler.AddRuleEntry(range, result.get());
      check(entry);
      // The entry's table bytes are reserved whether or not the entry was added.
      if (!compiler.PlaceRuleEntry(range)) ReportCompilerError();
      FreeText(Rhs(1));
      resultValue = Holding(entry);
      break;
    }
    case 66: {  // method_open: (empty)
      // The written parameters are added to a copy of the prototype, to match it afterwards.
      CProtoSymbol* probe = compiler.CopyPrototype(As<CSymbol>(Rhs(-1)));  // the method_name value
      check(probe);
      compiler.PushContext(probe);
      resultValue = yyvalue{};
      break;
    }
    case 67: {  // method_scope_open: (empty)
      CSymbol* probe = compiler.CurrentContext();
      compiler.PopContext();
      CMethodStatement* method = compiler.NewMethodStatement(probe);
      check(method);
      compiler.DiscardPrototype(probe);
      resultValue = Holding(method);
      break;
    }
    case 68: {  // method_block_open: (empty)
      // A definition that matched no prototype still has its body parsed and checked, in a
      // block that is then dropped; the scopes stay paired with the closing brace.
      auto* method = As<CMethodStatement>(Rhs(-1));  // the method_scope_open value
      compiler.OpenScope(method != nullptr ? &method->body : compiler.NewDiscardedBody());
      // The body sees the parameters of the overload the definition matched.
      CSymbol* prototype = method != nullptr ? method->prototype : As<CSymbol>(Rhs(-6));
      if (!compiler.DeclareMethodLocals(prototype)) ReportCompilerError();
      break;
    }
    case 69:  // method_definition: method_name '(' method_open parameter_list ')' method_scope_open '{' method_block_open statement_block '}'
      compiler.CloseScope();
      compiler.PopContext();
      break;
    case 70: {  // method_name: IDENTIFIER
      CSymbol* symbol = compiler.ResolveName(nullptr, Name(Rhs(1)));
      check(symbol);
      FreeText(Rhs(1));
      compiler.PushContext(compiler.CurrentContext());
      resultValue = Holding(symbol);
      break;
    }
    case 71: {  // method_name: IDENTIFIER ':' IDENTIFIER
      CSymbol* owner = compiler.ResolveName(nullptr, Name(Rhs(1)));
      check(owner);
      FreeText(Rhs(1));
      compiler.PushContext(owner);
      CSymbol* symbol = compiler.ResolveName(owner, Name(Rhs(3)));
      check(symbol);
      FreeText(Rhs(3));
      resultValue = Holding(symbol);
      break;
    }
    case 72:  // statement_block: statement_list
      break;
    case 73:  // statement_list: (empty)
      break;
    case 74:  // statement_list: statement_list statement
      break;
    case 75:  // statement: constant_declaration ';'
      resultValue = yyvalue{};
      break;
    case 76:  // statement: variable_declaration ';'
      if (!compiler.PlaceLocalVariable(As<CVarSymbol>(Rhs(1)))) ReportCompilerError();
      resultValue = yyvalue{};
      break;
    case 77:  // statement: assignment ';'
    case 78:  // statement: output_statement ';'
    case 79:  // statement: call_statement ';'
    case 80:  // statement: while_statement
    case 81:  // statement: if_statement
    case 82:  // statement: weight_statement ';'
    case 83:  // statement: clear_statement ';'
      resultValue = yyvalue{};
      break;
    case 84: {  // nested_block_open: (empty)
      CBlockStatement* statement = compiler.NewBlockStatement();
      if (statement == nullptr)
        ReportCompilerError();
      else
        compiler.OpenScope(&statement->block);
      break;
    }
    case 85:  // statement: '{' nested_block_open statement_block '}'
      compiler.CloseScope();
      break;
    case 86:  // assignment: assignment_target '=' expression
      resultValue =
          Holding(compiler.NewAssignStatement(takeExpression(Rhs(1)), takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    case 87:  // output_statement: OUTCH expression
      resultValue = Holding(compiler.NewOutStatement(takeExpression(Rhs(2)), 1));
      check(resultValue.object);
      break;
    case 88:  // output_statement: OUT expression
      resultValue = Holding(compiler.NewOutStatement(takeExpression(Rhs(2)), 0));
      check(resultValue.object);
      break;
    case 89:  // output_statement: OUT STRING
      resultValue = Holding(compiler.NewOutStringStatement(Rhs(2).text));
      check(resultValue.object);
      FreeText(Rhs(2));
      break;
    case 90:  // call_expression_open: (empty)
    case 92:  // call_statement_open: (empty)
      // The arguments' parameter statements collect in a block of their own.
      compiler.PushBlock(compiler.NewArgumentBlock());
      break;
    case 91:    // call_expression: qualified_name '(' call_expression_open argument_list ')'
    case 93: {  // call_statement: qualified_name '(' call_statement_open argument_list ')'
      CBlock* arguments = compiler.TopBlock();
      compiler.PopBlock();
      // Used as a value, the call is not appended to the current block.
      const int append = production == 93 ? 1 : 0;
      resultValue = Holding(compiler.NewCallStatement(As<CSymbol>(Rhs(1)), arguments, append));
      check(resultValue.object);
      break;
    }
    case 94:  // argument_list: (empty)
      break;
    case 95:  // argument_list: argument
    case 96:  // argument_list: argument_list ',' argument
      resultValue = yyvalue{};
      break;
    case 97:  // argument: expression
      resultValue = Holding(compiler.NewParamStatement(takeExpression(Rhs(1))));
      check(resultValue.object);
      break;
    case 98: {  // while_open: (empty)
      CLoopStatement* loop = compiler.NewLoopStatement(takeExpression(Rhs(-2)));  // the condition
      if (loop == nullptr)
        ReportCompilerError();
      else
        compiler.OpenScope(&loop->body);
      resultValue = Holding(loop);
      break;
    }
    case 99:  // while_statement: WHILE '(' expression ')' '{' while_open statement_block '}'
      compiler.CloseScope();
      break;
    case 100:                 // if_statement: if_clause
      compiler.CloseScope();  // the else-block's scope, which stays empty
      break;
    case 101:  // if_statement: if_clause else_clause
      break;
    case 102:  // if_statement: if_clause elseif_list
      compiler.CloseScope();
      if (auto* decide = As<CDecideStatement>(Rhs(1)))
        decide->elseIf = As<CDecideStatement>(Rhs(2));
      break;
    case 103:  // if_statement: if_clause elseif_list else_clause
      // The else statements went into the last clause's else-block.
      if (auto* decide = As<CDecideStatement>(Rhs(1)))
        decide->elseIf = As<CDecideStatement>(Rhs(2));
      break;
    case 104: {  // if_open: (empty)
      CDecideStatement* decide =
          compiler.NewDecideStatement(takeExpression(Rhs(-2)), 0);  // the condition
      if (decide == nullptr)
        ReportCompilerError();
      else
        compiler.OpenScope(&decide->thenBlock);
      resultValue = Holding(decide);
      break;
    }
    case 105:    // if_clause: IF '(' expression ')' '{' if_open statement_block '}'
    case 110: {  // elseif_clause: ELSEIF '(' expression ')' '{' elseif_open statement_block '}'
      compiler.CloseScope();
      auto* decide = As<CDecideStatement>(Rhs(6));  // the if_open or elseif_open value
      if (decide != nullptr) compiler.OpenScope(&decide->elseBlock);
      resultValue = Holding(decide);
      break;
    }
    case 106:  // else_clause: ELSE '{' statement_block '}'
      compiler.CloseScope();
      break;
    case 107:  // elseif_list: elseif_clause
      break;
    case 108: {  // elseif_list: elseif_clause elseif_list
      auto* clause = As<CDecideStatement>(Rhs(1));
      if (clause != nullptr) clause->elseIf = As<CDecideStatement>(Rhs(2));
      resultValue = Holding(clause);
      break;
    }
    case 109: {               // elseif_open: (empty)
      compiler.CloseScope();  // the else-block scope of the previous clause
      // Detached: the clause hangs off the previous one, not off the current block.
      CDecideStatement* decide = compiler.NewDecideStatement(takeExpression(Rhs(-2)), 1);
      if (decide == nullptr)
        ReportCompilerError();
      else
        compiler.OpenScope(&decide->thenBlock);
      resultValue = Holding(decide);
      break;
    }
    case 111:  // weight_statement: WEIGHT '(' expression ')'
      resultValue = Holding(compiler.NewWithStatement(takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    case 112: {  // clear_statement: CLEAR '(' IDENTIFIER ')'
      CSymbol* symbol = compiler.ResolveName(compiler.CurrentContext(), Name(Rhs(3)));
      check(symbol);
      FreeText(Rhs(3));
      resultValue = Holding(compiler.NewClearStatement(symbol));
      check(resultValue.object);
      break;
    }
    case 113:    // expression: expression '+' expression
    case 114:    // expression: expression '-' expression
    case 115:    // expression: expression '*' expression
    case 116:    // expression: expression '/' expression
    case 117:    // expression: expression '%' expression
    case 118:    // expression: expression '&' expression
    case 119:    // expression: expression '|' expression
    case 120:    // expression: expression '^' expression
    case 121:    // expression: expression AND expression
    case 122:    // expression: expression OR expression
    case 123:    // expression: expression XOR expression
    case 124:    // expression: expression MIN expression
    case 125:    // expression: expression MAX expression
    case 126:    // expression: expression EQ expression
    case 127:    // expression: expression LE expression
    case 128:    // expression: expression GE expression
    case 129:    // expression: expression LT expression
    case 130:    // expression: expression GT expression
    case 131:    // expression: expression NE expression
    case 132:    // expression: expression SHL expression
    case 133: {  // expression: expression SHR expression
      // The operators of these productions, in production order.
      static const ExprOp kOperators[] = {
          EXPR_ADD,    EXPR_SUB, EXPR_MUL, EXPR_DIV, EXPR_MOD, EXPR_BITAND, EXPR_BITOR,
          EXPR_BITXOR, EXPR_AND, EXPR_OR,  EXPR_XOR, EXPR_MIN, EXPR_MAX,    EXPR_EQ,
          EXPR_LE,     EXPR_GE,  EXPR_LT,  EXPR_GT,  EXPR_NE,  EXPR_SHL,    EXPR_SHR};
      const ExprOp op = kOperators[production - 113];
      resultValue =
          park(compiler.NewBinaryExpression(takeExpression(Rhs(1)), op, takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    }
    case 134:  // expression: expression IS expression
      resultValue = park(compiler.NewIsExpression(takeExpression(Rhs(1)), takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    case 135:                // expression: '(' expression ')'
      resultValue = Rhs(2);  // the inner expression
      Rhs(2) = yyvalue{};
      break;
    case 136:  // expression: '-' expression
      resultValue = park(compiler.NewUnaryExpression(EXPR_NEG, takeExpression(Rhs(2))));
      check(resultValue.object);
      break;
    case 137:  // expression: '~' expression
      resultValue = park(compiler.NewUnaryExpression(EXPR_BITNOT, takeExpression(Rhs(2))));
      check(resultValue.object);
      break;
    case 138:  // expression: NOT expression
      resultValue = park(compiler.NewUnaryExpression(EXPR_NOT, takeExpression(Rhs(2))));
      check(resultValue.object);
      break;
    case 139:  // expression: fuzzy_constant
      break;
    case 140:  // expression: constant
      break;
    case 141:  // expression: call_expression
      resultValue = park(compiler.NewCallValue(As<CStatement>(Rhs(1))));
      check(resultValue.object);
      break;
    case 142:  // expression: qualified_name
    case 145:  // assignment_target: qualified_name
      resultValue = park(compiler.NewSymbolValue(As<CSymbol>(Rhs(1))));
      check(resultValue.object);
      break;
    case 143:    // expression: qualified_name '[' expression ']'
    case 146: {  // assignment_target: qualified_name '[' expression ']'
      // Only a name that resolved to nothing is reported here; a name that is no variable
      // (a class, a method) is reported through the index node that then lacks its operand.
      CSymbol* name = As<CSymbol>(Rhs(1));
      std::unique_ptr<CExpression> array = compiler.NewSymbolValue(name);
      check(name);
      resultValue =
          park(compiler.NewBinaryExpression(std::move(array), EXPR_INDEX, takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    }
    case 144:  // assignment_target: (empty)
      resultValue = yyvalue{};
      break;
    case 147:  // type_spec: BYTE
      resultValue = park(compiler.NewType(TYPE_BYTE, 0, 0));
      break;
    case 148:  // type_spec: MEMORY address
      resultValue =
          park(compiler.NewType(TYPE_ADDRESS, Rhs(2).number, TYPE_FLAG_READ | TYPE_FLAG_WRITE));
      break;
    case 149:  // type_spec: INTEGER
      resultValue = park(compiler.NewType(TYPE_INTEGER, 0, 0));
      break;
    case 150:  // type_spec: REAL
      resultValue = park(compiler.NewType(TYPE_REAL, 0, 0));
      break;
    case 151:  // type_spec: FUZZY
      resultValue = park(compiler.NewType(TYPE_FUZZY, 0, 0));
      break;
    case 152: {  // type_spec: type_spec '[' expression ']'
      std::unique_ptr<CType> element = takeType(Rhs(1));
      std::unique_ptr<CExpression> subscript = takeExpression(Rhs(3));
      resultValue = park(compiler.NewArrayType(element.get(), subscript.get()));
      check(resultValue.object);
      break;
    }
    case 153:  // type_spec: MEMORY error
      Fail("Memory access: Requires an address");
      break;
    case 154: {  // qualified_name: IDENTIFIER
      CSymbol* symbol = compiler.ResolveName(compiler.CurrentContext(), Name(Rhs(1)));
      check(symbol);
      FreeText(Rhs(1));
      resultValue = Holding(symbol);
      break;
    }
    case 155: {  // qualified_name: qualified_name ':' IDENTIFIER
      // With a null owner (the owner's name failed) this finds an ownerless symbol.
      CSymbol* symbol = compiler.ResolveName(As<CSymbol>(Rhs(1)), Name(Rhs(3)));
      check(symbol);
      FreeText(Rhs(3));
      resultValue = Holding(symbol);
      break;
    }
    case 156:  // address: INT_NUMBER
      break;
    case 157:  // address: HEX_NUMBER
      break;
    case 158:  // constant: integer_constant
      break;
    case 159:  // constant: REAL_NUMBER
      resultValue = park(compiler.NewRealValue(TYPE_REAL, Rhs(1).real));
      check(resultValue.object);
      break;
    case 160:  // constant: CHARACTER
      resultValue =
          park(compiler.NewIntegerValue(TYPE_BYTE, static_cast<unsigned char>(Rhs(1).character)));
      check(resultValue.object);
      break;
    case 161:  // integer_constant: INT_NUMBER
    case 162:  // integer_constant: HEX_NUMBER
      resultValue = park(compiler.NewIntegerValue(TYPE_INTEGER, Rhs(1).number));
      check(resultValue.object);
      break;
    case 163:  // fuzzy_constant: constant '@' constant
      resultValue =
          park(compiler.NewFuzzyValue(TYPE_FUZZY, takeExpression(Rhs(1)), takeExpression(Rhs(3))));
      check(resultValue.object);
      break;
    default:
      break;
  }
}
