// Conversion instructions between value kinds, as the code generators insert them.
#pragma once

#include "model/type.h"

class CTarget;

// Appends the one instruction that converts a value of kind `from` on the stack to
// kind `to` (Address counts as Byte), or nothing when none is needed or exists.
// False only when the code region had no room for it.
bool EmitConversion(TypeKind from, TypeKind to, CTarget& target);
