#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// The keys the shaded fire obeys, as its caller read them.
struct FireKeys {
  bool stop;   // no new heat while held (the show: F9)
  bool light;  // new heat again while held (the show: F8)
};

// Fire simulation over the text screen: a heat field three samples wide and
// two tall per cell, smoothed and cooled every 20 ms tick and seeded with
// random sparks. Each cell shows the average of its six samples through a
// 25-level colour ramp.
class FireEffect {
 public:
  // Zeroed heat field, default cooling; seeds the random generator with
  // `seed` (the show passes the tick count).
  FireEffect(AsciiEngine* engine, uint32_t seed);
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

  // Rising fire seeded along the bottom row. Runs the ticks due at `now` on
  // the shared clock, then draws; character -1 draws shaded glyphs 136..199
  // by heat.
  void update(int character, uint32_t now);
  // Fire streaming outwards from a seeded block at the centre, drawn with the
  // light shade (176), on its own shared clock. While `keys.stop` is held the
  // fire stops getting new heat; while `keys.light` is held it gets it again.
  void updateShaded(uint32_t now, FireKeys keys);

  // The single steps, also used by tests and benchmarks.
  void tick();
  void tickShaded(uint32_t now, FireKeys keys);
  void draw(int character);

  // Heat sample at row y (0 at the top) and column x of the current buffer.
  unsigned char sample(int y, int x) const { return current[y * 3 * width + x]; }

  // Tick clocks shared within a show: one for update(), one for updateShaded().
  // Each starts at the first call of its kind.
  struct Shared {
    TickClock step;
    TickClock shadedStep;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
