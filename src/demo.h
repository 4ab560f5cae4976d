#pragma once

#include <memory>
#include <vector>

#include "platform/keystate.h"
#include "schedule.h"

class BufferFont;
class Music;
class Fbo;
class AsciiEngine;
class GlScreenRenderer;
class SteppedClock;
class FrameSteps;

// The show: owns the shared resources, builds the scenes of the schedule and
// runs one frame after another on the music's beat clock.
//
// The owned members are declared in the order the constructor makes them, so
// they are freed in reverse: the scenes first, the stepped clock (and with it
// the tick source it installed) last. Outliving the Demo by design: the data
// archive and the loading texture (made before it, used by everything that
// loads), the window and GL context (main's), and the class-wide clocks of
// the effects and scenes (process-wide; see util/timing/classwide.h).
class Demo {
 public:
  // With a frame rate above 0 the show does not follow the audio device:
  // frame n stands at n / frameRate seconds (no sound), and the show holds
  // after drawing each of `holdBeats` until released (see run()).
  explicit Demo(float aspect, int frameRate = 0, std::vector<double> beatsToHold = {});
  ~Demo();

  KeyState keys;
  KeyTaps keyTaps;
  int width, height;
  float aspect;
  std::vector<double> holdBeats;  // ascending; the ones still ahead
  std::unique_ptr<SteppedClock> steppedClock;  // null: the music's playback position rules
  std::unique_ptr<BufferFont> font;
  std::unique_ptr<Fbo> fbo;
  std::unique_ptr<GlScreenRenderer> screen;  // draws the text engine's frames into the window
  std::unique_ptr<AsciiEngine> ascii;
  std::unique_ptr<Music> music;
  std::unique_ptr<FrameSteps> frameSteps;
  SceneList scenes;

  void start();
  // Frames until Escape or a close request. A held frame stays in the
  // window, announced as "held at beat B" on standard output, until the
  // process gets SIGUSR1.
  void run();
  // Draws one frame; true when it is one to hold.
  bool frame();
  void keyEvent(int symbol, bool down);
  // The window is now width x height: the off-screen buffer (within what the
  // renderer can give) and the letterbox follow.
  void resizeWindow(int width, int height);

 private:
  // Drains the event queue; true on Escape or a close request.
  bool handleEvents();

  bool leaving_ = false;
  // Frames to draw after a resize before the freed window-sized buffers go
  // back to the system (the driver swaps its own at the next frames); 0: none due.
  int framesUntilMemoryRelease_ = 0;

};

// The size the Demo's off-screen buffer takes for a window: each side within
// 1..limit, limit being the renderer's largest texture and renderbuffer side.
void offscreenSizeFor(int width, int height, int limit, int* outWidth, int* outHeight);
