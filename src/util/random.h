#pragma once

#include <cstdint>

namespace util {

// A pseudo-random sequence, 0..32767 like the classic C runtime's: every
// effect's index arithmetic assumes that range, which glibc's rand() does
// not give. Each show has one (ShowState), which its effects share.
constexpr int kRandMax = 32767;
// The seed a sequence starts from until it is seeded.
constexpr unsigned int kFirstSeed = 1;

class Random {
 public:
  explicit Random(unsigned int seed = kFirstSeed) : state_(seed) {}
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
  }
  void seed(unsigned int seed) { state_ = seed; }

 private:
  uint32_t state_;
};

}  // namespace util
