#pragma once

#include "util/music/modulators/modulator.h"

// Arpeggiator: a gate that is 1 while the note is held. Pattern, octaves and
// rate travel with it for whoever plays the arpeggio.
class Arp : public Modulator {
 public:
  enum { PATTERN_UPDOWN = 0, PATTERN_UP = 1, PATTERN_DOWN = 2 };

  Arp(int pattern, int octaves, int numerator, int denominator, bool triplet);

  float value(float now, float offTime, float onTime) override;

  int pattern;
  int octaves;
};
