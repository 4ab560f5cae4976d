#pragma once

#include <memory>
#include <vector>

#include "show_driver.h"

class BufferFont;
class Fbo;
class GlScreenRenderer;

// The show in its window: the Show drawn through the GL renderer, the
// window's events handed to it, resizing, and frames held on request.
//
// Outliving the Demo by design: the data archive and the loading texture
// (made before it, used by everything that loads), the window and GL
// context (main's).
class Demo : private ShowOutput {
 public:
  // With a frame rate above 0 the show does not follow the audio device:
  // frame n stands at n / frameRate seconds (no sound), and the show holds
  // after drawing each of `holdBeats` until released (see run()). With
  // `reduceFlashing` the flash limiter holds the flashing down.
  explicit Demo(float aspect, int frameRate = 0, std::vector<double> holdBeats = {}, bool reduceFlashing = false);
  ~Demo();

  void start();
  // Frames until Escape or a close request. A held frame stays in the
  // window, announced as "held at beat B" on standard output, until the
  // process gets SIGUSR1.
  void run();
  // The window is now width x height: the off-screen buffer (within what the
  // renderer can give) and the letterbox follow.
  void resizeWindow(int width, int height);

 private:
  // Drains the event queue; true on Escape or a close request.
  bool handleEvents();
  bool beginFrame(FrameOutput& picture) override;
  bool endFrame(const ShownFrame& frame) override;
  bool stopped(double beat) override;

  int width_, height_;
  // Freed in reverse: the show (and its scenes) first.
  std::unique_ptr<BufferFont> font_;
  std::unique_ptr<Fbo> fbo_;
  std::unique_ptr<GlScreenRenderer> screen_;  // draws the text screen into the window
  std::unique_ptr<Show> show_;
  std::unique_ptr<FrameHold> hold_;  // with the stepped clock only
  bool quit_ = false;  // the frame being drawn is the last
  // Frames to draw after a resize before the freed window-sized buffers go
  // back to the system (the driver swaps its own at the next frames); 0: none due.
  int framesUntilMemoryRelease_ = 0;
};

// The size the Demo's off-screen buffer takes for a window: each side within
// 1..limit, limit being the renderer's largest texture and renderbuffer side.
void offscreenSizeFor(int width, int height, int limit, int* outWidth, int* outHeight);
