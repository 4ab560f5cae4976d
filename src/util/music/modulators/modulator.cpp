#include "util/music/modulators/modulator.h"

Modulator::Modulator(int controller_, int kind_, float rate_)
    : controller(controller_), kind(kind_), intensity(1.0f), rate(rate_) {}

Modulator::~Modulator() {}

float noteLength(int numerator, int denominator, bool triplet) {
  if (denominator == 0) return 0.0f;
  float length = static_cast<float>(numerator) * 4.0f / static_cast<float>(denominator);
  if (triplet) length *= 0.6666667f;
  return length;
}
