#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"

// Draws the text screen's 640 x 600 picture on the CPU, the same pixels GL's
// renderer gives its target, into a buffer that changes from frame to frame
// (the encoding worker's): 4 bytes a pixel, B, G, R, A, the bottom row
// first, as GL reads the target back. A software GL takes several times the
// CPU time for the same picture, and then it still has to be read back.
class CellPicture : public ScreenRenderer {
 public:
  // `converts`: the picture is handed on in Y, Cb, Cr, 0 (bgraToYuvPixels),
  // converted on the drawing thread to spare the encoding one.
  CellPicture(GlyphAtlas atlas, bool converts);
  bool converts() const { return converts_; }

  // The next frame's picture goes to `bgra`.
  void drawInto(uint8_t* bgra) {
    target_ = bgra;
    drawn_ = false;
  }
  // Black where the frame presented no screen, as a cleared GL target.
  void finishFrame();

  void present(const AsciiEngine& engine) override;

 private:
  // With black and white masks a cell pixel is one of four colours: none,
  // the background, the foreground or both added.
  void presentTwoTone(const AsciiEngine& engine);

  GlyphAtlas atlas_;
  bool converts_;
  // Per glyph, row (bottom first) and pixel: bit 0 the background mask,
  // bit 1 the foreground mask. Empty where the masks have other levels.
  std::vector<uint8_t> twoTone_;
  uint8_t* target_ = nullptr;
  bool drawn_ = false;
};
