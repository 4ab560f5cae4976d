// CPU cost of the frame logic of the fire, talking, dance and big-sprite
// scenes (text screen only, no rendering) and of the fire effect's steps, as
// a share of a 60 Hz frame.
//
//   bench_scenes_a [benchmark flags]
//
// The scenes load pictures made here (full-screen shapes, a 256 x 256 tile,
// a 300 x 80 panorama), written as loose files into a temporary directory
// and read through the data module's disk mode. The counter "frame_share"
// is the mean time of one call divided by 16.67 ms. BM_Baseline_FullScreenWrite
// (clear plus one write to each of the 4000 cells) is the yardstick measured
// in the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "show/schedule.h"
#include "scenes/textbigsprite.h"
#include "scenes/textdance.h"
#include "scenes/textfire.h"
#include "scenes/texttalkingv.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/fire.h"
#include "util/data/data.h"
#include "util/music/music.h"

namespace {

namespace fs = std::filesystem;

uint32_t g_now = 100000;
uint32_t benchTicks() { return g_now; }

// Writes a ".raw" file (red in bit 0, blue in bit 2) of palette indices fn(x, y).
void writeRaw(const std::string& name, int width, int height, const std::function<int(int, int)>& fn) {
  fs::create_directories(fs::path(name).parent_path());
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) std::abort();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = fn(x, y);
      std::fputc((v & 0xA) | ((v & 1) << 2) | ((v & 4) >> 2), f);
    }
  }
  std::fclose(f);
}

// A disc of colour ramps centred on the screen, transparent outside: about
// as busy as the show's pictures.
int disc(int x, int y) {
  const int dx = x - 40, dy = (y - 25) * 2;
  const int d = dx * dx + dy * dy;
  return d > 1400 ? 0 : 9 + (d / 200) % 7;
}

void writePictures() {
  for (const char* name : {"data/textfire/glimmerbay.raw", "data/textfire/2006.raw",
                           "data/texttalkingv/vexmask.raw", "data/textdance/dance1.raw",
                           "data/textdance/dance2.raw", "data/textdance/dance3.raw", "data/textdance/dance4.raw",
                           "data/textdance/horn1.raw", "data/textdance/horn2.raw", "data/textdance/horn3.raw",
                           "data/textdance/horn4.raw"})
    writeRaw(name, 80, 50, disc);
  writeRaw("data/texttalkingv/greywall.raw", 80, 50, [](int x, int y) { return (x / 4 + y / 2) % 3 ? 7 : 8; });
  for (const char* letter : {"K", "E", "S", "T", "R", "U", "N"})
    writeRaw(std::string("data/texttalkingv/") + letter + ".raw", 8, 6, [](int x, int y) { return (x + y) % 5 ? 14 : 0; });
  const auto tile = [](int x, int y) { return ((x / 32) ^ (y / 32)) & 1 ? 9 : 1; };
  writeRaw("data/textdance/rotozoom.raw", 256, 256, tile);
  writeRaw("data/textbigsprite/tavors.raw", 256, 256, tile);
  writeRaw("data/textbigsprite/tavorlin.raw", 300, 80, [](int x, int y) { return (x / 6 + y / 4) % 4 ? (x % 14) + 1 : 0; });
}

struct Show {
  AsciiEngine engine{nullptr};
  Music music{Music::Manual{}};
  std::unique_ptr<TextFire> fire;
  std::unique_ptr<TextTalkingV> talking;
  std::unique_ptr<TextDance> dance;
  std::unique_ptr<TextBigSprite> bigSprite;

  template <typename T>
  std::unique_ptr<T> make(const char* slot) {
    return buildScene<T>(slot, SceneResources{&music, &engine, 16.0f / 9.0f, benchTicks});
  }

  Show() {
    fire = make<TextFire>("TextFire");
    talking = make<TextTalkingV>("TextTalkingV");
    dance = make<TextDance>("TextDance");
    bigSprite = make<TextBigSprite>("TextBigSprite");
  }
};

Show* g_show = nullptr;

void addFrameShare(benchmark::State& state) {
  // 1 / ((1/60) x iterations / seconds) = seconds per call x 60.
  state.counters["frame_share"] =
      benchmark::Counter(1.0 / 60.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Frame after frame at 60 Hz from `beat`, beat and tick count moving together
// and wrapping back to `beat` every 2 beats so the frames stay in one window.
template <typename Draw>
void runFrames(benchmark::State& state, double beat, Draw draw) {
  int frame = 0;
  for (auto _ : state) {
    g_now += (frame % 3 == 0) ? 16 : 17;
    const double b = beat + std::fmod(frame / 60.0 / 0.3, 2.0);
    ++frame;
    draw(static_cast<float>(b));
    benchmark::ClobberMemory();
  }
  addFrameShare(state);
}

void BM_Baseline_FullScreenWrite(benchmark::State& state) {
  AsciiEngine& e = g_show->engine;
  int n = 0;
  for (auto _ : state) {
    e.clear();
    for (int r = 0; r < 50; ++r)
      for (int c = 0; c < 80; ++c) e.setCell(c, r, 219, (c + r + n) & 15, 0);
    ++n;
    benchmark::ClobberMemory();
  }
  addFrameShare(state);
}
BENCHMARK(BM_Baseline_FullScreenWrite);

void BM_TextFire(benchmark::State& state) {
  runFrames(state, static_cast<double>(state.range(0)) / 10, [](float b) { g_show->fire->drawFrame(b, g_now); });
}
// Letters appearing over the rising fire; inverted letters; fire with the
// pictures; the dying fire. (Flash frames are excluded by the window.)
BENCHMARK(BM_TextFire)->Arg(141)->Arg(222)->Arg(293)->Arg(400);

void BM_TextTalkingV(benchmark::State& state) {
  runFrames(state, static_cast<double>(state.range(0)) / 10,
            [](float b) { g_show->talking->drawFrame(b, g_now); });
}
// Plain face; spinning face; pulsing face; the turned face alone.
BENCHMARK(BM_TextTalkingV)->Arg(500)->Arg(690)->Arg(800)->Arg(1050);

void BM_TextDance(benchmark::State& state) {
  runFrames(state, static_cast<double>(state.range(0)) / 10, [](float b) { g_show->dance->drawFrame(b, g_now); });
}
// Dancing over the rotozoom; flipping rotozoom; spinning figure; zooming horns.
BENCHMARK(BM_TextDance)->Arg(1100)->Arg(1300)->Arg(1500)->Arg(1745);

void BM_TextBigSprite(benchmark::State& state) {
  runFrames(state, 340.0, [](float b) { g_show->bigSprite->drawFrame(b, g_now); });
}
BENCHMARK(BM_TextBigSprite);

void BM_FireTick(benchmark::State& state) {
  FireEffect fire(&g_show->engine, g_now);
  fire.cooling = 3.5;
  fire.coolingTarget = 0.03f;
  fire.coolingRate = 0.014f;
  for (int i = 0; i < 300; ++i) fire.tick();  // a burning field
  for (auto _ : state) {
    fire.tick();
    benchmark::ClobberMemory();
  }
  addFrameShare(state);
}
BENCHMARK(BM_FireTick);

void BM_FireShadedTick(benchmark::State& state) {
  FireEffect fire(&g_show->engine, g_now);
  for (int i = 0; i < 100; ++i) fire.tickShaded(g_now, FireKeys{false, false});
  for (auto _ : state) {
    ++g_now;
    fire.tickShaded(g_now, FireKeys{false, false});
    benchmark::ClobberMemory();
  }
  addFrameShare(state);
}
BENCHMARK(BM_FireShadedTick);

void BM_FireDraw(benchmark::State& state) {
  FireEffect fire(&g_show->engine, g_now);
  for (int i = 0; i < 300; ++i) fire.tick();
  for (auto _ : state) {
    fire.draw(-1);
    benchmark::ClobberMemory();
  }
  addFrameShare(state);
}
BENCHMARK(BM_FireDraw);

}  // namespace

int main(int argc, char** argv) {
  const fs::path previous = fs::current_path();
  char pattern[] = "/tmp/kestrune-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  fs::current_path(pattern);
  writePictures();
  data_mode = DATA_MODE_DISK;
  g_show = new Show;
  fs::current_path(previous);
  fs::remove_all(pattern);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
