#include "util/random.h"

#include <cstdint>

namespace util {
namespace {
uint32_t state = kFirstSeed;
}

int rand() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

void srand(unsigned int seed) { state = seed; }

}  // namespace util
