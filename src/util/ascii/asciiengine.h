#pragma once

#include <memory>

#include "util/ascii/textmode.h"
#include "util/show_state.h"

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

// The emulated 80 x 50 colour text screen and its renderer. The scenes and
// effects of one show draw on one engine, and reach the state they share
// in that show through it.
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

  // The class-wide states and the random sequence of the show drawing here:
  // not part of the picture, so a const screen still reaches them. Each
  // engine made starts a fresh one; a copy of a screen belongs to the same
  // show.
  ShowState& state() const { return *state_; }

 private:
  ScreenRenderer* renderer_;
  std::shared_ptr<ShowState> state_;
};
