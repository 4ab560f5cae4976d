#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Fire simulation over the text screen: a heat field three samples wide and
// two tall per cell, smoothed and cooled every 20 ms tick and seeded with
// random sparks. Each cell shows the average of its six samples through a
// 25-level colour ramp.
class FireEffect {
 public:
  // Zeroed heat field, default cooling; seeds the random generator with the
  // tick count.
  explicit FireEffect(AsciiEngine* engine);
  ~FireEffect();
  FireEffect(const FireEffect&) = delete;
  FireEffect& operator=(const FireEffect&) = delete;

  AsciiEngine* engine;
  int32_t sparksPerTick;  // 25
  int32_t width;          // 80 cells
  int32_t height;         // 50 cells
  unsigned char* heat;    // first buffer, (3 * width) x (2 * height)
  unsigned char* heat2;   // second buffer, same size
  double cooling;         // 0.5
  double coolingTarget;   // 0.25
  double coolingRate;     // 0.002
  int32_t stopped;        // once set, no new heat is added
  unsigned char ramp[25];  // heat level -> colours (low nibble fg, high bg)
  // The buffer the next tick reads: the first one until a tick has run,
  // then the one the last tick wrote.
  unsigned char* current;

  // Rising fire seeded along the bottom row. Runs the ticks due on the shared
  // clock, then draws; character -1 draws shaded glyphs 136..199 by heat.
  void update(int character);
  // Fire streaming outwards from a seeded block at the centre, drawn with the
  // light shade (176), on its own shared clock. While F9 is held the fire
  // stops getting new heat; while F8 is held it gets it again
  // (platform::isKeyHeld).
  void updateShaded();

  // The single steps, also used by tests and benchmarks.
  void tick();
  void tickShaded();
  void draw(int character);

  // Heat sample at row y (0 at the top) and column x of the current buffer.
  unsigned char sample(int y, int x) const { return current[y * 3 * width + x]; }

  // Process-wide tick clocks: one for update(), one for updateShaded().
  // Each starts at the first call of its kind and is never reset.
  static TickClock clock;
  static TickClock shadedClock;
};
