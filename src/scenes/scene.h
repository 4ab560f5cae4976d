#pragma once

#include <epoxy/gl.h>

#include "platform/keystate.h"
#include "scenes/frame_time.h"

class Music;
class Fbo;
class AsciiEngine;

// Base of every part of the show. The schedule's builder (schedule.h) sets
// the borrowed pointers and the slot and calls init() once; then per frame
// applyRenderDefaults(), resize() (GL outputs only) and draw() run while the
// slot holds the frame's beat. A scene frees what it made in its destructor.
class Scene {
 public:
  Scene();
  virtual ~Scene() = default;

  float startTime;
  float endTime;
  KeyState* keys;
  KeyPresses* presses;  // cursor presses not yet taken by a game step; may be null
  Music* music;
  Fbo* fbo;
  AsciiEngine* ascii;
  float aspect;
  int windowWidth, windowHeight;
  int viewWidth, viewHeight;

  // Render switches, applied in this order before every frame.
  bool alphaTest;
  bool blend;
  bool colorMaterial;
  bool cullFace;
  bool depthTest;
  bool light[8];
  bool lighting;
  bool multisample;
  bool normalize;
  bool texture1D;
  bool texture2D;
  bool textureCubeMap;

  float clearDepth;
  GLenum colorMaterialFace;
  GLenum colorMaterialMode;
  GLenum depthFunc;
  GLenum shadeModel;

  virtual void init() = 0;
  // One frame at `time`, the same for every scene drawing in it.
  virtual void draw(const FrameTime& time) = 0;
  virtual void resize(int width, int height);

  void applyRenderDefaults();
};
