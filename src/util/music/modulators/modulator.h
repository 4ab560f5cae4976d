#pragma once

#include <cstdint>
#include <vector>

// Turns the state of one MIDI note stream into a number: `now` is the current
// beat time, `onTime` and `offTime` the beats of the note's latest note-on and
// note-off. The note is held while onTime > offTime. All times are in beats.
class Modulator {
 public:
  enum { KIND_ADSR = 0, KIND_LFO = 1, KIND_ARP = 2 };

  Modulator(int controller, int kind, float rate);
  virtual ~Modulator();

  virtual float value(float now, float offTime, float onTime) = 0;

  int32_t controller;  // the LFO's controller number; -1 for the others
  int32_t kind;
  float intensity;  // 1.0 until the configuration sets it
  float rate;       // note length in beats (LFO, Arp)
  // Rate table, one row per template range: controller values
  // rangeMin..rangeMax select a note length of rangeRate beats.
  std::vector<uint8_t> rangeMin;
  std::vector<uint8_t> rangeMax;
  std::vector<float> rangeRate;

  Modulator(const Modulator&) = delete;
  Modulator& operator=(const Modulator&) = delete;
};

// numerator/denominator of a whole note in beats (quarter notes): 1/4 is one
// beat, 1/8 half a beat; a triplet takes two thirds; a denominator of 0 gives 0.
float noteLength(int numerator, int denominator, bool triplet);
