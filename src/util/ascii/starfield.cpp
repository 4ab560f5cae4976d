#include "util/ascii/starfield.h"

#include "platform/random.h"
#include "platform/ticks.h"
#include "util/ascii/asciiengine.h"
#include "util/timing/tickclock.h"

bool Starfield::clockStarted = false;
uint32_t Starfield::clock = 0;

Starfield::Starfield(AsciiEngine* engine_) : engine(engine_) {
  for (int i = 0; i < kStars; ++i) {
    x[i] = 0;
    y[i] = platform::rand() % AsciiEngine::kRows;
    speed[i] = platform::rand() % 6 + 1;
  }
}

void Starfield::step() {
  for (int i = 0; i < kStars; ++i) {
    x[i] += speed[i];
    if (x[i] < 0 || x[i] >= AsciiEngine::kColumns) {
      x[i] = 0;
      y[i] = platform::rand() % AsciiEngine::kRows;
      speed[i] = platform::rand() % 6 + 1;
    }
  }
}

void Starfield::update() {
  const uint32_t now = platform::getTickCount();
  if (!clockStarted) {
    clock = now;
    clockStarted = true;
  }
  while (tickBefore(clock, now)) {
    clock += 20;
    step();
  }
  for (int i = 0; i < kStars; ++i) {
    engine->setCell(x[i], y[i], '.', speed[i] > 3 ? 15 : 8, 0);
  }
}
