#include "scenes/textending.h"

#include <cmath>
#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/ascii/fallingblocks.h"
#include "util/ascii/fire.h"
#include "util/ascii/fountain.h"
#include "util/ascii/plasma.h"
#include "util/ascii/textline.h"
#include "util/timing/tickclock.h"
#include "util/music/music.h"

TextEnding::Shared& TextEnding::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

// Bar heights are whole rows; clamp first so that any magnitude converts.
int32_t truncateLevel(float value) {
  if (!(value > -1.0e9f)) return value != value ? 0 : -1000000000;
  if (value > 1.0e9f) return 1000000000;
  return static_cast<int32_t>(value);
}
}  // namespace

TextEnding::TextEnding()
    : rowColours{}, bandStarts{}, bandWidths{}, bandScales{}, bandLevels{}, levelDecay(3) {}

TextEnding::~TextEnding() = default;

void TextEnding::init() {
  particles.reset(new ParticleFountain(ascii));
  fire.reset(new FireEffect(ascii, initTicks));
  wavePicture.load(ascii, 80, 50, "data/textending/tolvek.raw");
  plasma.reset(new Plasma(ascii));
  creditPictures[0].load(ascii, 80, 50, "data/textending/code.raw");
  creditPictures[1].load(ascii, 80, 50, "data/textending/music.raw");
  personPictures[0].load(ascii, 80, 50, "data/textending/sunvira.raw");
  personPictures[1].load(ascii, 80, 50, "data/textending/drimbo00.raw");
  blocks.reset(new FallingBlocks(ascii));
  face.load(ascii, 80, 50, "data/texttalkingv/vexmask.raw");

  for (int row = 0; row < 50; ++row) rowColours[row] = row < 5 ? 12 : row < 20 ? 14 : 10;
  static constexpr int32_t kStarts[kBands] = {0, 20, 50, 250};
  static constexpr int32_t kWidths[kBands] = {4, 5, 5, 5};
  static constexpr int32_t kScales[kBands] = {61, 154, 309, 402};
  for (int k = 0; k < kBands; ++k) {
    bandStarts[k] = kStarts[k];
    bandWidths[k] = kWidths[k];
    bandScales[k] = kScales[k];
    bandLevels[k] = 0;
  }
  levelDecay = 3;
}

void TextEnding::drawAnalyser(const FrameTime& time) {
  float* spectrum = shared(*ascii).spectrum;
  if (time.spectrum) {
    std::memcpy(spectrum, time.spectrum, sizeof shared(*ascii).spectrum);
  } else {
    std::memset(spectrum, 0, sizeof shared(*ascii).spectrum);
  }
  shared(*ascii).analyserStep.catchUp(time.ticks, kAnalyserTickMs, [this, spectrum] {
    for (int k = 0; k < kBands; ++k) {
      float sum = 0.0f;
      for (int i = bandStarts[k]; i < bandStarts[k] + bandWidths[k]; ++i)
        if (i >= 0 && i < kSpectrumSize) sum += spectrum[i];
      const float target = sum * static_cast<float>(bandScales[k]);
      const int32_t fallen = bandLevels[k] - levelDecay;
      bandLevels[k] = static_cast<float>(fallen) > target ? fallen : truncateLevel(target);
    }
  });
  for (int k = 0; k < kBands; ++k) {
    int top = 50 - bandLevels[k];
    if (top < 0) top = 0;
    if (top >= 50) continue;
    for (int row = top; row < 50; ++row) {
      for (int column = 20 * k + 1; column <= 20 * k + 18; ++column) {
        // The bar shows the colour beneath it (the fire) as its background.
        const int under = ascii->fg[row * AsciiEngine::kColumns + column];
        ascii->setCell(column, row, kSmallSquare, rowColours[row], under);
      }
    }
  }
}

void TextEnding::drawWave(uint32_t now) {
  const double d = shared(*ascii).waveStart.since(now);
  const double amplitude = 7.0 + 6.0 * std::cos(d * (1.0 / 1700));
  const double rowStep = 0.5 + 0.3 * std::cos(d * (1.0 / 1900));
  wavePicture.drawRowWave(now * 0.02, amplitude, rowStep);
}

void TextEnding::drawCredits(float b, uint32_t now) {
  const int index = b < 500.0f ? 0 : 1;
  personPictures[index].drawRotated(std::sin(now * (1.0 / (100 * M_PI))) * (1.0 / 3), 1.0, 1.0);
  creditPictures[index].drawColumnWave(0, now * (1.0 / 150), 1.5, 0.3);
}

void TextEnding::drawFallback(uint32_t now) {
  face.drawRotated(shared(*ascii).fallbackStart.since(now) * 0.002, 1.0, 1.0);
  writeText(ascii, 0, 49, "(F5 - Snake, ESC - Quit)", kRed, kBlack);
}

void TextEnding::draw(const FrameTime& time) {
  const float b = time.beat;
  const uint32_t now = time.ticks;
  ascii->clear();

  if (b >= startTime && b < 420.0f) {
    particles->advanceAndDraw(now);
  } else if (b >= 420.0f && b < 452.0f) {
    auto held = [this](int keyByte) { return keys != nullptr && keys->down[keyByte] != 0; };
    fire->updateShaded(now, FireKeys{held(kKeyFunction9), held(kKeyFunction8)});
    drawAnalyser(time);
  } else if (b >= 452.0f && b < 484.0f) {
    drawWave(now);
  } else if (b >= 484.0f && b < 517.0f) {
    plasma->drawAndAdvance(now);
    drawCredits(b, now);
  } else if (b >= 517.0f && b < endTime) {
    ascii->drawBanner(ascii->banners[1]);
    blocks->advanceAndDraw(now);
  } else {
    drawFallback(now);
  }

  ascii->present();
}
