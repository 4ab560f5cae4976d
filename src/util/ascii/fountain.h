#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Particles flying out of a wandering origin towards the viewer, on a
// virtual 320 x 200 plane drawn at 4 x 4 units per text cell. A particle's
// depth counts down from 256; its screen position is spread / depth + origin.
// Steps every 20 ms on a clock shared by every ParticleFountain of a show.
class ParticleFountain {
 public:
  static constexpr int kParticles = 3840;
  static constexpr int kSpawnsPerTick = 30;
  static constexpr uint32_t kTickMs = 20;

  struct Particle {
    int32_t xSpread, ySpread;
    int32_t xOrigin, yOrigin;  // virtual units
    int32_t depth;             // 0 = free, 256 at birth
  };
  struct Point {
    int32_t row, column, colour;
  };

  // Builds the tables and shuffles the spawn permutation; reseeds the
  // program's random sequence with 0 to do so.
  explicit ParticleFountain(AsciiEngine* engine);

  AsciiEngine* engine;
  Particle particles[kParticles];
  Point points[kParticles];
  int32_t cosine[256];
  int32_t sine[256];
  int32_t permutation[256];
  int32_t liveCount;
  int32_t spawnCount;
  int32_t depthStep;
  int32_t xSpeed, ySpeed;
  int32_t spawnIndexA, spawnIndexB;
  uint8_t originPhaseX, originPhaseY;
  uint8_t speedPhaseA, speedPhaseB;
  uint8_t tickCounter;
  unsigned char colourByLevel[16];

  // Runs every tick due on the shared clock, then draws the points of the
  // last tick that ran.
  void advanceAndDraw(uint32_t now);
  void tick();
  void draw();

  struct Shared {
    int32_t pointCount;  // valid entries in `points`
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

 private:
  void spawn();
  void move();
};
