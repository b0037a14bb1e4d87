// Token codes: the interface between the lexer and the parse engine.
#pragma once

// The numbering is a contract with grammar.y (which declares the same codes)
// and with the parse tables built from it: never renumber. Character tokens
// are their own character code; 0 is the end of the input.
enum TokenCode : int {
  TOKEN_END = 0,
  YYERRCODE = 256,  // the grammar's error pseudo-token; the lexer never returns it
  AS = 257,
  BYTE,
  CLEAR,
  CONSTANT,
  DEFINE,
  DO,
  ELSEIF,
  ELSE,
  FUZZY,
  IF,
  INTEGER,
  INTERRUPT,
  MEMORY,
  OUTCH,
  OUT,
  RANGE,
  REAL,
  RULE,
  USE,
  WHILE,
  WEIGHT,
  INT_NUMBER,
  HEX_NUMBER,
  REAL_NUMBER,
  IDENTIFIER,
  STRING,
  CHARACTER,
  EQ,
  LE,
  GE,
  LT,
  GT,
  NE,
  AND,
  IS,
  OR,
  XOR,
  MIN,
  MAX,
  SHL,
  SHR,
  NOT,  // 298, the last code
};

// The token's name as the grammar writes it ("IDENTIFIER", "'('", "$end").
const char* TokenName(int code);
