#pragma once

#include <vector>

#include "keystate.h"

class Scene;
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

  std::vector<Scene*> scenes;
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

// Builds the scenes of the show's schedule around the shared objects,
// calling each scene's init() before the next is made. The preview tool
// uses it with a headless engine.
void buildScheduledScenes(std::vector<Scene*>& scenes, Music* music, Fbo* fbo, AsciiEngine* ascii,
                          float aspect);

// Runs every scene whose slot holds the beat time (read anew per scene), in
// schedule order. `withGlState` applies each scene's render defaults and
// viewport first; headless callers pass false.
void drawScheduledScenes(const std::vector<Scene*>& scenes, Music* music, KeyState* keys,
                         int width, int height, bool withGlState);
