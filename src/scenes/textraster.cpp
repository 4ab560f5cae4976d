#include "scenes/textraster.h"

#include <cmath>
#include <cstdio>

#include "util/ascii/asciiengine.h"
#include "util/ascii/rasterbars.h"
#include "util/ascii/starfield.h"
#include "util/timing/tickclock.h"

TextRaster::Shared& TextRaster::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {
constexpr uint32_t kScrollerDelayMs = 312;
}  // namespace

TextRaster::TextRaster() = default;
TextRaster::~TextRaster() = default;

void TextRaster::init() {
  for (int i = 0; i < kNames; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "data/textraster/nick%d.raw", i + 1);
    names[i].load(ascii, 80, 50, name);
  }
  bars.reset(new RasterBars(ascii, 0.04));
  bars->initSet(0, 0.0);
  bars->initSet(1, M_PI);
  scroller.load(ascii, 800, 50, "data/textraster/fastintro.raw");
  starfield.reset(new Starfield(ascii));
  for (int i = 0; i < 200; ++i) starfield->step();
  face.load(ascii, 80, 50, "data/texttalkingv/vexmask.raw");
}

int TextRaster::nameIndex(float b) {
  const double inCycle = std::fmod(static_cast<double>(b), 16.0);
  if (!(inCycle >= 0.0 && inCycle < 16.0)) return -1;
  const int k = static_cast<int>(inCycle) / 2;
  return k < kNames ? k : -1;
}

void TextRaster::draw(const FrameTime& time) {
  const float b = time.beat;
  const uint32_t now = time.ticks;
  ascii->clear();

  if (b >= startTime && b < 220.0f) {
    const uint32_t sinceStart = shared(*ascii).scrollerStart.since(now);
    starfield->update(now);
    bars->advance(now);
    bars->drawBehind(0);
    bars->drawBehind(1);
    if (b < 204.0f) {
      // Unsigned: during the first 312 ms the offset is far past the
      // picture's right edge, so nothing shows; then one column per 10 ms.
      const uint32_t offset = (sinceStart - kScrollerDelayMs) / 10u;
      scroller.drawColumnWave(static_cast<int>(offset), now * (1.0 / 350), 4.5, -0.025);
    } else {
      const int k = nameIndex(b);
      if (k >= 0) names[k].draw(kFullBlock, 0, 0);
    }
    bars->drawInFront(0);
    bars->drawInFront(1);
  } else if (b >= 220.0f && b < endTime) {
    starfield->update(now);
    double zoom = 1.0;
    if (b >= 224.0f) {
      zoom = shared(*ascii).zoomStart.since(now) * 0.01 + 1.0;
    }
    face.drawRotated(M_PI / 2, zoom, zoom);
  }

  ascii->present();
}
