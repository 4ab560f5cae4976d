// Whole show frames on the GL the machine has (Mesa llvmpipe under Xvfb in
// our runs): every scene drawn through the program's own GL renderer into a
// window, each frame timed from the window clear to the buffer swap. The
// show runs on a stepped clock that follows the wall clock, as the music
// would; each scene slot is entered a few beats in and played for a while.
// Prints per scene the median and worst frame time and the frame rate, and
// the cold start: the frames of the first second of the show.
//
//   KESTRUNE_DATA_TVL=build/data.tvl xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" build/bench/bench_show_frame
//
// KESTRUNE_BENCH_SIZE=WxH sets the window (default 1280x720, aspect 16:9);
// KESTRUNE_BENCH_SECONDS the show seconds played per scene (default 4).
#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/gl_loader.h"
#include "platform/gl_attributes.h"
#include "util/keystate.h"
#include "util/random.h"
#include "show/schedule.h"
#include "show/steppedclock.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/data/data.h"
#include "util/fbo/fbo.h"
#include "platform/layer_song_player.h"
#include "util/music/music.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of the whole process, llvmpipe's rasterizer threads included, in
// ms: a frame's cost that a busy machine does not stretch like wall time.
double processCpuMs() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Stats {
  double median = 0, worst = 0, fps = 0;
  size_t frames = 0;
};

Stats summarise(std::vector<double> milliseconds, double wallSeconds) {
  Stats stats;
  if (milliseconds.empty()) return stats;
  stats.frames = milliseconds.size();
  std::sort(milliseconds.begin(), milliseconds.end());
  stats.median = milliseconds[milliseconds.size() / 2];
  stats.worst = milliseconds.back();
  stats.fps = wallSeconds > 0 ? milliseconds.size() / wallSeconds : 0;
  return stats;
}

}  // namespace

int main() {
  int width = 1280, height = 720;
  if (const char* size = std::getenv("KESTRUNE_BENCH_SIZE")) std::sscanf(size, "%dx%d", &width, &height);
  double secondsPerScene = 4.0;
  if (const char* seconds = std::getenv("KESTRUNE_BENCH_SECONDS")) secondsPerScene = std::atof(seconds);

  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) return 1;
  platform::requestShowGlAttributes(0);
  if (!SDL_SetVideoMode(width, height, 32, SDL_OPENGL) || !platform::loadGlEntryPoints().empty()) {
    std::fprintf(stderr, "bench_show_frame: no GL window (%s); run under xvfb-run\n", SDL_GetError());
    return 1;
  }
  const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
  data_read_archive(tvl ? tvl : "data.tvl");
  data_mode = DATA_MODE_ARCHIVE;

  // Built as the Demo builds the show, on a stepped clock instead of sound.
  constexpr uint32_t kStartTick = 100000;
  Fbo* fbo = new Fbo(512, 512);
  GlScreenRenderer* screen = new GlScreenRenderer();
  AsciiEngine* ascii = new AsciiEngine(screen);
  Music music{Music::Manual{}};
  const std::unique_ptr<SongAnalysis> song = platform::songPlayer().analyse(music_file);
  const float aspect = 16.0f / 9.0f;
  SceneList scenes = buildScheduledScenes(SceneResources{&music, ascii, aspect, [] { return kStartTick; }});
  fbo->resize(width, height);
  ascii->setViewport(width, height, aspect);
  ascii->state().random.seed(kStartTick);
  KeyState keys{};
  float spectrum[SongAnalysis::kBins] = {};

  double frameCpu = 0;  // of the last frame drawn
  auto drawFrame = [&](double seconds) {
    // As the stepped show clock moves a frame there.
    const double position = song ? std::min(seconds, song->seconds()) : seconds;
    music.setManualPosition(position);
    if (song) song->spectrum(position, spectrum);
    music.update();
    const FrameTime time{music.beatTime(), kStartTick + static_cast<uint32_t>(std::llround(seconds * 1000.0)),
                         spectrum};
    const double cpuBegin = processCpuMs();
    const Clock::time_point begin = Clock::now();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    drawScheduledScenes(scenes, time, &keys, nullptr);
    SDL_GL_SwapBuffers();
    glFinish();
    frameCpu = processCpuMs() - cpuBegin;
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
  };

  // The show's first seconds, paced by the wall clock from a cold start.
  std::printf("%dx%d, %s cell pass\n", width, height,
              screen->cellPass == GlScreenRenderer::CellPass::Shader
                  ? "shader"
                  : "quad");
  std::printf("\ncold start, frames of the first 3 s (ms):");
  {
    const Clock::time_point start = Clock::now();
    double showSeconds = 0;
    int frame = 0;
    double worstAfterFirstSecond = 0;
    while (showSeconds < 3.0) {
      const double ms = drawFrame(showSeconds);
      if (frame++ < 12) std::printf(" %.0f", ms);
      if (showSeconds >= 1.0) worstAfterFirstSecond = std::max(worstAfterFirstSecond, ms);
      showSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    std::printf(" ...\n  %d frames; worst after the first second %.1f ms\n\n", frame, worstAfterFirstSecond);
  }

  // The floor of any frame in the same run, for scale: clear, the target's
  // picture over the letterbox, swap.
  {
    std::vector<double> times, cpu;
    GlScreenRenderer* gl = screen;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 60; ++i) {
      const double cpuBegin = processCpuMs();
      const Clock::time_point begin = Clock::now();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
      glEnable(GL_BLEND);
      glBlendFunc(GL_ONE, GL_ONE);
      gl->drawPicture(ascii->viewX, ascii->viewY, ascii->viewWidth, ascii->viewHeight);
      SDL_GL_SwapBuffers();
      glFinish();
      times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - begin).count());
      cpu.push_back(processCpuMs() - cpuBegin);
    }
    const Stats floor = summarise(times, std::chrono::duration<double>(Clock::now() - start).count());
    std::printf("floor (clear + window quad + swap): median %.1f ms, worst %.1f ms, CPU median %.1f ms\n\n",
                floor.median, floor.worst, summarise(cpu, 0).median);
  }

  std::printf("%-14s %8s %8s %8s %7s %9s\n", "scene", "median", "worst", "fps", "frames", "CPU med.");
  double overallWorst = 0;
  for (const ScheduleSlot& slot : kShowSchedule) {
    if (slot.endTime > 1000) continue;  // the endless closing slot: its first beats are the Snake's
    const double from = secondsOfBeat(music, slot.startTime + 2.0);
    const double until = std::min(secondsOfBeat(music, slot.endTime - 1.0), from + secondsPerScene);
    std::vector<double> times, cpu;
    const Clock::time_point start = Clock::now();
    for (double seconds = from; seconds < until;) {
      times.push_back(drawFrame(seconds));
      cpu.push_back(frameCpu);
      seconds = from + std::chrono::duration<double>(Clock::now() - start).count();
    }
    // The first frame after the jump catches up every step clock the scene
    // shares with earlier ones: an artefact of skipping the show between.
    const double entry = times.front();
    times.erase(times.begin());
    cpu.erase(cpu.begin());
    const Stats stats = summarise(times, std::chrono::duration<double>(Clock::now() - start).count());
    overallWorst = std::max(overallWorst, stats.worst);
    std::printf("%-14s %6.1f ms %5.1f ms %8.1f %7zu %6.1f ms   (entry frame %.1f ms)\n", slot.name, stats.median,
                stats.worst, stats.fps, stats.frames, summarise(cpu, 0).median, entry);
  }
  std::printf("\nworst frame over all scenes (entry frames aside): %.1f ms\n", overallWorst);
  SDL_Quit();
  return 0;
}
