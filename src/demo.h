#pragma once

#include "platform/keystate.h"
#include "schedule.h"

class FTFont;
class Music;
class Fbo;
class AsciiEngine;
class GlScreenRenderer;
class SteppedClock;
class FrameSteps;

// The show: owns the shared resources, builds the scenes of the schedule and
// runs one frame after another on the music's beat clock.
class Demo {
 public:
  // With a frame rate above 0 the show does not follow the audio device:
  // frame n stands at n / frameRate seconds (no sound), and the show holds
  // after drawing each of `holdBeats` until released (see run()).
  explicit Demo(float aspect, int frameRate = 0, std::vector<double> beatsToHold = {});
  ~Demo();

  SceneList scenes;
  KeyState keys;
  FTFont* font;
  int width, height;
  float aspect;
  Music* music;
  Fbo* fbo;
  GlScreenRenderer* screen;  // draws the text engine's frames into the window
  AsciiEngine* ascii;
  SteppedClock* steppedClock;  // null: the music's playback position rules
  FrameSteps* frameSteps;
  std::vector<double> holdBeats;  // ascending; the ones still ahead

  void start();
  // Frames until Escape or a close request. A held frame stays in the
  // window, announced as "held at beat B" on standard output, until the
  // process gets SIGUSR1.
  void run();
  // Draws one frame; true when it is one to hold.
  bool frame();
  void keyEvent(int symbol, bool down);

 private:
  // Drains the event queue; true on Escape or a close request.
  bool handleEvents();

};
