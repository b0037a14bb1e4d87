// The actions of the grammar's productions, one case per production.
#include "frontend/parser.h"

#include "frontend/value_slot.h"

// The result is preset to the value of the production's first symbol; an
// action that sets none passes that value up. Every IDENTIFIER and STRING
// text the lexer made is freed exactly once, by the action that consumes it
// (or, for values an error pops, by DiscardValue). The error productions
// report their fixed messages.
void CParser::Action(int production) {
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
      if (path.text && !compiler.UseFile(path.text)) ReportCompilerError();
      FreeText(path);
      resultValue = yyvalue{};
      break;
    }
    case 5:  // declaration: class_definition
      resultValue = yyvalue{};
      break;
    case 6:  // declaration: constant_declaration ';'
      resultValue = yyvalue{};
      break;
    case 7:  // declaration: range_declaration ';'
      resultValue = yyvalue{};
      break;
    case 8:  // declaration: rule_declaration
      resultValue = yyvalue{};
      break;
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
    case 13:  // use_clause: USE STRING
      resultValue = Rhs(2);  // the file name, freed by the declaration
      Rhs(2) = yyvalue{};
      break;
    case 14:  // class_open: (empty)
      FreeText(Rhs(0));  // the class name
      resultValue = yyvalue{};
      break;
    case 15:  // class_scope_open: (empty)
      break;
    case 16:  // class_definition: DEFINE IDENTIFIER class_open '{' class_scope_open member_list '}'
      resultValue = Rhs(3);  // the class_open value
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
    case 29:  // variable_declaration: IDENTIFIER AS type_spec
      FreeText(Rhs(1));
      resultValue = yyvalue{};
      break;
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
    case 33:  // prototype_open: (empty)
      FreeText(Rhs(0));  // the prototype name
      resultValue = yyvalue{};
      break;
    case 34:  // prototype_scope_open: (empty)
      break;
    case 35:  // method_prototype: DO IDENTIFIER prototype_open '(' prototype_scope_open parameter_list ')' result_type
      break;
    case 36:  // parameter_list: (empty)
      break;
    case 37:  // parameter_list: parameter
      resultValue = yyvalue{};
      break;
    case 38:  // parameter_list: parameter_list ',' parameter
      break;
    case 39:  // parameter: IDENTIFIER AS type_spec
      FreeText(Rhs(1));
      resultValue = yyvalue{};
      break;
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
    case 43:  // result_type: AS type_spec
      resultValue = Rhs(2);  // the type
      break;
    case 44:  // result_type: AS INTERRUPT address
      resultValue = yyvalue{};
      break;
    case 45:  // result_type: AS INTERRUPT error
      Fail("Interrupt: Requires an address");
      break;
    case 46:  // constant_declaration: CONSTANT IDENTIFIER '=' expression
      FreeText(Rhs(2));
      resultValue = yyvalue{};
      break;
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
    case 50:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' expression ')'
      FreeText(Rhs(2));
      resultValue = yyvalue{};
      break;
    case 51:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' expression error
      FreeText(Rhs(2));
      Fail("RANGE:  Missing close ')'");
      break;
    case 52:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression ',' error
      FreeText(Rhs(2));
      Fail("RANGE:  Error in 'edge' parameter.");
      break;
    case 53:  // range_declaration: RANGE IDENTIFIER '(' expression ',' expression error
      FreeText(Rhs(2));
      Fail("RANGE:  Requires 'edge' parameter.");
      break;
    case 54:  // range_declaration: RANGE IDENTIFIER '(' expression ',' error
      FreeText(Rhs(2));
      Fail("RANGE:  Error in 'plateau' parameter.");
      break;
    case 55:  // range_declaration: RANGE IDENTIFIER '(' expression error
      FreeText(Rhs(2));
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
    case 59:  // rule_open: (empty)
      FreeText(Rhs(-1));  // the rule name, before the '{'
      resultValue = yyvalue{};
      break;
    case 60:  // rule_declaration: RULE IDENTIFIER '{' rule_open rule_entry_list '}'
      resultValue = Rhs(4);  // the rule_open value
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
    case 65:  // rule_entry: IDENTIFIER AS expression ';'
      FreeText(Rhs(1));
      resultValue = yyvalue{};
      break;
    case 66:  // method_open: (empty)
      break;
    case 67:  // method_scope_open: (empty)
      break;
    case 68:  // method_block_open: (empty)
      break;
    case 69:  // method_definition: method_name '(' method_open parameter_list ')' method_scope_open '{' method_block_open statement_block '}'
      break;
    case 70:  // method_name: IDENTIFIER
      FreeText(Rhs(1));
      resultValue = yyvalue{};
      break;
    case 71:  // method_name: IDENTIFIER ':' IDENTIFIER
      FreeText(Rhs(1));
      FreeText(Rhs(3));
      resultValue = yyvalue{};
      break;
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
      resultValue = yyvalue{};
      break;
    case 77:  // statement: assignment ';'
      resultValue = yyvalue{};
      break;
    case 78:  // statement: output_statement ';'
      resultValue = yyvalue{};
      break;
    case 79:  // statement: call_statement ';'
      resultValue = yyvalue{};
      break;
    case 80:  // statement: while_statement
      resultValue = yyvalue{};
      break;
    case 81:  // statement: if_statement
      resultValue = yyvalue{};
      break;
    case 82:  // statement: weight_statement ';'
      resultValue = yyvalue{};
      break;
    case 83:  // statement: clear_statement ';'
      resultValue = yyvalue{};
      break;
    case 84:  // nested_block_open: (empty)
      break;
    case 85:  // statement: '{' nested_block_open statement_block '}'
      break;
    case 86:  // assignment: assignment_target '=' expression
      break;
    case 87:  // output_statement: OUTCH expression
      break;
    case 88:  // output_statement: OUT expression
      break;
    case 89:  // output_statement: OUT STRING
      FreeText(Rhs(2));
      resultValue = yyvalue{};
      break;
    case 90:  // call_expression_open: (empty)
      break;
    case 91:  // call_expression: qualified_name '(' call_expression_open argument_list ')'
      break;
    case 92:  // call_statement_open: (empty)
      break;
    case 93:  // call_statement: qualified_name '(' call_statement_open argument_list ')'
      break;
    case 94:  // argument_list: (empty)
      break;
    case 95:  // argument_list: argument
      resultValue = yyvalue{};
      break;
    case 96:  // argument_list: argument_list ',' argument
      resultValue = yyvalue{};
      break;
    case 97:  // argument: expression
      break;
    case 98:  // while_open: (empty)
      break;
    case 99:  // while_statement: WHILE '(' expression ')' '{' while_open statement_block '}'
      break;
    case 100:  // if_statement: if_clause
      break;
    case 101:  // if_statement: if_clause else_clause
      break;
    case 102:  // if_statement: if_clause elseif_list
      break;
    case 103:  // if_statement: if_clause elseif_list else_clause
      break;
    case 104:  // if_open: (empty)
      break;
    case 105:  // if_clause: IF '(' expression ')' '{' if_open statement_block '}'
      break;
    case 106:  // else_clause: ELSE '{' statement_block '}'
      break;
    case 107:  // elseif_list: elseif_clause
      break;
    case 108:  // elseif_list: elseif_clause elseif_list
      break;
    case 109:  // elseif_open: (empty)
      break;
    case 110:  // elseif_clause: ELSEIF '(' expression ')' '{' elseif_open statement_block '}'
      break;
    case 111:  // weight_statement: WEIGHT '(' expression ')'
      break;
    case 112:  // clear_statement: CLEAR '(' IDENTIFIER ')'
      FreeText(Rhs(3));
      resultValue = yyvalue{};
      break;
    case 113:  // expression: expression '+' expression
      break;
    case 114:  // expression: expression '-' expression
      break;
    case 115:  // expression: expression '*' expression
      break;
    case 116:  // expression: expression '/' expression
      break;
    case 117:  // expression: expression '%' expression
      break;
    case 118:  // expression: expression '&' expression
      break;
    case 119:  // expression: expression '|' expression
      break;
    case 120:  // expression: expression '^' expression
      break;
    case 121:  // expression: expression AND expression
      break;
    case 122:  // expression: expression OR expression
      break;
    case 123:  // expression: expression XOR expression
      break;
    case 124:  // expression: expression MIN expression
      break;
    case 125:  // expression: expression MAX expression
      break;
    case 126:  // expression: expression EQ expression
      break;
    case 127:  // expression: expression LE expression
      break;
    case 128:  // expression: expression GE expression
      break;
    case 129:  // expression: expression LT expression
      break;
    case 130:  // expression: expression GT expression
      break;
    case 131:  // expression: expression NE expression
      break;
    case 132:  // expression: expression SHL expression
      break;
    case 133:  // expression: expression SHR expression
      break;
    case 134:  // expression: expression IS expression
      break;
    case 135:  // expression: '(' expression ')'
      resultValue = Rhs(2);  // the inner expression
      break;
    case 136:  // expression: '-' expression
      break;
    case 137:  // expression: '~' expression
      break;
    case 138:  // expression: NOT expression
      break;
    case 139:  // expression: fuzzy_constant
      break;
    case 140:  // expression: constant
      break;
    case 141:  // expression: call_expression
      break;
    case 142:  // expression: qualified_name
      break;
    case 143:  // expression: qualified_name '[' expression ']'
      break;
    case 144:  // assignment_target: (empty)
      resultValue = yyvalue{};
      break;
    case 145:  // assignment_target: qualified_name
      break;
    case 146:  // assignment_target: qualified_name '[' expression ']'
      break;
    case 147:  // type_spec: BYTE
      break;
    case 148:  // type_spec: MEMORY address
      break;
    case 149:  // type_spec: INTEGER
      break;
    case 150:  // type_spec: REAL
      break;
    case 151:  // type_spec: FUZZY
      break;
    case 152:  // type_spec: type_spec '[' expression ']'
      break;
    case 153:  // type_spec: MEMORY error
      Fail("Memory access: Requires an address");
      break;
    case 154:  // qualified_name: IDENTIFIER
      FreeText(Rhs(1));
      resultValue = yyvalue{};
      break;
    case 155:  // qualified_name: qualified_name ':' IDENTIFIER
      FreeText(Rhs(3));
      resultValue = yyvalue{};
      break;
    case 156:  // address: INT_NUMBER
      break;
    case 157:  // address: HEX_NUMBER
      break;
    case 158:  // constant: integer_constant
      break;
    case 159:  // constant: REAL_NUMBER
      break;
    case 160:  // constant: CHARACTER
      break;
    case 161:  // integer_constant: INT_NUMBER
      break;
    case 162:  // integer_constant: HEX_NUMBER
      break;
    case 163:  // fuzzy_constant: constant '@' constant
      break;
    default:
      break;
  }
}
