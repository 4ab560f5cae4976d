#include "util/ascii/starfield.h"

#include "util/ascii/asciiengine.h"

Starfield::Shared& Starfield::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

Starfield::Starfield(AsciiEngine* engine_) : engine(engine_) {
  for (int i = 0; i < kStars; ++i) {
    x[i] = 0;
    y[i] = engine->state().random.next() % AsciiEngine::kRows;
    speed[i] = engine->state().random.next() % 6 + 1;
  }
}

void Starfield::step() {
  for (int i = 0; i < kStars; ++i) {
    x[i] += speed[i];
    if (x[i] < 0 || x[i] >= AsciiEngine::kColumns) {
      x[i] = 0;
      y[i] = engine->state().random.next() % AsciiEngine::kRows;
      speed[i] = engine->state().random.next() % 6 + 1;
    }
  }
}

void Starfield::update(uint32_t now) {
  shared(*engine).step.start(now, 1);
  shared(*engine).step.catchUp(now, kStepMs, [this] { step(); });
  for (int i = 0; i < kStars; ++i) {
    engine->setCell(x[i], y[i], '.', speed[i] > 3 ? kWhite : kDarkGrey, kBlack);
  }
}
