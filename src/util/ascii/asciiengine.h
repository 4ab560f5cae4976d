#pragma once

#include "util/texture/texture.h"

class Fbo;
class AsciiEngine;

// Receives the finished text screen when a scene presents it. The program
// draws with OpenGL inside AsciiEngine itself; tests and the preview tool
// plug in their own renderer (for example the CPU reference renderer).
class ScreenRenderer {
 public:
  virtual ~ScreenRenderer() = default;
  virtual void present(const AsciiEngine& engine) = 0;
};

// The emulated 80 x 50 colour text screen and its renderer.
class AsciiEngine {
 public:
  static constexpr int kColumns = 80;
  static constexpr int kRows = 50;
  static constexpr int kCells = kColumns * kRows;
  static constexpr int kTargetWidth = 640;
  static constexpr int kTargetHeight = 600;

  // The program's engine: loads the character chart and creates the
  // 640 x 600 target. Needs a current GL context.
  AsciiEngine();
  // A headless engine: no GL at all; present() hands the screen to
  // `renderer` (which may be null to discard frames).
  explicit AsciiEngine(ScreenRenderer* renderer);

  Texture chart;
  Fbo* target;
  // The three planes lie back to back so that one 12000-byte fill covers them.
  unsigned char chars[kCells];
  unsigned char fg[kCells];
  unsigned char bg[kCells];
  float palette[16][4];
  int viewX, viewY, viewWidth, viewHeight;
  const char* const* banners[4];
  ScreenRenderer* renderer;

  void clear();
  void fillWhite();
  void setCell(int column, int row, int character, int foreground, int background);
  void drawBanner(const char* const* lines);
  void setViewport(int width, int height, float aspect);
  void present();
};
