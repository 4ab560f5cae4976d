#include "util/ascii/fountain.h"

#include <cmath>

#include "util/ascii/asciiengine.h"

ParticleFountain::Shared& ParticleFountain::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {
constexpr int kPlaneWidth = 320;
constexpr int kPlaneHeight = 200;
constexpr int kUnitsPerCell = 4;
}  // namespace

ParticleFountain::ParticleFountain(AsciiEngine* engine)
    : engine(engine),
      particles{},
      points{},
      liveCount(0),
      spawnCount(0),
      depthStep(8),
      xSpeed(60),
      ySpeed(60),
      spawnIndexA(0),
      spawnIndexB(0),
      originPhaseX(64),
      originPhaseY(0),
      speedPhaseA(64),
      speedPhaseB(0),
      tickCounter(0) {
  for (int i = 0; i < 256; ++i) {
    const double angle = i * 6.283185307 * 0.00390625;
    cosine[i] = static_cast<int32_t>(std::cos(angle) * 128.0 + 0.5);
    sine[i] = static_cast<int32_t>(std::sin(angle) * 128.0 + 0.5);
  }
  for (int i = 0; i < 256; ++i) permutation[i] = i;
  engine->state().random.seed(0);
  for (int pass = 0; pass < 128; ++pass) {
    for (int i = 0; i < 256; ++i) {
      const int j = engine->state().random.next() % 256;
      const int32_t kept = permutation[i];
      permutation[i] = permutation[j];
      permutation[j] = kept;
    }
  }
  // White near the viewer, dark blue far away.
  static constexpr unsigned char kRamp[4] = {15, 11, 9, 1};
  for (int level = 0; level < 16; ++level) colourByLevel[level] = kRamp[level / 4];
}

void ParticleFountain::spawn() {
  shared(*engine).pointCount = 0;
  spawnCount = 0;
  int next = 0;  // every particle below `next` is taken
  while (liveCount < kParticles) {
    while (next < kParticles && particles[next].depth != 0) ++next;
    if (next == kParticles) break;  // the live count is off; nothing is free
    Particle& p = particles[next];
    p.xSpread = cosine[permutation[spawnIndexA]] * xSpeed;
    p.ySpread = sine[permutation[spawnIndexB]] * ySpeed;
    p.depth = 256;
    p.xOrigin = cosine[originPhaseX] * 120 / 256 + 160;
    p.yOrigin = sine[originPhaseY] * 80 / 256 + 100;
    spawnIndexA = (spawnIndexA + 1) & 255;
    spawnIndexB = (spawnIndexB + 1) & 255;
    ++liveCount;
    if (++spawnCount == kSpawnsPerTick) break;
  }
}

void ParticleFountain::move() {
  int32_t& pointCount = shared(*engine).pointCount;
  for (Particle& p : particles) {
    if (p.depth == 0) continue;
    if (p.depth < 3) {
      p.depth = 0;
      --liveCount;
      continue;
    }
    const int32_t sx = p.xSpread / p.depth + p.xOrigin;
    if (sx <= 0 || sx >= kPlaneWidth) {
      p.depth = 0;
      --liveCount;
      continue;
    }
    const int32_t sy = p.ySpread / p.depth + p.yOrigin;
    if (sy <= 0 || sy >= kPlaneHeight) {
      p.depth = 0;
      --liveCount;
      continue;
    }
    int32_t level = p.depth / 16 - engine->state().random.next() % 4;
    if (level < 0) level = 0;
    if (level > 15) level = 15;
    points[pointCount++] = Point{sy / kUnitsPerCell, sx / kUnitsPerCell, colourByLevel[level]};
    p.depth -= depthStep;
    // A particle whose depth runs out is free: keep the live count true so
    // that spawning never looks for a free particle that is not there.
    if (p.depth <= 0) {
      p.depth = 0;
      --liveCount;
    }
  }
}

void ParticleFountain::tick() {
  spawn();
  move();
  originPhaseX = static_cast<uint8_t>(originPhaseX + 2);
  originPhaseY = static_cast<uint8_t>(originPhaseY + 1);
  if (tickCounter % 5 != 0) {
    xSpeed = cosine[speedPhaseA] * 70 / 256 + 60;
    ySpeed = sine[speedPhaseB] * 70 / 256 + 60;
    ++speedPhaseA;
    ++speedPhaseB;
  }
  ++tickCounter;
}

void ParticleFountain::draw() {
  const int32_t pointCount = shared(*engine).pointCount;
  for (int32_t i = 0; i < pointCount; ++i)
    engine->setCell(points[i].column, points[i].row, kFullBlock, points[i].colour & 0xFF, 0);
}

void ParticleFountain::advanceAndDraw(uint32_t now) {
  shared(*engine).step.catchUp(now, kTickMs, [this] { tick(); });
  draw();
}
