// Entry point: display settings, the OpenGL window, the data archive and the
// show itself.
#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>

#include "capture/capture_command.h"
#include "commandline.h"
#include "demo.h"
#include "extensioncheck.h"
#include "glwindow.h"
#include "platform/display_probe.h"
#include "platform/messagebox.h"
#include "settings.h"
#include "show_archive.h"
#include "setupdialog_view.h"
#include "terminal/colour_choice.h"
#include "terminal/terminal_player.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/texture/texture.h"

namespace {

// Both buffers of the window start black before loading begins.
void blankWindow() {
  for (int i = 0; i < 2; ++i) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
    SDL_GL_SwapBuffers();
  }
}

// A recording takes its size and aspect from the display options.
CaptureRequest captureRequestFrom(const CommandLine& line) {
  CaptureRequest request;
  request.videoPath = line.captureFile;
  request.framesDir = line.framesDir;
  if (line.presets.size) {
    request.width = line.presets.size->width;
    request.height = line.presets.size->height;
  }
  if (line.presets.aspect)
    request.aspect = static_cast<float>(line.presets.aspect->numerator) / line.presets.aspect->denominator;
  request.fps = line.fps.value_or(60);
  request.fromBeat = line.fromBeat.value_or(0.0);
  request.toBeat = line.toBeat.value_or(-1.0);
  request.reduceFlashing = line.reduceFlashing;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  // Fatal errors and questions from here on show in a box where a display is.
  setBoxPresenter(&platform::dialogBoxes());
  const CommandLine commandLine = parseCommandLine(argc, argv);
  const int commandLineExit = reportCommandLine(commandLine, stdout, stderr);
  if (commandLineExit >= 0) return commandLineExit;
  if (commandLine.records()) return runCapture(captureRequestFrom(commandLine));
  if (commandLine.terminal) {
    TerminalPlayOptions options{commandLine.frameRate, commandLine.holdBeats, commandLine.reduceFlashing, {}};
    ColourMode colours;
    if (parseColourMode(commandLine.terminalColours.c_str(), &colours)) options.colours = colours;
    return playInTerminal(options);
  }

  // Unasked, SDL falls back to drivers that show nothing; a driver the
  // viewer names (a console's kmsdrm, say) is theirs to choose.
  if (!std::getenv("SDL_VIDEODRIVER")) {
    const platform::DisplayProbe displays = platform::probeDisplays();
    if (!displays.reachable) {
      std::fprintf(stderr, "kestrune: no display to show on: tried %s\n", displays.tried.c_str());
      return 1;
    }
  }
  GlStartError startError;
  if (!startVideo(startError)) ErrorBox("Video initialization failed: %s\n", startError.detail.c_str());
  const int desktopBitsPerPixel = SDL_GetVideoInfo()->vfmt->BitsPerPixel;

  if (runSetupDialog(commandLine.presets, !commandLine.noDialog) != 1) return 0;
  if (commandLine.pictureAspect) {
    display_settings.aspectNumerator = commandLine.pictureAspect->numerator;
    display_settings.aspectDenominator = commandLine.pictureAspect->denominator;
  }

  display_settings.videoFlags |= SDL_OPENGL | SDL_RESIZABLE;
  GlWindowRequest window;
  window.width = display_settings.screenWidth;
  window.height = display_settings.screenHeight;
  window.bitsPerPixel = desktopBitsPerPixel;
  window.videoFlags = display_settings.videoFlags;
  window.swapControl = display_settings.vsync;
  window.centred = true;
  GlCapabilities gl;
  if (!openGlWindow(window, gl, startError)) {
    if (startError.stage == GlStartError::Window) ErrorBox("Video mode set failed: %s\n", startError.detail.c_str());
    ErrorBox("GLEW Error: %s\n", startError.detail.c_str());
  }
  if (!confirmMissingExtensions(gl.framebufferObjects, gl.anySizeTextures)) std::exit(1);
  requireFramebufferObjects(gl.framebufferObjects);
  if (display_settings.videoFlags & SDL_FULLSCREEN) SDL_ShowCursor(0);

  blankWindow();
  {
    const ShowArchive archive;
    data_load_loading_texture();

    Demo demo(static_cast<float>(display_settings.aspectNumerator) /
                  static_cast<float>(display_settings.aspectDenominator),
              commandLine.frameRate, commandLine.holdBeats, commandLine.reduceFlashing);
    data_write_archive();

    demo.resizeWindow(display_settings.screenWidth, display_settings.screenHeight);

    demo.start();
    demo.run();
  }
  SDL_Quit();
  return 0;
}
