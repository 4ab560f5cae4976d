#include "scenes/textdance.h"

#include <cmath>
#include <cstdio>

#include "util/ascii/asciiengine.h"
#include "util/timing/tickclock.h"
#include "util/ascii/rotozoom.h"

TextDance::Shared& TextDance::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

// A picture index computed from the beat: pictures[index] when it exists,
// null otherwise (nothing is drawn).
RawPicture* pick(RawPicture* pictures, int index) {
  return index >= 0 && index < 4 ? &pictures[index] : nullptr;
}
}  // namespace

TextDance::TextDance() = default;

TextDance::~TextDance() = default;

void TextDance::init() {
  char name[64];
  for (int i = 0; i < 4; ++i) {
    std::snprintf(name, sizeof name, "data/textdance/dance%d.raw", i + 1);
    dance[i].load(ascii, 80, 50, name);
  }
  for (int i = 0; i < 4; ++i) {
    std::snprintf(name, sizeof name, "data/textdance/horn%d.raw", i + 1);
    horn[i].load(ascii, 80, 50, name);
  }
  rotozoom.reset(new Rotozoom(ascii, "data/textdance/rotozoom.raw"));
}

void TextDance::draw(const FrameTime& time) { drawFrame(time.beat, time.ticks); }

void TextDance::drawFrame(float b, uint32_t now) {
  // Pose changes every beat, half every half beat; both 0..3 from beat 0.
  const int pose = static_cast<int>(std::fmod(static_cast<double>(b), 4.0));
  const int half = static_cast<int>(std::fmod(2.0 * b, 4.0));

  ascii->clear();
  if (b < 172) {
    if (b >= 124) rotozoom->mirror = pose;
    rotozoom->drawAndAdvance(now);
    if (b < 140) {
      if (RawPicture* figure = pick(dance, pose)) figure->draw(kFullBlock, 0, 0);
      if (static_cast<int>(8 * static_cast<double>(b)) % 8 == 0) ascii->fillWhite();
    } else {
      const double d = shared(*ascii).spinStart.since(now);
      // d squared in double: no wrap however long the spin has run.
      if (RawPicture* figure = pick(dance, pose)) figure->drawRotatedClamped(d * d * 9.09090909090909e-07);
    }
  } else {
    const uint32_t sincePulse = shared(*ascii).pulseStart.since(now);
    const double pulse = 0.9 - 0.125 * std::cos(sincePulse * M_PI * 0.00390625);
    if (b < 173) {
      if (RawPicture* blast = pick(horn, half)) blast->drawRotated(0.0, pulse, pulse);
    } else if (b < 174) {
      horn[3].drawRotated(0.0, pulse, pulse);
    } else if (b < 178) {
      const double zoom = shared(*ascii).zoomStart.since(now) * 0.01 + 1;
      if (RawPicture* blast = pick(horn, 3 - half)) blast->drawRotated(0.0, zoom, zoom);
    }
  }
  ascii->present();
}
