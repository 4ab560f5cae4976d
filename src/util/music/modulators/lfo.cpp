#include "util/music/modulators/lfo.h"

#include <cmath>

#include "util/error.h"

LFO::LFO(int wave_, int controller_, int numerator, int denominator, bool triplet)
    : Modulator(controller_, KIND_LFO, noteLength(numerator, denominator, triplet)), wave(wave_) {}

float LFO::value(float now, float offTime, float onTime) {
  if (!(onTime > offTime)) return 0.0f;
  // A period of no length has no phase; stay at rest instead of giving NaN.
  if (rate == 0.0f) return 0.0f;
  const float t = now - onTime;
  switch (wave) {
    case WAVE_SINE: return (std::sin(t * 6.2831855f / rate - 1.5707964f) + 1.0f) * 0.5f;
    case WAVE_SAW: return std::fmod(t, rate);
    default: ErrorBox("Unsupported wave type: %i", wave);
  }
}
