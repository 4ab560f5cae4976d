#pragma once

#include "platform/keystate.h"
#include "schedule.h"

class FTFont;
class Music;
class Fbo;
class AsciiEngine;
class GlScreenRenderer;

// The show: owns the shared resources, builds the scenes of the schedule and
// runs one frame after another on the music's beat clock.
class Demo {
 public:
  explicit Demo(float aspect);
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

  void start();
  void run();
  void frame();
  void keyEvent(int symbol, bool down);

};
