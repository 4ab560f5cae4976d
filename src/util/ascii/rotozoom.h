#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Fills the whole text screen with a rotated and zoomed view of a 256 x 256
// picture that repeats in both directions. Angle and zoom come from two sine
// tables whose indices step every 20 ms on one clock shared by all objects of a show.
class Rotozoom {
 public:
  // Loads the 256 x 256 ".raw" picture from the archive (fatal when missing
  // or malformed) and builds the tables.
  Rotozoom(AsciiEngine* engine, const char* fileName);

  AsciiEngine* engine;
  int angleIndex;  // 0..255, falls by one per step
  int zoomIndex;   // 0..255, rises by one per step
  int mirror;      // 0 normal, 1 upside down, 2 left-right, 3 both
  int directionTable[256];
  int zoomTable[256];
  unsigned char texels[256 * 256];

  // Draws every cell with the current indices, then takes the steps due at
  // `now`.
  void drawAndAdvance(uint32_t now);

  // The per-cell texture step of the current indices (12 fraction bits):
  // one column right moves (a, b) in the picture, one row down (-b, a).
  void stepVector(int* a, int* b) const;

  // Step clock shared within a show, started by the first drawAndAdvance of any
  // object, which takes no step.
  struct Shared {
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
