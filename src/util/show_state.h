#pragma once

#include "util/random.h"
#include "util/timing/classwide.h"

// What the scenes and effects of one show share, and nothing outside it:
// each class's state and the random sequence. Two shows in one process
// each have their own, so neither moves the other.
struct ShowState {
  ClasswideStates classwide;
  util::Random random;
};
