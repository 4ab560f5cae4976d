#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// A four-sine plasma in light-shade characters over the whole screen. The
// screen samples an 800 x 500 field every tenth sample; two of the four
// phases move on a 20 ms tick clock shared by every Plasma of a show.
class Plasma {
 public:
  static constexpr uint32_t kTickMs = 20;

  explicit Plasma(AsciiEngine* engine);

  AsciiEngine* engine;
  int32_t p1, p2, p3, p4;
  int32_t i1, i2, i3, i4;  // running table indices of the cell being drawn
  int32_t sine[512];        // one full turn over 512 entries, amplitude 1024
  unsigned char colours[256];

  // Draws the current picture, then runs every tick due on the shared clock.
  void drawAndAdvance(uint32_t now);

  struct Shared {
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
