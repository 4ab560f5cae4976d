#include "util/ascii/starfield.h"

#include "util/random.h"
#include "util/ascii/asciiengine.h"

Classwide<Starfield::Shared> Starfield::shared;

Starfield::Starfield(AsciiEngine* engine_) : engine(engine_) {
  for (int i = 0; i < kStars; ++i) {
    x[i] = 0;
    y[i] = util::rand() % AsciiEngine::kRows;
    speed[i] = util::rand() % 6 + 1;
  }
}

void Starfield::step() {
  for (int i = 0; i < kStars; ++i) {
    x[i] += speed[i];
    if (x[i] < 0 || x[i] >= AsciiEngine::kColumns) {
      x[i] = 0;
      y[i] = util::rand() % AsciiEngine::kRows;
      speed[i] = util::rand() % 6 + 1;
    }
  }
}

void Starfield::update(uint32_t now) {
  shared->step.start(now, 1);
  shared->step.catchUp(now, kStepMs, [this] { step(); });
  for (int i = 0; i < kStars; ++i) {
    engine->setCell(x[i], y[i], '.', speed[i] > 3 ? kWhite : kDarkGrey, kBlack);
  }
}
