// What the reduce-flashing mode adds to a frame: the flash limiter on a calm
// screen (nothing held), on half a screen of fast flicker (held, moving on
// in steps) and on a full-screen strobe, against the CPU reference render
// of the same screen in the same run as the yardstick of a frame's work.
//
//   build/bench/bench_flash_limiter

#include <benchmark/benchmark.h>

#include <vector>

#include "util/ascii/flash_limiter.h"
#include "util/ascii/reference_renderer.h"

namespace {

// A chart whose glyphs differ: glyph g covers g % 97 of its 96 pixels, so
// that each glyph gets its own table of looks.
ChartPixels patternChart() {
  std::vector<unsigned char> rgb(640 * 120 * 3, 0);
  for (int glyph = 0; glyph < 256; ++glyph) {
    const int column = glyph % 80, band = glyph / 80;
    int covered = 0;
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 8; ++x, ++covered) {
        const bool ink = covered < glyph % 97;
        const int px = column * 8 + x;
        const int fgRow = band * 12 + y, bgRow = (4 + band) * 12 + y;
        for (int c = 0; c < 3; ++c) {
          rgb[(static_cast<size_t>(fgRow) * 640 + px) * 3 + c] = ink ? 255 : 0;
          rgb[(static_cast<size_t>(bgRow) * 640 + px) * 3 + c] = ink ? 0 : 255;
        }
      }
  }
  return chartFromTopDownRgb(640, 120, rgb.data());
}

void paint(AsciiEngine& e, int kind, int n) {
  for (int y = 0; y < AsciiEngine::kRows; ++y)
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int glyph = (x * 7 + y * 3) & 255;
      int fg = (x + y) % 16, bg = (x / 8 + y / 5) % 8;
      if (kind == 1 && x < 40) fg = (x + n) % 4 < 2 ? kWhite : kBlue;
      if (kind == 2) fg = bg = n % 6 < 2 ? kWhite : kDarkGrey;
      e.setCell(x, y, glyph, fg, bg);
    }
}

struct Discard : ScreenRenderer {
  void present(const AsciiEngine& e) override { benchmark::DoNotOptimize(e.chars[0]); }
};

void limiterFrames(benchmark::State& state) {
  Discard discard;
  FlashLimiter limiter(&discard, buildGlyphAtlas(patternChart()));
  AsciiEngine engine(&limiter);
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    paint(engine, static_cast<int>(state.range(0)), n);
    state.ResumeTiming();
    limiter.beginFrame(100000 + (n * 1000 + 30) / 60);
    engine.present();
    ++n;
  }
}
BENCHMARK(limiterFrames)->Arg(0)->Arg(1)->Arg(2)->ArgNames({"calm0_flicker1_strobe2"})->Unit(benchmark::kMicrosecond);

void referenceRender(benchmark::State& state) {
  ReferenceRenderer renderer(patternChart());
  AsciiEngine engine(&renderer);
  paint(engine, 0, 0);
  for (auto _ : state) engine.present();
}
BENCHMARK(referenceRender)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
