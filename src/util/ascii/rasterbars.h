#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Two sets of six horizontal bars circling an imaginary cylinder. Within a
// set bar 0 is the oldest and bar 5 the newest: each bar follows the newest
// one's sine path, one 20 ms tick later per index. A bar's depth tells
// whether it is behind (negative) or in front (positive) of the cylinder.
class RasterBars {
 public:
  static constexpr int kSets = 2;
  static constexpr int kBars = 6;
  static constexpr uint32_t kTickMs = 20;

  RasterBars(AsciiEngine* engine, double phaseStep);

  AsciiEngine* engine;
  double positions[kSets][kBars];  // row, (sin(phase) + 1) x 25
  double depths[kSets][kBars];     // cos(phase)
  double phases[kSets];
  double phaseStep;

  // Starts set `set` at phase `phase`, its six bars one step apart.
  void initSet(int set, double phase);
  // Runs every 20 ms tick due on the shared clock.
  void advance(uint32_t now);
  void drawBehind(int set);
  void drawInFront(int set);

  // One clock for every RasterBars of a show; started by the first advance.
  struct Shared {
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

  // Colour of bar `bar` behind or in front.
  static int colour(int bar, bool inFront);

 private:
  void drawBar(int set, int bar, bool inFront);
};
