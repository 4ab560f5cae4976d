#pragma once

#include "util/ascii/textmode.h"

class AsciiEngine;

// Receives the finished text screen when a scene presents it: the program's
// OpenGL renderer (GlScreenRenderer), the CPU reference renderer of the
// preview tool, or a test's own.
class ScreenRenderer {
 public:
  virtual ~ScreenRenderer() = default;
  virtual void present(const AsciiEngine& engine) = 0;
};

// Where glyph g sits in the character chart, in texture coordinates (u to
// the right, v upwards): 80 columns by 10 bands, foreground masks in bands
// 9..6 and background masks in bands 5..2.
struct GlyphRect {
  float u0, u1;      // left and right edge
  float fgV0, fgV1;  // foreground mask, bottom and top edge
  float bgV0, bgV1;  // background mask, bottom and top edge
};
GlyphRect glyphRect(int glyph);

// The emulated 80 x 50 colour text screen and its renderer.
class AsciiEngine {
 public:
  static constexpr int kColumns = 80;
  static constexpr int kRows = 50;
  static constexpr int kCells = kColumns * kRows;
  static constexpr int kTargetWidth = 640;
  static constexpr int kTargetHeight = 600;
  // The character chart every renderer draws the cells with, in the archive.
  static constexpr const char* kChartFile = "data/common/images/asciichart.png";

  // present() hands the screen to `renderer` (null discards frames). The
  // engine itself needs no GL.
  explicit AsciiEngine(ScreenRenderer* renderer);
  // Where present() hands the screen from now on (null: nowhere).
  void setRenderer(ScreenRenderer* renderer) { renderer_ = renderer; }

  // The three planes lie back to back so that one 12000-byte fill covers them.
  unsigned char chars[kCells];
  unsigned char fg[kCells];
  unsigned char bg[kCells];
  float palette[16][4];
  int viewX, viewY, viewWidth, viewHeight;
  const char* const* banners[4];

  void clear();
  void fillWhite();
  void setCell(int column, int row, int character, int foreground, int background);
  void drawBanner(const char* const* lines);
  void setViewport(int width, int height, float aspect);
  void present();

  // The palette entry of a plane byte; only its low four bits count.
  const float* colour(int index) const;

 private:
  ScreenRenderer* renderer_;
};
