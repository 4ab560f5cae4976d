#include "demo.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <csignal>
#include <cstdio>
#include <utility>

#include "platform/memory.h"
#include "settings.h"
#include "show/show_core.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/bufferfont.h"
#include "platform/layer_song_player.h"
#include "util/fbo/fbo.h"

namespace {

constexpr int kFramesBeforeMemoryRelease = 3;

volatile std::sig_atomic_t g_holdReleased = 0;
void releaseHold(int) { g_holdReleased = 1; }

}  // namespace

Demo::Demo(float aspect, int frameRate, std::vector<double> holdBeats, bool reduceFlashing)
    : width_(display_settings.screenWidth), height_(display_settings.screenHeight) {
  font_.reset(new BufferFont("data/common/fonts/courier_new.ttf"));
  fbo_.reset(new Fbo(512, 512));
  screen_.reset(new GlScreenRenderer());
  ShowOptions options;
  options.aspect = aspect;
  options.steppedFps = frameRate;
  options.stopBeats = std::move(holdBeats);
  options.player = &platform::songPlayer();
  options.reduceFlashing = reduceFlashing;
  show_.reset(new Show(options));
  if (frameRate > 0) std::signal(SIGUSR1, releaseHold);
}

Demo::~Demo() = default;

void Demo::start() { show_->start(); }

bool Demo::handleEvents() {
  bool quit = false;
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    switch (event.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        show_->keyEvent(event.key.keysym.sym, event.type == SDL_KEYDOWN);
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
  return quit || show_->finished();
}

void Demo::run() {
  bool quit = false;
  do {
    quit = handleEvents();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    FrameOutput output;
    output.renderer = screen_.get();
    const ShownFrame frame = show_->advance(output);
    SDL_GL_SwapBuffers();
    if (framesUntilMemoryRelease_ > 0 && --framesUntilMemoryRelease_ == 0) platform::releaseFreeMemory();
    if (frame.stopped && !quit) {
      std::printf("held at beat %g\n", frame.stopBeat);
      std::fflush(stdout);
      while (!g_holdReleased && !quit) {
        quit = handleEvents();
        SDL_Delay(10);
      }
      g_holdReleased = 0;
    }
  } while (!quit);
}

void offscreenSizeFor(int width, int height, int limit, int* outWidth, int* outHeight) {
  auto clamp = [limit](int side) { return side < 1 ? 1 : side > limit ? limit : side; };
  *outWidth = clamp(width);
  *outHeight = clamp(height);
}

void Demo::resizeWindow(int newWidth, int newHeight) {
  width_ = newWidth;
  height_ = newHeight;
  // Nothing draws into this buffer, so a window larger than the renderer's
  // largest texture must not end the show by asking for one.
  GLint textureLimit = 0;
  GLint renderbufferLimit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureLimit);
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &renderbufferLimit);
  const int limit = textureLimit < renderbufferLimit ? textureLimit : renderbufferLimit;
  int bufferWidth, bufferHeight;
  offscreenSizeFor(width_, height_, limit, &bufferWidth, &bufferHeight);
  fbo_->resize(bufferWidth, bufferHeight);
  show_->setOutputSize(width_, height_);
  framesUntilMemoryRelease_ = kFramesBeforeMemoryRelease;
}
