// The debug listing: its banner and section frames, and the sections chosen by the debug level.
#pragma once

#include <cstdio>
#include <functional>

class CTarget;

// The two sections other modules print: the symbol table (at depth 1) and the program (at depth 0).
struct ListingSections {
  std::function<void(FILE*)> scopeTable;
  std::function<void(FILE*)> program;
};

// Writes the banner and the sections of a level: 2 the byte codes; 3 the program information
// too; 4 the scope table too. Below 2 nothing is written.
void WriteListingDocument(FILE* file, int level, const ListingSections& sections, const CTarget& target);
