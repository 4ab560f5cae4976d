// Start-up time: from an open window to the first frame of the show, split
// into the steps the program takes (archive, loading logo, font, buffers,
// text engine with its chart, music, each scene's init, first frame).
// Run under a display with the show's archive:
//   KESTRUNE_DATA_TVL=build/data.tvl SDL_AUDIODRIVER=dummy xvfb-run -a build/bench/bench_startup
#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo.h"
#include "platform/gl_loader.h"
#include "show/schedule.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/data/data.h"
#include "util/fbo/fbo.h"
#include "platform/layer_song_player.h"
#include "util/music/music.h"
#include "util/texture/texture.h"
#include "util/bufferfont.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
  std::string name;
  double ms;
};

class Stopwatch {
 public:
  void lap(const std::string& name) {
    const Clock::time_point now = Clock::now();
    steps_.push_back({name, std::chrono::duration<double, std::milli>(now - last_).count()});
    last_ = now;
  }
  void report() const {
    double total = 0.0;
    for (const Step& step : steps_) total += step.ms;
    for (const Step& step : steps_) {
      std::printf("%-28s %9.1f ms  %5.1f %%\n", step.name.c_str(), step.ms, 100.0 * step.ms / total);
    }
    std::printf("%-28s %9.1f ms\n", "total", total);
  }

 private:
  Clock::time_point last_ = Clock::now();
  std::vector<Step> steps_;
};

}  // namespace

int main() {
  const char* archive = std::getenv("KESTRUNE_DATA_TVL");
  if (!archive) archive = "data.tvl";
  const Clock::time_point processStart = Clock::now();
  Stopwatch watch;

  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0 || !SDL_SetVideoMode(1280, 720, 0, SDL_OPENGL | SDL_RESIZABLE) ||
      !platform::loadGlEntryPoints().empty()) {
    std::fprintf(stderr, "no GL window: %s\n", SDL_GetError());
    return 1;
  }
  watch.lap("window and GL");

  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(archive);
  watch.lap("archive read and decoded");
  data_load_loading_texture();
  watch.lap("loading logo");

  BufferFont font("data/common/fonts/courier_new.ttf");
  watch.lap("font");
  Fbo* fbo = new Fbo(512, 512);
  watch.lap("off-screen buffer");
  AsciiEngine* ascii = new AsciiEngine(new GlScreenRenderer());
  watch.lap("text engine and chart");
  Music* music = new Music(platform::songPlayer());
  watch.lap("music stream (pre-scan)");

  SceneList scenes = buildScheduledScenes(SceneResources{music, ascii, 16.0f / 9.0f, nullptr}, nullptr,
                                          [&watch](const ScheduleSlot& slot) { watch.lap(std::string("init ") + slot.name); });

  fbo->resize(1280, 720);
  ascii->setViewport(1280, 720, 16.0f / 9.0f);
  music->play();
  KeyState keys{};
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  drawScheduledScenes(scenes, FrameTime{music->beatTime(), 0, nullptr}, &keys, nullptr);
  SDL_GL_SwapBuffers();
  watch.lap("first frame");

  watch.report();
  std::printf("process start to first frame: %.1f ms\n",
              std::chrono::duration<double, std::milli>(Clock::now() - processStart).count());
  data_remove_temp_files();
  std::fflush(stdout);
  _exit(0);
}
