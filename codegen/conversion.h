// Conversion instructions between value kinds, as the code generators insert them.
#pragma once

#include "model/type.h"

class CTarget;

// The column of a value kind in the instruction families that come in four widths (and in the
// conversion table): Byte and Address 0, Integer 1, Real 2, Fuzzy 3; -1 for any other kind.
int KindColumn(TypeKind kind);

// Appends the one instruction that converts a value of kind `from` on the stack to
// kind `to` (Address counts as Byte), or nothing when none is needed or exists.
// False only when the code region had no room for it.
bool EmitConversion(TypeKind from, TypeKind to, CTarget& target);
