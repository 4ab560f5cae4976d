#include "util/ascii/rasterbars.h"

#include <cmath>

#include "util/ascii/asciiengine.h"

RasterBars::Shared& RasterBars::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {
constexpr int kBehindColours[3] = {4, 2, 1};
constexpr int kFrontColours[3] = {kLightRed, kLightGreen, kLightBlue};
}  // namespace

RasterBars::RasterBars(AsciiEngine* engine, double phaseStep)
    : engine(engine), positions{}, depths{}, phases{}, phaseStep(phaseStep) {}

void RasterBars::initSet(int set, double phase) {
  phases[set] = phase;
  for (int i = 0; i < kBars; ++i) {
    positions[set][i] = (std::sin(phases[set]) + 1.0) * 25.0;
    depths[set][i] = std::cos(phases[set]);
    phases[set] += phaseStep;
  }
}

void RasterBars::advance(uint32_t now) {
  shared(*engine).step.catchUp(now, kTickMs, [this] {
    for (int a = 0; a < kSets; ++a) {
      for (int i = 0; i < kBars - 1; ++i) {
        positions[a][i] = positions[a][i + 1];
        depths[a][i] = depths[a][i + 1];
      }
      phases[a] += phaseStep;
      positions[a][kBars - 1] = (std::sin(phases[a]) + 1.0) * 25.0;
      depths[a][kBars - 1] = std::cos(phases[a]);
    }
  });
}

int RasterBars::colour(int bar, bool inFront) {
  return inFront ? kFrontColours[bar / 2] : kBehindColours[bar / 2];
}

void RasterBars::drawBar(int set, int bar, bool inFront) {
  const double position = positions[set][bar];
  // The row is the truncated position: 0..49 exactly for positions in
  // (-1, 50), so a bar at 50.0 lies below the screen.
  if (!(position > -1.0 && position < 50.0)) return;
  const int row = static_cast<int>(position);
  const int c = colour(bar, inFront);
  for (int column = 0; column < AsciiEngine::kColumns; ++column) engine->setCell(column, row, kFullBlock, c, c);
}

void RasterBars::drawBehind(int set) {
  for (int i = 0; i < kBars; ++i)
    if (depths[set][i] < 0.0) drawBar(set, i, false);
}

void RasterBars::drawInFront(int set) {
  for (int i = 0; i < kBars; ++i)
    if (depths[set][i] > 0.0) drawBar(set, i, true);
}
