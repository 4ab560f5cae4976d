#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Thirty dots scrolling left to right at speeds 1..6 columns per 20 ms step.
class Starfield {
 public:
  static constexpr int kStars = 30;
  static constexpr uint32_t kStepMs = 20;

  // Every star starts in column 0 on a random row with a random speed.
  explicit Starfield(AsciiEngine* engine);

  AsciiEngine* engine;
  int x[kStars];
  int y[kStars];
  int speed[kStars];

  // One movement step, no drawing.
  void step();
  // Takes the steps due at `now` on the shared clock, then draws the stars.
  void update(uint32_t now);

  // Step clock shared by every Starfield of a show; started by the first
  // update of any of them, which takes no step.
  struct Shared {
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
