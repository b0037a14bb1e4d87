// A listing of the tokens of one source file, for debugging the lexer.
#pragma once

#include <cstdio>
#include <string>

// Writes one line per token of path ("CODE\tNAME\tTEXT\tLINE") to out; USE
// clauses are not followed. False (and nothing written) when path cannot be
// opened.
bool WriteTokenListing(const std::string& path, FILE* out);
