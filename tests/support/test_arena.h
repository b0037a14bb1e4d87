// The arena that hand-built test models live in: one for the test program, released at exit.
#pragma once

#include "model/arena.h"

inline CArena& TestArena() {
  static CArena arena;
  return arena;
}
