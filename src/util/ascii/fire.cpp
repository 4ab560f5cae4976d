#include "util/ascii/fire.h"

#include <cmath>
#include <cstdlib>

#include "util/random.h"
#include "util/ascii/asciiengine.h"
#include "util/error.h"

FireEffect::Shared& FireEffect::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

constexpr uint32_t kTickMs = 20;

// Heat is a byte; a cooling that lets the average grow past 255 (or a
// negative divisor) saturates instead of wrapping.
unsigned char toHeat(double value) {
  if (!(value > 0.0)) return 0;
  if (value >= 255.0) return 255;
  return static_cast<unsigned char>(value);
}

}  // namespace

FireEffect::FireEffect(AsciiEngine* engine_, uint32_t seed)
    : engine(engine_),
      sparksPerTick(25),
      width(80),
      height(50),
      heat(nullptr),
      heat2(nullptr),
      cooling(0.5),
      coolingTarget(0.25),
      coolingRate(0.002),
      stopped(0),
      ramp{},
      current(nullptr) {
  const size_t samples = static_cast<size_t>(width) * 3 * height * 2;
  heat = static_cast<unsigned char*>(std::calloc(samples, 1));
  heat2 = static_cast<unsigned char*>(std::calloc(samples, 1));
  if (heat == nullptr || heat2 == nullptr) ErrorBox("Out of memory for the fire");
  current = heat;

  ramp[0] = 0x00;
  ramp[1] = 0x04;
  for (int level = 2; level <= 6; ++level) ramp[level] = 0x0C;
  for (int level = 7; level <= 15; ++level) ramp[level] = 0x0E;
  for (int level = 16; level <= 24; ++level) ramp[level] = 0x0F;

  engine->state().random.seed(seed);
}

FireEffect::~FireEffect() {
  std::free(heat);
  std::free(heat2);
}

void FireEffect::update(int character, uint32_t now) {
  shared(*engine).step.catchUp(now, kTickMs, [this] { tick(); });
  draw(character);
}

void FireEffect::updateShaded(uint32_t now, FireKeys keys) {
  shared(*engine).shadedStep.catchUp(now, kTickMs, [this, now, keys] { tickShaded(now, keys); });
  draw(176);
}

namespace {

void driftCooling(double& cooling, double target, double rate) {
  if (rate > 0 && target < cooling) cooling -= rate;
  if (rate <= 0 && cooling < target) cooling -= rate;
}

}  // namespace

void FireEffect::tick() {
  const int w = 3 * width;
  const int h = 2 * height;
  // The first tick reads the first buffer and writes the second; from then
  // on the second is updated in place.
  const unsigned char* src = current;
  unsigned char* dst = heat2;

  driftCooling(cooling, coolingTarget, coolingRate);
  const double div8 = 8 + cooling;
  const double div5 = 5 + cooling;
  const double div3 = 3 + cooling;

  // Each sample's neighbours, averaged and cooled, move one row up. In place
  // the row above already holds this pass's values left of x.
  for (int y = 1; y < h; ++y) {
    const unsigned char* up = src + (y - 1) * w;
    const unsigned char* mid = src + y * w;
    unsigned char* out = dst + (y - 1) * w;
    if (y + 1 < h) {
      const unsigned char* down = src + (y + 1) * w;
      out[0] = toHeat((up[0] + up[1] + mid[1] + down[0] + down[1]) / div5);
      for (int x = 1; x < w - 1; ++x) {
        const int sum = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] +
                        down[x] + down[x + 1];
        out[x] = toHeat(sum / div8);
      }
      out[w - 1] = toHeat((up[w - 2] + up[w - 1] + mid[w - 2] + down[w - 2] + down[w - 1]) / div5);
    } else {
      out[0] = toHeat((up[0] + up[1] + mid[1]) / div3);
      for (int x = 1; x < w - 1; ++x) {
        const int sum = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1];
        out[x] = toHeat(sum / div5);
      }
      out[w - 1] = toHeat((up[w - 2] + up[w - 1] + mid[w - 2]) / div3);
    }
  }

  unsigned char* seeds = dst + (h - 1) * w;
  for (int i = 0; i < sparksPerTick; ++i) {
    for (int k = 0; k < 3; ++k) seeds[engine->state().random.next() * (w - 1) / util::kRandMax] = 0;
    if (!stopped) {
      seeds[engine->state().random.next() * (w - 1) / util::kRandMax] = 255;
    } else {
      seeds[w - 1] = 0;
    }
  }
  current = dst;
}

void FireEffect::tickShaded(uint32_t now, FireKeys keys) {
  const int w = 3 * width;
  const int h = 2 * height;
  const unsigned char* src = current;
  unsigned char* dst = heat2;

  driftCooling(cooling, coolingTarget, coolingRate);
  if (keys.stop) stopped = 1;
  if (keys.light) stopped = 0;

  // Every sample takes the cooled average around a point two columns and
  // one row nearer the centre, so the heat streams outwards. The cooling
  // breathes with the tick count.
  if (h >= 4 && w >= 4) cooling = 0.25 - 0.2 * std::sin(now * 0.01);
  for (int y = 2; y <= h - 2; ++y) {
    const int sy = y < h / 2 ? y + 1 : y - 1;
    const unsigned char* up = src + (sy - 1) * w;
    const unsigned char* mid = src + sy * w;
    const unsigned char* down = src + (sy + 1) * w;
    unsigned char* out = dst + y * w;
    for (int x = 2; x <= w - 2; ++x) {
      const int sx = x < w / 2 ? x + 2 : x - 2;
      const int sum = up[sx - 1] + up[sx] + up[sx + 1] + mid[sx - 1] + mid[sx + 1] + down[sx - 1] +
                      down[sx] + down[sx + 1];
      out[x] = toHeat(sum / (8 + cooling));
    }
  }

  for (int i = 0; i < sparksPerTick; ++i) {
    for (int k = 0; k < 3; ++k) {
      const int row = h / 2 - 6 + engine->state().random.next() % 12;
      const int column = w / 2 - 6 + engine->state().random.next() % 12;
      dst[row * w + column] = 0;
    }
    if (!stopped) {
      const int row = h / 2 - 6 + engine->state().random.next() % 12;
      const int column = w / 2 - 6 + engine->state().random.next() % 12;
      dst[row * w + column] = 255;
    } else {
      dst[w * h - 1] = 0;
    }
  }
  current = dst;
}

void FireEffect::draw(int character) {
  const int w = 3 * width;
  for (int r = 0; r < height; ++r) {
    const unsigned char* top = current + 2 * r * w;
    const unsigned char* bottom = top + w;
    for (int c = 0; c < width; ++c) {
      const int x = 3 * c;
      const int v = ((top[x] + top[x + 1] + top[x + 2] + bottom[x] + bottom[x + 1] + bottom[x + 2]) / 3) % 256;
      const int level = (v / 10) % 25;
      if (level == 0) continue;
      const int glyph = character == -1 ? 136 + v / 4 : character;
      engine->setCell(c, r, glyph, ramp[level] & 15, ramp[level] >> 4);
    }
  }
}
