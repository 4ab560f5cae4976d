#pragma once

#include "util/music/modulators/modulator.h"

// Oscillator that restarts at every note-on: one period per `rate` beats.
class LFO : public Modulator {
 public:
  enum { WAVE_SINE = 0, WAVE_SAW = 1 };

  LFO(int wave, int controller, int numerator, int denominator, bool triplet);

  // Released: 0. Held: the sine runs 0 -> 1 -> 0 over a period; the saw rises
  // from 0 to `rate` and starts again.
  float value(float now, float offTime, float onTime) override;

  int wave;
};
