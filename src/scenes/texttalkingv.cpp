#include "scenes/texttalkingv.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "util/ascii/asciiengine.h"
#include "util/timing/tickclock.h"

TextTalkingV::Shared& TextTalkingV::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

constexpr double kQuarterTurn = M_PI / 2;
}  // namespace

TextTalkingV::TextTalkingV() = default;

void TextTalkingV::init() {
  char name[64];
  for (int i = 0; i < 8; ++i) {
    std::snprintf(name, sizeof name, "data/texttalkingv/%c.raw", kTitle[i]);
    letters[i].load(ascii, 8, 6, name);
  }
  wall.load(ascii, 80, 50, "data/texttalkingv/greywall.raw");
  face.load(ascii, 80, 50, "data/texttalkingv/vexmask.raw");
}

void TextTalkingV::draw(const FrameTime& time) { drawFrame(time.beat, time.ticks); }

void TextTalkingV::drawFrame(float b, uint32_t now) {
  ascii->clear();

  if (b < 104) {
    wall.draw(kLightShade, 0, 0);
    const double t = now * 0.001;
    for (int i = 0; i < 8; ++i) {
      const int x = static_cast<int>(36 * std::sin(t - 0.25 * i) - 36);
      letters[i].draw(kFullBlock, x, -1 - 6 * i);
    }
  }

  if (b < 44) {
    // no face yet
  } else if (b < 68) {
    face.draw(kFullBlock, 0, 0);
  } else if (b < 72) {
    face.drawRotated(shared(*ascii).spinStart.since(now) * 0.0012, 1.0, 1.0);
  } else if (b < 76) {
    face.drawRotated(kQuarterTurn, 1.0, 1.0);
  } else if (b < 104) {
    const uint32_t d = shared(*ascii).pulseStart.since(now);
    face.drawRotated(kQuarterTurn, 2 - std::cos(d * M_PI * 0.0078125), 1.0);
  } else if (b < 108) {
    face.drawRotated(kQuarterTurn, 1.0, 1.0);
  }

  if (b < 104) drawSpots(now);
  ascii->present();
}

void TextTalkingV::drawSpots(uint32_t now) {
  const double n = static_cast<int32_t>(now);
  const int columns[3] = {static_cast<int>(std::sin(n * 0.001) * 35 + 40),
                          static_cast<int>(std::sin(n * 0.00125) * 35 + 40),
                          static_cast<int>(std::sin(n * 0.002) * 35 + 40)};
  const int rows[3] = {static_cast<int>(std::cos(n * (1.0 / 710)) * 20 + 25),
                       static_cast<int>(std::cos(n * (1.0 / 410)) * 20 + 25),
                       static_cast<int>(std::cos(n * (1.0 / 810)) * 20 + 25)};
  for (int spot = 0; spot < 3; ++spot) {
    for (int dy = -5; dy <= 5; ++dy) {
      for (int dx = -5; dx <= 5; ++dx) {
        if ((10 - std::abs(dx) - std::abs(dy)) / 2 <= 0) continue;
        const int c = columns[spot] + dx;
        const int r = rows[spot] + dy;
        if (c < 0 || c >= AsciiEngine::kColumns || r < 0 || r >= AsciiEngine::kRows) continue;
        const int cell = r * AsciiEngine::kColumns + c;
        const int colour = (ascii->bg[cell] * 16 + ascii->fg[cell] + 1) & 255;
        ascii->fg[cell] = static_cast<unsigned char>(colour & 15);
        ascii->bg[cell] = static_cast<unsigned char>(colour >> 4);
      }
    }
  }
}
