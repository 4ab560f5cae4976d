#pragma once

#include <cstdint>
#include <string>

#include "platform/headless_gl.h"

// Starting SDL's video and opening the window that carries the show's
// OpenGL context: one routine for the window program and the recorder.

// Where start-up stopped, with SDL's or the GL loader's own words.
struct GlStartError {
  enum Stage { None, Video, Window, Loader } stage = None;
  std::string detail;
};

// What the context offers the show.
struct GlCapabilities {
  bool framebufferObjects = false;
  bool anySizeTextures = false;  // textures whose sides are not powers of two
  bool pixelBuffers = false;
  int largestRenderbuffer = 0;  // pixels a side
  std::string renderer;         // GL_RENDERER
};

struct GlWindowRequest {
  int width = 0, height = 0;
  int bitsPerPixel = 0;     // 0: the display's own
  uint32_t videoFlags = 0;  // SDL video-mode flags besides SDL_OPENGL
  int swapControl = 0;      // 1 waits for vertical sync
  bool centred = false;
  const char* caption = "Kestrune";
};

// SDL's video, without a scaling buffer of its own behind framebuffer 0;
// false with `error` set when no display can be opened.
bool startVideo(GlStartError& error);

// The window with its current context and the GL entry points loaded;
// false with `error` set. SDL's video stays up either way.
bool openGlWindow(const GlWindowRequest& request, GlCapabilities& capabilities, GlStartError& error);

// A context with no window and no display behind it (surfaceless EGL), made
// current in `context`, with the entry points loaded; false with `error` set
// (stage Window: no such context to be had here).
bool openHeadlessGl(platform::HeadlessGl& context, GlCapabilities& capabilities, GlStartError& error);

// Loads the entry points of the current context and describes it.
bool loadGl(GlCapabilities& capabilities, GlStartError& error);
