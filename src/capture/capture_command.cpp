#include "capture/capture_command.h"

#include <SDL/SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture/interruption.h"
#include "capture/show_recorder.h"
#include "glwindow.h"
#include "show_archive.h"

namespace {

// A window, where one is needed, only carries the OpenGL context; the show
// draws off-screen.
constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 180;

int refuse(const std::string& why) {
  std::fprintf(stderr, "kestrune: cannot capture: %s\n", why.c_str());
  return 1;
}

std::string clockText(double seconds) {
  char text[32];
  const long tenths = static_cast<long>(seconds * 10.0 + 0.5);
  std::snprintf(text, sizeof text, "%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
  return text;
}

platform::HeadlessGl headlessContext;

// Where no surfaceless EGL is to be had (a driver other than Mesa's), a small
// window carries the context.
bool openRecordingWindow(GlCapabilities& gl, std::string& why) {
  GlStartError error;
  if (!startVideo(error)) {
    why = "no display can be opened (" + error.detail + ")";
    return false;
  }
  GlWindowRequest window;
  window.width = kWindowWidth;
  window.height = kWindowHeight;
  window.caption = "Kestrune (recording)";
  if (!openGlWindow(window, gl, error)) {
    why = error.stage == GlStartError::Window ? "no OpenGL window can be opened (" + error.detail + ")"
                                              : "OpenGL cannot be set up (" + error.detail + ")";
    return false;
  }
  return true;
}

}  // namespace

void closeRecordingContext() {
  headlessContext.close();
  SDL_Quit();
}

bool openRecordingContext(int width, int height, std::string& why, std::string& renderer) {
  GlCapabilities gl;
  GlStartError headless;
  if (!openHeadlessGl(headlessContext, gl, headless) && !openRecordingWindow(gl, why)) {
    why = headless.detail + "; " + why;
  } else if (!gl.framebufferObjects || !gl.anySizeTextures || !gl.pixelBuffers) {
    why = "this OpenGL cannot draw off-screen (it lacks framebuffer objects, pixel buffers or textures of any size)";
  } else if (width > gl.largestRenderbuffer || height > gl.largestRenderbuffer) {
    why = "this OpenGL draws at most " + std::to_string(gl.largestRenderbuffer) + " pixels a side";
  } else {
    renderer = gl.renderer;
    return true;
  }
  closeRecordingContext();
  return false;
}

int runCapture(const CaptureRequest& request) {
  catchInterruptions();
  std::string why, renderer;
  if (!openRecordingContext(request.width, request.height, why, renderer)) return refuse(why);

  CaptureStats stats;
  std::string error;
  bool ok;
  {
    const ShowArchive archive;
    ok = recordShow(request, RecorderTuning{}, stats, error);
  }
  closeRecordingContext();
  if (!ok) {
    std::fprintf(stderr, "kestrune: capture failed: %s\n", error.c_str());
    return stats.signal != 0 ? 128 + stats.signal : 1;
  }
  if (isatty(fileno(stderr))) {
    const std::string what = request.videoPath.empty() ? request.framesDir : request.videoPath;
    std::fprintf(stderr, "kestrune: wrote %s: %lld frames at %d fps (%s), %dx%d, drawn by OpenGL (%s) in %s\n",
                 what.c_str(), static_cast<long long>(stats.frames), request.fps,
                 clockText(stats.videoSeconds).c_str(), request.width, request.height, renderer.c_str(),
                 clockText(stats.totalSeconds).c_str());
  }
  return 0;
}
