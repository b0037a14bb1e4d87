/* The Tovrin grammar: productions and operator precedence only. Bison turns
   it into parse tables through frontend/table_skeleton.m4; the engine in
   parse_engine.cpp reads them and CParser::Action runs the actions. The
   productions are numbered in order (the first is 1): CParser::Action
   switches on those numbers, so never reorder, insert or remove one. */

%expect 0

/* Token codes are shared with the lexer (frontend/tokens.h). */
%token AS 257 BYTE 258 CLEAR 259 CONSTANT 260 DEFINE 261 DO 262 ELSEIF 263
%token ELSE 264 FUZZY 265 IF 266 INTEGER 267 INTERRUPT 268 MEMORY 269 OUTCH 270
%token OUT 271 RANGE 272 REAL 273 RULE 274 USE 275 WHILE 276 WEIGHT 277
%token INT_NUMBER 278 HEX_NUMBER 279 REAL_NUMBER 280 IDENTIFIER 281 STRING 282
%token CHARACTER 283 EQ 284 LE 285 GE 286 LT 287 GT 288 NE 289 AND 290 IS 291
%token OR 292 XOR 293 MIN 294 MAX 295 SHL 296 SHR 297 NOT 298

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
    | class_definition                                                    /* 5 */
    | constant_declaration ';'                                            /* 6 */
    | range_declaration ';'                                               /* 7 */
    | rule_declaration                                                    /* 8 */
    | method_definition                                                   /* 9 */
    | use_clause error                                                    /* 10 */
    | constant_declaration error                                          /* 11 */
    | range_declaration error                                             /* 12 */
    ;

use_clause
    : USE STRING                                                          /* 13 */
    ;

class_open
    : %empty                                                              /* 14 */
    ;

class_scope_open
    : %empty                                                              /* 15 */
    ;

class_definition
    : DEFINE IDENTIFIER class_open '{' class_scope_open member_list '}'   /* 16 */
    | DEFINE error '}'                                                    /* 17 */
    ;

member_list
    : %empty                                                              /* 18 */
    | member_list member                                                  /* 19 */
    ;

member
    : constant_declaration ';'                                            /* 20 */
    | variable_declaration ';'                                            /* 21 */
    | method_prototype ';'                                                /* 22 */
    | constant_declaration error ';'                                      /* 23 */
    | variable_declaration error ';'                                      /* 24 */
    | method_prototype error ';'                                          /* 25 */
    | constant_declaration error '}'                                      /* 26 */
    | variable_declaration error '}'                                      /* 27 */
    | method_prototype error '}'                                          /* 28 */
    ;

variable_declaration
    : IDENTIFIER AS type_spec                                             /* 29 */
    | IDENTIFIER AS error                                                 /* 30 */
    | IDENTIFIER error                                                    /* 31 */
    | error                                                               /* 32 */
    ;

prototype_open
    : %empty                                                              /* 33 */
    ;

prototype_scope_open
    : %empty                                                              /* 34 */
    ;

method_prototype
    : DO IDENTIFIER prototype_open '(' prototype_scope_open parameter_list ')' result_type  /* 35 */
    ;

parameter_list
    : %empty                                                              /* 36 */
    | parameter                                                           /* 37 */
    | parameter_list ',' parameter                                        /* 38 */
    ;

parameter
    : IDENTIFIER AS type_spec                                             /* 39 */
    | IDENTIFIER AS error                                                 /* 40 */
    | IDENTIFIER error                                                    /* 41 */
    ;

result_type
    : %empty                                                              /* 42 */
    | AS type_spec                                                        /* 43 */
    | AS INTERRUPT address                                                /* 44 */
    | AS INTERRUPT error                                                  /* 45 */
    ;

constant_declaration
    : CONSTANT IDENTIFIER '=' expression                                  /* 46 */
    | CONSTANT IDENTIFIER '=' error                                       /* 47 */
    | CONSTANT IDENTIFIER error                                           /* 48 */
    | CONSTANT error                                                      /* 49 */
    ;

range_declaration
    : RANGE IDENTIFIER '(' expression ',' expression ',' expression ')'   /* 50 */
    | RANGE IDENTIFIER '(' expression ',' expression ',' expression error /* 51 */
    | RANGE IDENTIFIER '(' expression ',' expression ',' error            /* 52 */
    | RANGE IDENTIFIER '(' expression ',' expression error                /* 53 */
    | RANGE IDENTIFIER '(' expression ',' error                           /* 54 */
    | RANGE IDENTIFIER '(' expression error                               /* 55 */
    | RANGE IDENTIFIER '(' error                                          /* 56 */
    | RANGE IDENTIFIER error                                              /* 57 */
    | RANGE error                                                         /* 58 */
    ;

rule_open
    : %empty                                                              /* 59 */
    ;

rule_declaration
    : RULE IDENTIFIER '{' rule_open rule_entry_list '}'                   /* 60 */
    | RULE IDENTIFIER '(' error                                           /* 61 */
    | RULE IDENTIFIER error                                               /* 62 */
    ;

rule_entry_list
    : rule_entry                                                          /* 63 */
    | rule_entry_list rule_entry                                          /* 64 */
    ;

rule_entry
    : IDENTIFIER AS expression ';'                                        /* 65 */
    ;

method_open
    : %empty                                                              /* 66 */
    ;

method_scope_open
    : %empty                                                              /* 67 */
    ;

method_block_open
    : %empty                                                              /* 68 */
    ;

method_definition
    : method_name '(' method_open parameter_list ')' method_scope_open '{' method_block_open statement_block '}'  /* 69 */
    ;

method_name
    : IDENTIFIER                                                          /* 70 */
    | IDENTIFIER ':' IDENTIFIER                                           /* 71 */
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
    ;

statement
    : '{' nested_block_open statement_block '}'                           /* 85 */
    ;

assignment
    : assignment_target '=' expression                                    /* 86 */
    ;

output_statement
    : OUTCH expression                                                    /* 87 */
    | OUT expression                                                      /* 88 */
    | OUT STRING                                                          /* 89 */
    ;

call_expression_open
    : %empty                                                              /* 90 */
    ;

call_expression
    : qualified_name '(' call_expression_open argument_list ')'           /* 91 */
    ;

call_statement_open
    : %empty                                                              /* 92 */
    ;

call_statement
    : qualified_name '(' call_statement_open argument_list ')'            /* 93 */
    ;

argument_list
    : %empty                                                              /* 94 */
    | argument                                                            /* 95 */
    | argument_list ',' argument                                          /* 96 */
    ;

argument
    : expression                                                          /* 97 */
    ;

while_open
    : %empty                                                              /* 98 */
    ;

while_statement
    : WHILE '(' expression ')' '{' while_open statement_block '}'         /* 99 */
    ;

if_statement
    : if_clause                                                           /* 100 */
    | if_clause else_clause                                               /* 101 */
    | if_clause elseif_list                                               /* 102 */
    | if_clause elseif_list else_clause                                   /* 103 */
    ;

if_open
    : %empty                                                              /* 104 */
    ;

if_clause
    : IF '(' expression ')' '{' if_open statement_block '}'               /* 105 */
    ;

else_clause
    : ELSE '{' statement_block '}'                                        /* 106 */
    ;

elseif_list
    : elseif_clause                                                       /* 107 */
    | elseif_clause elseif_list                                           /* 108 */
    ;

elseif_open
    : %empty                                                              /* 109 */
    ;

elseif_clause
    : ELSEIF '(' expression ')' '{' elseif_open statement_block '}'       /* 110 */
    ;

weight_statement
    : WEIGHT '(' expression ')'                                           /* 111 */
    ;

clear_statement
    : CLEAR '(' IDENTIFIER ')'                                            /* 112 */
    ;

expression
    : expression '+' expression                                           /* 113 */
    | expression '-' expression                                           /* 114 */
    | expression '*' expression                                           /* 115 */
    | expression '/' expression                                           /* 116 */
    | expression '%' expression                                           /* 117 */
    | expression '&' expression                                           /* 118 */
    | expression '|' expression                                           /* 119 */
    | expression '^' expression                                           /* 120 */
    | expression AND expression                                           /* 121 */
    | expression OR expression                                            /* 122 */
    | expression XOR expression                                           /* 123 */
    | expression MIN expression                                           /* 124 */
    | expression MAX expression                                           /* 125 */
    | expression EQ expression                                            /* 126 */
    | expression LE expression                                            /* 127 */
    | expression GE expression                                            /* 128 */
    | expression LT expression                                            /* 129 */
    | expression GT expression                                            /* 130 */
    | expression NE expression                                            /* 131 */
    | expression SHL expression                                           /* 132 */
    | expression SHR expression                                           /* 133 */
    | expression IS expression                                            /* 134 */
    | '(' expression ')'                                                  /* 135 */
    | '-' expression %prec '~'                                            /* 136 */
    | '~' expression                                                      /* 137 */
    | NOT expression                                                      /* 138 */
    | fuzzy_constant                                                      /* 139 */
    | constant                                                            /* 140 */
    | call_expression                                                     /* 141 */
    | qualified_name                                                      /* 142 */
    | qualified_name '[' expression ']'                                   /* 143 */
    ;

assignment_target
    : %empty                                                              /* 144 */
    | qualified_name                                                      /* 145 */
    | qualified_name '[' expression ']'                                   /* 146 */
    ;

type_spec
    : BYTE                                                                /* 147 */
    | MEMORY address                                                      /* 148 */
    | INTEGER                                                             /* 149 */
    | REAL                                                                /* 150 */
    | FUZZY                                                               /* 151 */
    | type_spec '[' expression ']'                                        /* 152 */
    | MEMORY error                                                        /* 153 */
    ;

qualified_name
    : IDENTIFIER                                                          /* 154 */
    | qualified_name ':' IDENTIFIER                                       /* 155 */
    ;

address
    : INT_NUMBER                                                          /* 156 */
    | HEX_NUMBER                                                          /* 157 */
    ;

constant
    : integer_constant                                                    /* 158 */
    | REAL_NUMBER                                                         /* 159 */
    | CHARACTER                                                           /* 160 */
    ;

integer_constant
    : INT_NUMBER                                                          /* 161 */
    | HEX_NUMBER                                                          /* 162 */
    ;

fuzzy_constant
    : constant '@' constant                                               /* 163 */
    ;
