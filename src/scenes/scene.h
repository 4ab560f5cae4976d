#pragma once

#include "util/keystate.h"
#include "scenes/frame_time.h"

class Music;
class AsciiEngine;

// Base of every part of the show. The schedule's builder (schedule.h) sets
// the borrowed pointers, the slot and the tick count of the moment it builds
// the scene, and calls init() once; then draw() runs for each frame whose
// beat the slot holds. Every draw() ends with one ascii->present(), which
// hands the finished screen to whatever output the show draws for. A scene
// frees what it made in its destructor.
class Scene {
 public:
  Scene();
  virtual ~Scene() = default;

  float startTime;
  float endTime;
  KeyState* keys;
  KeyPresses* presses;  // cursor presses not yet taken by a game step; may be null
  Music* music;
  AsciiEngine* ascii;
  float aspect;
  // The tick count when the scene was built: what init() seeds from.
  uint32_t initTicks;

  virtual void init() = 0;
  // One frame at `time`, the same for every scene drawing in it.
  virtual void draw(const FrameTime& time) = 0;
};
