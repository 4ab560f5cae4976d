#include "demo.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <utility>

#include "platform/memory.h"
#include "settings.h"
#include "show/show_core.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/bufferfont.h"
#include "util/fbo/fbo.h"

namespace {

constexpr int kFramesBeforeMemoryRelease = 3;

}  // namespace

Demo::Demo(float aspect, int frameRate, std::vector<double> holdBeats, bool reduceFlashing)
    : width_(display_settings.screenWidth), height_(display_settings.screenHeight) {
  font_.reset(new BufferFont("data/common/fonts/courier_new.ttf"));
  fbo_.reset(new Fbo(512, 512));
  screen_.reset(new GlScreenRenderer());
  ShowOptions options = requestedShow(frameRate, std::move(holdBeats), reduceFlashing, aspect);
  show_.reset(new Show(options));
  if (frameRate > 0) hold_.reset(new FrameHold);
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

void Demo::run() { driveShow(*show_, *this); }

// Escape or a close request ends the loop after one more frame.
bool Demo::beginFrame(FrameOutput& picture) {
  quit_ = handleEvents();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  picture.renderer = screen_.get();
  return true;
}

bool Demo::endFrame(const ShownFrame&) {
  SDL_GL_SwapBuffers();
  if (framesUntilMemoryRelease_ > 0 && --framesUntilMemoryRelease_ == 0) platform::releaseFreeMemory();
  return !quit_;
}

bool Demo::stopped(double beat) {
  return hold_->hold(beat, stdout, [this] {
    quit_ = handleEvents();
    if (!quit_) SDL_Delay(10);
    return !quit_;
  });
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
