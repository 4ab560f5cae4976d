#pragma once

#include "util/music/modulators/modulator.h"

// Attack-decay-sustain-release envelope. Times in beats, sustain a level 0..1;
// each slope is SLOPE_LINEAR, SLOPE_EXP or SLOPE_EXP_INV.
class ADSR : public Modulator {
 public:
  enum { SLOPE_LINEAR = 0, SLOPE_EXP = 1, SLOPE_EXP_INV = 2 };

  ADSR(float attack, int attackSlope, float decay, int decaySlope, float sustain, float release,
       int releaseSlope);

  // Held: attack from 0 to 1, decay to the sustain level, then sustain.
  // Released: from the level reached at the note-off down to 0 over `release`.
  float value(float now, float offTime, float onTime) override;

  float attack;
  int attackSlope;
  float decay;
  int decaySlope;
  float sustain;
  float release;
  int releaseSlope;
  float curveBase;  // K of the exponential curve (K^x - 1) / (K - 1)

 private:
  float curve(float x) const;
  float attackLevel(float t) const;
  float decayLevel(float t) const;
};
