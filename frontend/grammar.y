/* The Tovrin grammar: productions, operator precedence and, beside each production, the
   action that runs when the parser reduces it. Bison turns it into parse tables and the
   actions' switch through frontend/table_skeleton.m4; the engine in parse_engine.cpp reads
   the tables and runs the actions through CParser::Action. The productions are numbered
   in order from 1 (the comments on the right): the parse tables and the order of reductions
   depend on them, and so do the tests that record reductions.

   Every failed compiler operation is reported once, in the action that called it, with
   the compiler's errorText (Check, ReportCompilerError). Values: the result is preset to
   the value of the production's first symbol. Values are texts, nodes, types and symbols
   of the build's arena, so no action frees, parks or takes back anything; the actions of
   empty marker productions read the values of the symbols before them ($<...>0, $<...>-1). */

%expect 0

/* Token codes are shared with the lexer (frontend/tokens.h). */
%token AS 257 BYTE 258 CLEAR 259 CONSTANT 260 DEFINE 261 DO 262 ELSEIF 263
%token ELSE 264 FUZZY 265 IF 266 INTEGER 267 INTERRUPT 268 MEMORY 269 OUTCH 270
%token OUT 271 RANGE 272 REAL 273 RULE 274 USE 275 WHILE 276 WEIGHT 277
%token <number> INT_NUMBER 278 HEX_NUMBER 279
%token <real> REAL_NUMBER 280
%token <text> IDENTIFIER 281 STRING 282
%token <character> CHARACTER 283
%token EQ 284 LE 285 GE 286 LT 287 GT 288 NE 289 AND 290 IS 291
%token OR 292 XOR 293 MIN 294 MAX 295 SHL 296 SHR 297 NOT 298

/* The member of the value slot (frontend/value_slot.h) each nonterminal uses. */
%type <text> use_clause
%type <expression> expression constant integer_constant fuzzy_constant assignment_target
%type <type> type_spec result_type
%type <symbol> qualified_name method_name class_definition class_open prototype_open
%type <symbol> constant_declaration parameter rule_entry
%type <variable> variable_declaration
%type <statement> range_declaration rule_open rule_declaration argument while_open
%type <statement> call_expression call_statement
%type <method> method_scope_open
%type <decide> if_open if_clause elseif_open elseif_clause elseif_list
%type <number> address

/* Loosest first. Comparisons bind more loosely than the logical and fuzzy
   operators; the bitwise operators bind more tightly than multiplication. */
%left EQ LE GE LT GT NE
%left AND OR XOR MIN MAX IS
%left SHL SHR
%left '+' '-'
%left '*' '/' '%'
%left '&' '|' '^'
%precedence '~' NOT

%start program

%%
program
    : declaration_list                                                    /* 1 */
    ;

declaration_list
    : %empty                                                              /* 2 */
    | declaration_list declaration                                        /* 3 */
    ;

declaration
    : use_clause ';'                                                      /* 4 */
        {
          // Reduced without a lookahead: the next token comes from the used file.
          if ($1 != nullptr) UseFile($1);
        }
    | class_definition                                                    /* 5 */
    | constant_declaration ';'                                            /* 6 */
    | range_declaration ';'                                               /* 7 */
    | rule_declaration                                                    /* 8 */
    | method_definition                                                   /* 9 */
    | use_clause error                          { Fail("USE: Missing semi-colon."); }       /* 10 */
    | constant_declaration error                { Fail("CONSTANT: Missing semi-colon."); }  /* 11 */
    | range_declaration error                   { Fail("RANGE: Missing semi-colon."); }     /* 12 */
    ;

use_clause
    : USE STRING                                { $$ = $2; }              /* 13 */
    ;

class_open
    : %empty                                                              /* 14 */
        {
          CClassSymbol* symbol = compiler.DeclareClass(Name($<text>0));  // the class name
          Check(symbol);
          CClassStatement* statement = compiler.NewClassStatement(symbol);
          if (statement == nullptr) {
            ReportCompilerError();
            symbol = nullptr;
          } else if (!compiler.PlaceClass(statement)) {
            ReportCompilerError();
          }
          $$ = symbol;
        }
    ;

class_scope_open
    : %empty                                    { compiler.PushContext($<symbol>-1); }  /* 15 */
    ;

class_definition
    : DEFINE IDENTIFIER class_open '{' class_scope_open member_list '}'   /* 16 */
        {
          $$ = $3;
          compiler.PopContext();
        }
    | DEFINE error '}'                          { Fail("DEFINE: unique identifier required"); }  /* 17 */
    ;

member_list
    : %empty                                                              /* 18 */
    | member_list member                                                  /* 19 */
    ;

member
    : constant_declaration ';'                                            /* 20 */
    | variable_declaration ';'                                            /* 21 */
        { if (!compiler.PlaceMemberVariable($1)) ReportCompilerError(); }
    | method_prototype ';'                                                /* 22 */
    | constant_declaration error ';'            { Fail("CONSTANT: Missing semi-colon."); }   /* 23 */
    | variable_declaration error ';'            { Fail("VARIABLE: Missing semi-colon."); }   /* 24 */
    | method_prototype error ';'                { Fail("PROTOTYPE: Missing semi-colon."); }  /* 25 */
    | constant_declaration error '}'            { Fail("CONSTANT: Missing semi-colon."); }   /* 26 */
    | variable_declaration error '}'            { Fail("VARIABLE: Missing semi-colon."); }   /* 27 */
    | method_prototype error '}'                { Fail("PROTOTYPE: Missing semi-colon."); }  /* 28 */
    ;

variable_declaration
    : IDENTIFIER AS type_spec                                             /* 29 */
        {
          CVarSymbol* variable = compiler.DeclareVariable(Name($1), $3);
          Check(variable);
          compiler.NewVarStatement(variable);  // a missing variable was reported just above
          $$ = variable;
        }
    | IDENTIFIER AS error                       { Fail("VARIABLE:  Bad data type."); }    /* 30 */
    | IDENTIFIER error                          { Fail("VARIABLE:  Bad data type."); }    /* 31 */
    | error                                     { Fail("VARIABLE:  Bad declaration."); }  /* 32 */
    ;

prototype_open
    : %empty                                                              /* 33 */
        {
          CProtoSymbol* prototype = compiler.CreatePrototype(Name($<text>0));  // its name
          Check(prototype);
          $$ = prototype;
        }
    ;

prototype_scope_open
    : %empty                                    { compiler.PushContext($<symbol>-1); }  /* 34 */
    ;

method_prototype
    : DO IDENTIFIER prototype_open '(' prototype_scope_open parameter_list ')' result_type  /* 35 */
        {
          CSymbol* prototype = compiler.CurrentContext();
          compiler.PopContext();
          if (!compiler.DeclarePrototype($8, prototype)) {
            ReportCompilerError();
            compiler.DiscardPrototype(prototype);
          }
        }
    ;

parameter_list
    : %empty                                                              /* 36 */
    | parameter                                                           /* 37 */
    | parameter_list ',' parameter                                        /* 38 */
    ;

parameter
    : IDENTIFIER AS type_spec                                             /* 39 */
        {
          CVarSymbol* parameter = compiler.AddParameter(Name($1), $3);
          Check(parameter);
          $$ = parameter;
        }
    | IDENTIFIER AS error                       { Fail("PROTOTYPE:  Bad data type."); }  /* 40 */
    | IDENTIFIER error                          { Fail("PROTOTYPE:  Bad data type."); }  /* 41 */
    ;

result_type
    : %empty                                    { $$ = nullptr; }         /* 42 */
    | AS type_spec                              { $$ = $2; }              /* 43 */
    | AS INTERRUPT address                                                /* 44 */
        { $$ = compiler.NewType(TYPE_ADDRESS, $3, TYPE_FLAG_INTERRUPT); }
    | AS INTERRUPT error                        { Fail("Interrupt: Requires an address"); }  /* 45 */
    ;

constant_declaration
    : CONSTANT IDENTIFIER '=' expression                                  /* 46 */
        {
          CConstSymbol* constant = compiler.DeclareConstant(Name($2), $4);
          Check(constant);
          $$ = constant;
        }
    | CONSTANT IDENTIFIER '=' error             { Fail("CONSTANT:  Error in expression."); }        /* 47 */
    | CONSTANT IDENTIFIER error                 { Fail("CONSTANT:  Error in assignment."); }        /* 48 */
    | CONSTANT error                            { Fail("CONSTANT:  Requires valid identifier."); }  /* 49 */
    ;

range_declaration
    : RANGE IDENTIFIER '(' expression ',' expression ',' expression ')'   /* 50 */
        {
          CRangeSymbol* range = compiler.DeclareRange(Name($2), $4, $6, $8);
          Check(range);
          CRangeStatement* statement = compiler.NewRangeStatement(range);
          Check(statement);
          if (statement != nullptr && !compiler.PlaceRange(statement)) ReportCompilerError();
          $$ = statement;
        }
    | RANGE IDENTIFIER '(' expression ',' expression ',' expression error /* 51 */
        { Fail("RANGE:  Missing close ')'"); }
    | RANGE IDENTIFIER '(' expression ',' expression ',' error            /* 52 */
        { Fail("RANGE:  Error in 'edge' parameter."); }
    | RANGE IDENTIFIER '(' expression ',' expression error                /* 53 */
        { Fail("RANGE:  Requires 'edge' parameter."); }
    | RANGE IDENTIFIER '(' expression ',' error                           /* 54 */
        { Fail("RANGE:  Error in 'plateau' parameter."); }
    | RANGE IDENTIFIER '(' expression error                               /* 55 */
        { Fail("RANGE:  Requires 'plateau' parameter."); }
    | RANGE IDENTIFIER '(' error                                          /* 56 */
        { Fail("RANGE:  Error in range definition."); }
    | RANGE IDENTIFIER error                                              /* 57 */
        { Fail("RANGE:  Range requires defining parameters (center, plateau, edge).')'"); }
    | RANGE error                                                         /* 58 */
        { Fail("RANGE:  Range requires valid identifier."); }
    ;

rule_open
    : %empty                                                              /* 59 */
        {
          CRuleSymbol* rule = compiler.DeclareRule(Name($<text>-1));  // the name before the '{'
          Check(rule);
          CRuleStatement* statement = compiler.NewRuleStatement(rule);
          Check(statement);
          if (statement != nullptr && !compiler.PlaceRule(statement)) ReportCompilerError();
          compiler.PushContext(rule);
          $$ = statement;
        }
    ;

rule_declaration
    : RULE IDENTIFIER '{' rule_open rule_entry_list '}'                   /* 60 */
        {
          $$ = $4;
          compiler.PopContext();
        }
    | RULE IDENTIFIER '(' error                 { Fail("RULE: Error in ranges."); }                   /* 61 */
    | RULE IDENTIFIER error                     { Fail("RULE: Requires one or more valid ranges."); } /* 62 */
    ;

rule_entry_list
    : rule_entry                                                          /* 63 */
    | rule_entry_list rule_entry                                          /* 64 */
    ;

rule_entry
    : IDENTIFIER AS expression ';'                                        /* 65 */
        {
          const std::string_view range = Name($1);
          CRangeValueSymbol* entry = compiler.AddRuleEntry(range, $3);
          Check(entry);
          // The entry's table bytes are reserved whether or not the entry was added.
          if (!compiler.PlaceRuleEntry(range)) ReportCompilerError();
          $$ = entry;
        }
    ;

method_open
    : %empty                                                              /* 66 */
        {
          // The written parameters are added to a copy of the prototype, to match it afterwards.
          compiler.BeginMethodBody();
          CProtoSymbol* probe = compiler.CopyPrototype($<symbol>-1);  // the method_name value
          Check(probe);
          compiler.PushContext(probe);
        }
    ;

method_scope_open
    : %empty                                                              /* 67 */
        {
          CSymbol* probe = compiler.CurrentContext();
          compiler.PopContext();
          CMethodStatement* method = compiler.NewMethodStatement(probe);
          Check(method);
          compiler.DiscardPrototype(probe);
          $$ = method;
        }
    ;

method_block_open
    : %empty                                                              /* 68 */
        {
          // A definition that matched no prototype still has its body parsed and checked, in a
          // block that is then dropped; the scopes stay paired with the closing brace.
          CMethodStatement* method = $<method>-1;  // the method_scope_open value
          compiler.OpenScope(method != nullptr ? &method->body : compiler.NewDiscardedBody());
          // The body sees the parameters of the overload the definition matched.
          CSymbol* prototype = method != nullptr ? method->prototype : $<symbol>-6;
          if (!compiler.DeclareMethodLocals(prototype)) ReportCompilerError();
        }
    ;

method_definition
    : method_name '(' method_open parameter_list ')' method_scope_open '{' method_block_open statement_block '}'  /* 69 */
        {
          compiler.CloseScope();
          compiler.PopContext();
          EndMethodDefinition();
        }
    ;

method_name
    : IDENTIFIER                                                          /* 70 */
        {
          CSymbol* symbol = compiler.ResolveName(nullptr, Name($1));
          Check(symbol);
          compiler.PushContext(compiler.CurrentContext());
          $$ = symbol;
        }
    | IDENTIFIER ':' IDENTIFIER                                           /* 71 */
        {
          CSymbol* owner = compiler.ResolveName(nullptr, Name($1));
          Check(owner);
          compiler.PushContext(owner);
          CSymbol* symbol = compiler.ResolveName(owner, Name($3));
          Check(symbol);
          $$ = symbol;
        }
    ;

statement_block
    : statement_list                                                      /* 72 */
    ;

statement_list
    : %empty                                                              /* 73 */
    | statement_list statement                                            /* 74 */
    ;

statement
    : constant_declaration ';'                                            /* 75 */
    | variable_declaration ';'                                            /* 76 */
        { if (!compiler.PlaceLocalVariable($1)) ReportCompilerError(); }
    | assignment ';'                                                      /* 77 */
    | output_statement ';'                                                /* 78 */
    | call_statement ';'                                                  /* 79 */
    | while_statement                                                     /* 80 */
    | if_statement                                                        /* 81 */
    | weight_statement ';'                                                /* 82 */
    | clear_statement ';'                                                 /* 83 */
    ;

nested_block_open
    : %empty                                                              /* 84 */
        {
          CBlockStatement* statement = compiler.NewBlockStatement();
          if (statement == nullptr)
            ReportCompilerError();
          else
            compiler.OpenScope(&statement->block);
        }
    ;

statement
    : '{' nested_block_open statement_block '}' { compiler.CloseScope(); }  /* 85 */
    ;

assignment
    : assignment_target '=' expression                                    /* 86 */
        { Check(compiler.NewAssignStatement($1, $3)); }
    ;

output_statement
    : OUTCH expression                          { Check(compiler.NewOutStatement($2, 1)); }  /* 87 */
    | OUT expression                            { Check(compiler.NewOutStatement($2, 0)); }  /* 88 */
    | OUT STRING                                { Check(compiler.NewOutStringStatement($2)); }  /* 89 */
    ;

call_expression_open
    : %empty                                                              /* 90 */
        // The arguments' parameter statements collect in a block of their own.
        { compiler.PushBlock(compiler.NewArgumentBlock()); }
    ;

call_expression
    : qualified_name '(' call_expression_open argument_list ')'           /* 91 */
        {
          CBlock* arguments = compiler.TopBlock();
          compiler.PopBlock();
          // Used as a value, the call is not appended to the current block.
          $$ = compiler.NewCallStatement($1, arguments, 0);
          Check($$);
        }
    ;

call_statement_open
    : %empty                                                              /* 92 */
        { compiler.PushBlock(compiler.NewArgumentBlock()); }
    ;

call_statement
    : qualified_name '(' call_statement_open argument_list ')'            /* 93 */
        {
          CBlock* arguments = compiler.TopBlock();
          compiler.PopBlock();
          $$ = compiler.NewCallStatement($1, arguments, 1);
          Check($$);
        }
    ;

argument_list
    : %empty                                                              /* 94 */
    | argument                                                            /* 95 */
    | argument_list ',' argument                                          /* 96 */
    ;

argument
    : expression                                                          /* 97 */
        {
          $$ = compiler.NewParamStatement($1);
          Check($$);
        }
    ;

while_open
    : %empty                                                              /* 98 */
        {
          CLoopStatement* loop = compiler.NewLoopStatement($<expression>-2);  // the condition
          if (loop == nullptr)
            ReportCompilerError();
          else
            compiler.OpenScope(&loop->body);
          $$ = loop;
        }
    ;

while_statement
    : WHILE '(' expression ')' '{' while_open statement_block '}'         /* 99 */
        { compiler.CloseScope(); }
    ;

if_statement
    : if_clause                                                           /* 100 */
        { compiler.CloseScope(); }  // the else-block's scope, which stays empty
    | if_clause else_clause                                               /* 101 */
    | if_clause elseif_list                                               /* 102 */
        {
          compiler.CloseScope();
          if ($1 != nullptr) $1->elseIf = $2;
        }
    | if_clause elseif_list else_clause                                   /* 103 */
        {
          // The else statements went into the last clause's else-block.
          if ($1 != nullptr) $1->elseIf = $2;
        }
    ;

if_open
    : %empty                                                              /* 104 */
        {
          CDecideStatement* decide = compiler.NewDecideStatement($<expression>-2, 0);  // the condition
          if (decide == nullptr)
            ReportCompilerError();
          else
            compiler.OpenScope(&decide->thenBlock);
          $$ = decide;
        }
    ;

if_clause
    : IF '(' expression ')' '{' if_open statement_block '}'               /* 105 */
        {
          compiler.CloseScope();
          if ($6 != nullptr) compiler.OpenScope(&$6->elseBlock);
          $$ = $6;
        }
    ;

else_clause
    : ELSE '{' statement_block '}'              { compiler.CloseScope(); }  /* 106 */
    ;

elseif_list
    : elseif_clause                                                       /* 107 */
    | elseif_clause elseif_list                                           /* 108 */
        {
          if ($1 != nullptr) $1->elseIf = $2;
          $$ = $1;
        }
    ;

elseif_open
    : %empty                                                              /* 109 */
        {
          compiler.CloseScope();  // the else-block scope of the previous clause
          // Detached: the clause hangs off the previous one, not off the current block.
          CDecideStatement* decide = compiler.NewDecideStatement($<expression>-2, 1);
          if (decide == nullptr)
            ReportCompilerError();
          else
            compiler.OpenScope(&decide->thenBlock);
          $$ = decide;
        }
    ;

elseif_clause
    : ELSEIF '(' expression ')' '{' elseif_open statement_block '}'       /* 110 */
        {
          compiler.CloseScope();
          if ($6 != nullptr) compiler.OpenScope(&$6->elseBlock);
          $$ = $6;
        }
    ;

weight_statement
    : WEIGHT '(' expression ')'                 { Check(compiler.NewWithStatement($3)); }  /* 111 */
    ;

clear_statement
    : CLEAR '(' IDENTIFIER ')'                                            /* 112 */
        {
          CSymbol* symbol = compiler.ResolveName(compiler.CurrentContext(), Name($3));
          Check(symbol);
          Check(compiler.NewClearStatement(symbol));
        }
    ;

expression
    : expression '+' expression                 { $$ = Binary($1, EXPR_ADD, $3); }     /* 113 */
    | expression '-' expression                 { $$ = Binary($1, EXPR_SUB, $3); }     /* 114 */
    | expression '*' expression                 { $$ = Binary($1, EXPR_MUL, $3); }     /* 115 */
    | expression '/' expression                 { $$ = Binary($1, EXPR_DIV, $3); }     /* 116 */
    | expression '%' expression                 { $$ = Binary($1, EXPR_MOD, $3); }     /* 117 */
    | expression '&' expression                 { $$ = Binary($1, EXPR_BITAND, $3); }  /* 118 */
    | expression '|' expression                 { $$ = Binary($1, EXPR_BITOR, $3); }   /* 119 */
    | expression '^' expression                 { $$ = Binary($1, EXPR_BITXOR, $3); }  /* 120 */
    | expression AND expression                 { $$ = Binary($1, EXPR_AND, $3); }     /* 121 */
    | expression OR expression                  { $$ = Binary($1, EXPR_OR, $3); }      /* 122 */
    | expression XOR expression                 { $$ = Binary($1, EXPR_XOR, $3); }     /* 123 */
    | expression MIN expression                 { $$ = Binary($1, EXPR_MIN, $3); }     /* 124 */
    | expression MAX expression                 { $$ = Binary($1, EXPR_MAX, $3); }     /* 125 */
    | expression EQ expression                  { $$ = Binary($1, EXPR_EQ, $3); }      /* 126 */
    | expression LE expression                  { $$ = Binary($1, EXPR_LE, $3); }      /* 127 */
    | expression GE expression                  { $$ = Binary($1, EXPR_GE, $3); }      /* 128 */
    | expression LT expression                  { $$ = Binary($1, EXPR_LT, $3); }      /* 129 */
    | expression GT expression                  { $$ = Binary($1, EXPR_GT, $3); }      /* 130 */
    | expression NE expression                  { $$ = Binary($1, EXPR_NE, $3); }      /* 131 */
    | expression SHL expression                 { $$ = Binary($1, EXPR_SHL, $3); }     /* 132 */
    | expression SHR expression                 { $$ = Binary($1, EXPR_SHR, $3); }     /* 133 */
    | expression IS expression                  { $$ = Checked(compiler.NewIsExpression($1, $3)); }  /* 134 */
    | '(' expression ')'                        { $$ = $2; }                           /* 135 */
    | '-' expression %prec '~'                  { $$ = Unary(EXPR_NEG, $2); }          /* 136 */
    | '~' expression                            { $$ = Unary(EXPR_BITNOT, $2); }       /* 137 */
    | NOT expression                            { $$ = Unary(EXPR_NOT, $2); }          /* 138 */
    | fuzzy_constant                                                      /* 139 */
    | constant                                                            /* 140 */
    | call_expression                           { $$ = Checked(compiler.NewCallValue($1)); }  /* 141 */
    | qualified_name                            { $$ = Checked(compiler.NewSymbolValue($1)); }  /* 142 */
    | qualified_name '[' expression ']'         { $$ = Element($1, $3); }              /* 143 */
    ;

assignment_target
    : %empty                                    { $$ = nullptr; }                      /* 144 */
    | qualified_name                            { $$ = Checked(compiler.NewSymbolValue($1)); }  /* 145 */
    | qualified_name '[' expression ']'         { $$ = Element($1, $3); }              /* 146 */
    ;

type_spec
    : BYTE                                      { $$ = compiler.NewType(TYPE_BYTE, 0, 0); }     /* 147 */
    | MEMORY address                                                      /* 148 */
        { $$ = compiler.NewType(TYPE_ADDRESS, $2, TYPE_FLAG_READ | TYPE_FLAG_WRITE); }
    | INTEGER                                   { $$ = compiler.NewType(TYPE_INTEGER, 0, 0); }  /* 149 */
    | REAL                                      { $$ = compiler.NewType(TYPE_REAL, 0, 0); }     /* 150 */
    | FUZZY                                     { $$ = compiler.NewType(TYPE_FUZZY, 0, 0); }    /* 151 */
    | type_spec '[' expression ']'                                        /* 152 */
        {
          $$ = compiler.NewArrayType($1, $3);
          Check($$);
        }
    | MEMORY error                              { Fail("Memory access: Requires an address"); }  /* 153 */
    ;

qualified_name
    : IDENTIFIER                                                          /* 154 */
        { $$ = Checked(compiler.ResolveName(compiler.CurrentContext(), Name($1))); }
    | qualified_name ':' IDENTIFIER                                       /* 155 */
        // With a null owner (the owner's name failed) this finds an ownerless symbol.
        { $$ = Checked(compiler.ResolveName($1, Name($3))); }
    ;

address
    : INT_NUMBER                                                          /* 156 */
    | HEX_NUMBER                                                          /* 157 */
    ;

constant
    : integer_constant                                                    /* 158 */
    | REAL_NUMBER                               { $$ = Checked(compiler.NewRealValue(TYPE_REAL, $1)); }  /* 159 */
    | CHARACTER                                                           /* 160 */
        { $$ = Checked(compiler.NewIntegerValue(TYPE_BYTE, static_cast<unsigned char>($1))); }
    ;

integer_constant
    : INT_NUMBER                                { $$ = Checked(compiler.NewIntegerValue(TYPE_INTEGER, $1)); }  /* 161 */
    | HEX_NUMBER                                { $$ = Checked(compiler.NewIntegerValue(TYPE_INTEGER, $1)); }  /* 162 */
    ;

fuzzy_constant
    : constant '@' constant                                               /* 163 */
        { $$ = Checked(compiler.NewFuzzyValue(TYPE_FUZZY, $1, $3)); }
    ;
