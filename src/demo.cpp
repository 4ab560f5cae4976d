#include "demo.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/audio.h"
#include "platform/memory.h"
#include "platform/random.h"
#include "platform/ticks.h"
#include "settings.h"
#include "steppedclock.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/bufferfont.h"
#include "util/fbo/fbo.h"
#include "util/music/music.h"

namespace {

// Tick count of a stepped show at second 0, as the preview tool's default.
constexpr uint32_t kSteppedStartTick = 100000;
constexpr int kFramesBeforeMemoryRelease = 3;

volatile std::sig_atomic_t g_holdReleased = 0;
void releaseHold(int) { g_holdReleased = 1; }

}  // namespace

Demo::Demo(float aspect, int frameRate, std::vector<double> beatsToHold)
    : width(display_settings.screenWidth),
      height(display_settings.screenHeight),
      aspect(aspect),
      holdBeats(std::move(beatsToHold)) {
  std::memset(keys.down, 0, sizeof keys.down);
  std::memset(&keyTaps, 0, sizeof keyTaps);
  // The stepped clock is the tick source before any scene reads the ticks.
  if (frameRate > 0) steppedClock.reset(new SteppedClock(kSteppedStartTick));
  font.reset(new BufferFont("data/common/fonts/courier_new.ttf"));
  fbo.reset(new Fbo(512, 512));
  screen.reset(new GlScreenRenderer());
  ascii.reset(new AsciiEngine(screen.get()));
  if (steppedClock) {
    music.reset(new Music(Music::Manual{}));
    steppedClock->loadSong(music_file);
    frameSteps.reset(new FrameSteps(frameRate));
    std::sort(holdBeats.begin(), holdBeats.end());
    holdBeats.erase(std::unique(holdBeats.begin(), holdBeats.end()), holdBeats.end());
    for (double beat : holdBeats) frameSteps->choose(secondsOfBeat(*music, beat));
    std::signal(SIGUSR1, releaseHold);
  } else {
    music.reset(new Music());
  }
  scenes = buildScheduledScenes(SceneResources{music.get(), fbo.get(), ascii.get(), aspect});
}

Demo::~Demo() = default;

void Demo::start() {
  platform::srand(platform::getTickCount());
  if (steppedClock) return;  // no sound: the clock steps with the frames
  platform::audio::setAttribute(music->stream, platform::audio::kAttribVolume, 1.0f);
  // Hidden hook for long runs (bench/soak.sh): start the beat clock at a
  // later beat, so the show opens in a later scene.
  if (const char* beat = std::getenv("KESTRUNE_START_BEAT")) music->beatOffset = std::strtof(beat, nullptr);
  music->play();
  // Busy wait: only a negative beat offset makes this loop at all.
  while (music->beatTime() < 0.0f) {
  }
}

bool Demo::handleEvents() {
  bool quit = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
        if (event.key.keysym.sym == SDLK_ESCAPE) {
          quit = true;
        } else {
          keyEvent(event.key.keysym.sym, true);
        }
        break;
      case SDL_KEYUP:
        keyEvent(event.key.keysym.sym, false);
        break;
      case SDL_QUIT:
        quit = true;
        break;
      case SDL_VIDEORESIZE:
        resizeWindow(event.resize.w, event.resize.h);
        break;
      default:
        break;
    }
  }
  return quit || leaving_;
}

void Demo::run() {
  bool quit = false;
  do {
    quit = handleEvents();
    if (frame() && !quit) {
      std::printf("held at beat %g\n", holdBeats.front());
      holdBeats.erase(holdBeats.begin());
      std::fflush(stdout);
      while (!g_holdReleased && !quit) {
        quit = handleEvents();
        SDL_Delay(10);
      }
      g_holdReleased = 0;
    }
  } while (!quit);
}

bool Demo::frame() {
  bool hold = false;
  if (frameSteps) steppedClock->setTime(*music, frameSteps->next(&hold));
  music->update();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  drawScheduledScenes(scenes, music.get(), &keys, width, height, true);
  SDL_GL_SwapBuffers();
  keyFrameDrawn(keys, keyTaps);
  if (framesUntilMemoryRelease_ > 0 && --framesUntilMemoryRelease_ == 0) platform::releaseFreeMemory();
  return hold;
}

void offscreenSizeFor(int width, int height, int limit, int* outWidth, int* outHeight) {
  auto clamp = [limit](int side) { return side < 1 ? 1 : side > limit ? limit : side; };
  *outWidth = clamp(width);
  *outHeight = clamp(height);
}

void Demo::resizeWindow(int newWidth, int newHeight) {
  width = newWidth;
  height = newHeight;
  // Nothing draws into this buffer, so a window larger than the renderer's
  // largest texture must not end the show by asking for one.
  GLint textureLimit = 0;
  GLint renderbufferLimit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureLimit);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbufferLimit);
  const int limit = textureLimit < renderbufferLimit ? textureLimit : renderbufferLimit;
  int bufferWidth, bufferHeight;
  offscreenSizeFor(width, height, limit, &bufferWidth, &bufferHeight);
  fbo->resize(bufferWidth, bufferHeight);
  ascii->setViewport(width, height, aspect);
  framesUntilMemoryRelease_ = kFramesBeforeMemoryRelease;
}

void Demo::keyEvent(int symbol, bool down) {
  if (symbol == SDLK_ESCAPE && !down) {
    // Escape released within the same poll as its press: leave, through
    // the normal way out so that everything is freed.
    leaving_ = true;
    return;
  }
  int bytes[2];
  const int count = keyStateBytes(symbol, bytes);
  for (int i = 0; i < count; ++i) recordKey(keys, keyTaps, bytes[i], down);
}
