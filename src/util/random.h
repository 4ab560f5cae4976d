#pragma once

namespace util {

// The program's one pseudo-random sequence, 0..32767 like the classic C
// runtime: every effect's index arithmetic assumes that range, which glibc's
// rand() does not give.
constexpr int kRandMax = 32767;

int rand();
void srand(unsigned int seed);
// The seed the sequence starts from in a new process.
constexpr unsigned int kFirstSeed = 1;

}  // namespace util
