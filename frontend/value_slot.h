// The semantic value slot: one per grammar symbol on the parse stack.
#pragma once

#include <cstddef>

// Reinterpreted per symbol (token values come from the lexer, the others from
// the parser actions). It holds pointers, so it is pointer-sized here.
// The widest member comes first: `yyvalue{}` must clear the whole slot, and some
// compilers zero only the first member of a union, which left the high half of
// an old pointer behind an "empty" slot.
union yyvalue {
  void* object;    // the program objects the actions build
  char* text;      // IDENTIFIER, STRING, use_clause: heap copy made by NewText
  int number;      // INT_NUMBER, HEX_NUMBER, address
  float real;      // REAL_NUMBER
  char character;  // CHARACTER: only this low byte is meaningful
};
static_assert(sizeof(yyvalue) == sizeof(void*), "a slot is exactly one pointer wide");

// The heap copy the lexer hands over with IDENTIFIER and STRING tokens.
char* NewText(const char* begin, std::size_t length);
// Frees the copy a slot holds and clears the slot; a cleared slot is left alone.
void FreeText(yyvalue& slot);
