// CPU cost of the frame logic of the raster, snake and ending scenes (text
// screen only, no rendering), per window, as a share of a 60 Hz frame.
//
//   bench_scenes_b [--data=PATH] [benchmark flags]
//
// Pictures come from the show's archive: --data, else $KESTRUNE_DATA_TVL,
// else build/data.tvl. The counter "frame_pct" is the mean CPU time of one
// frame (this thread's) in percent of 16.67 ms. BM_Baseline_FullScreenWrite
// (clear plus one write to each of the 4000 cells) is the yardstick measured
// in the same run.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "util/keystate.h"
#include "show/schedule.h"
#include "scenes/textending.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/music/music.h"

namespace {

uint32_t g_now = 100000;
uint32_t benchTicks() { return g_now; }

struct Show {
  AsciiEngine engine{nullptr};
  Music music{Music::Manual{}};
  KeyState keys{};
  std::unique_ptr<TextRaster> raster;
  std::unique_ptr<TextSnake> snake;
  std::unique_ptr<TextEnding> ending;

  template <typename T>
  std::unique_ptr<T> make(const char* slot) {
    std::unique_ptr<T> scene = buildScene<T>(slot, SceneResources{&music, &engine, 16.0f / 9.0f, benchTicks});
    scene->keys = &keys;
    return scene;
  }

  Show() {
    raster = make<TextRaster>("TextRaster");
    snake = make<TextSnake>("TextSnake");
    ending = make<TextEnding>("TextEnding");
  }
};

Show* g_show = nullptr;

double threadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void addFrameShare(benchmark::State& state, double cpuSeconds) {
  const double perFrame = state.iterations() ? cpuSeconds / state.iterations() : 0.0;
  state.counters["frame_pct"] = perFrame / (1.0 / 60.0) * 100.0;
}

void restartRasterWindows() {
  TextRaster::shared(g_show->engine).scrollerStart = TickClock{};
  TextRaster::shared(g_show->engine).zoomStart = TickClock{};
}

// Runs `scene` frame after frame from `beat`, 60 frames a second, the beat
// and the tick count moving together as in the show. Every `windowSeconds`
// the beat goes back to `beat` and `restart` (if any) puts the window's
// start ticks back, so the frames stay like those of the window's start.
void runScene(benchmark::State& state, Scene* scene, double beat, bool holdDigit1, double windowSeconds = 4.0,
              void (*restart)() = nullptr) {
  Show& show = *g_show;
  std::memset(show.keys.down, 0, sizeof show.keys.down);
  if (holdDigit1) show.keys.down[33] = 1;
  double t = beat * 0.3;
  int frame = 0;
  const double cpuStart = threadCpuSeconds();
  for (auto _ : state) {
    t += 1.0 / 60.0;
    g_now += (frame++ % 3 == 0) ? 16 : 17;
    if (t > beat * 0.3 + windowSeconds) {
      t = beat * 0.3;
      if (restart) restart();
    }
    show.music.setManualPosition(t);
    scene->draw(FrameTime{scene->music->beatTime(), g_now, nullptr});
    benchmark::DoNotOptimize(show.engine.chars);
  }
  addFrameShare(state, threadCpuSeconds() - cpuStart);
}

void BM_Baseline_FullScreenWrite(benchmark::State& state) {
  AsciiEngine& engine = g_show->engine;
  int colour = 0;
  const double cpuStart = threadCpuSeconds();
  for (auto _ : state) {
    engine.clear();
    for (int r = 0; r < 50; ++r)
      for (int c = 0; c < 80; ++c) engine.setCell(c, r, 219, colour, 0);
    colour = (colour + 1) & 15;
    benchmark::DoNotOptimize(engine.chars);
  }
  addFrameShare(state, threadCpuSeconds() - cpuStart);
}

void BM_TextRaster_BarsAndScroller(benchmark::State& s) {
  restartRasterWindows();  // the scroller on screen, not long gone
  runScene(s, g_show->raster.get(), 190, false, 4.0, restartRasterWindows);
}
void BM_TextRaster_BarsAndNames(benchmark::State& s) { runScene(s, g_show->raster.get(), 208, false); }
void BM_TextRaster_ZoomedFace(benchmark::State& s) {
  restartRasterWindows();  // the zoom of the window's 1.2 seconds
  runScene(s, g_show->raster.get(), 224, false, 1.2, restartRasterWindows);
}
void BM_TextSnake_StandingSnake(benchmark::State& s) { runScene(s, g_show->snake.get(), 248, false); }
void BM_TextSnake_AutomaticGame(benchmark::State& s) { runScene(s, g_show->snake.get(), 280, false); }
void BM_TextSnake_TitleScreen(benchmark::State& s) { runScene(s, g_show->snake.get(), 600, false); }
void BM_TextSnake_AfterTitleAutomatic(benchmark::State& s) { runScene(s, g_show->snake.get(), 600, true); }
void BM_TextEnding_Particles(benchmark::State& s) { runScene(s, g_show->ending.get(), 390, false); }
void BM_TextEnding_FireAndAnalyser(benchmark::State& s) { runScene(s, g_show->ending.get(), 422, false); }
void BM_TextEnding_WavePicture(benchmark::State& s) { runScene(s, g_show->ending.get(), 455, false); }
void BM_TextEnding_PlasmaAndCredits(benchmark::State& s) { runScene(s, g_show->ending.get(), 490, false); }
void BM_TextEnding_BannerAndBlocks(benchmark::State& s) { runScene(s, g_show->ending.get(), 520, false); }

BENCHMARK(BM_Baseline_FullScreenWrite);
BENCHMARK(BM_TextRaster_BarsAndScroller);
BENCHMARK(BM_TextRaster_BarsAndNames);
BENCHMARK(BM_TextRaster_ZoomedFace);
BENCHMARK(BM_TextSnake_StandingSnake);
BENCHMARK(BM_TextSnake_AutomaticGame);
BENCHMARK(BM_TextSnake_TitleScreen);
BENCHMARK(BM_TextSnake_AfterTitleAutomatic);
BENCHMARK(BM_TextEnding_Particles);
BENCHMARK(BM_TextEnding_FireAndAnalyser);
BENCHMARK(BM_TextEnding_WavePicture);
BENCHMARK(BM_TextEnding_PlasmaAndCredits);
BENCHMARK(BM_TextEnding_BannerAndBlocks);

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  if (const char* env = std::getenv("KESTRUNE_DATA_TVL")) path = env;
  if (path.empty()) path = "build/data.tvl";
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--data=", 7) == 0)
      path = argv[i] + 7;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;

  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(path.c_str());
  Show show;
  g_show = &show;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
