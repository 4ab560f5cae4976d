#pragma once

#include <cstddef>
#include <vector>

#include "util/ascii/asciiengine.h"

// The character chart as plain pixels: RGBA, bottom row first (the order GL
// keeps the texture in), tightly packed.
struct ChartPixels {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
};

// Decodes a chart picture with the program's own PNG decoder, reading it
// through the data module like Texture::load does. False when the file is
// missing or not a usable PNG.
bool loadChartPixels(const char* name, ChartPixels* chart);

// Takes an RGB picture given top row first (as chart tools and PNG files
// hold it).
ChartPixels chartFromTopDownRgb(int width, int height, const unsigned char* rgb);

// Every glyph's two masks as the 640 x 600 target shows them: for each of the
// 8 x 12 pixels of a cell the chart texel nearest to the pixel's centre.
// RGB, 256 glyphs side by side (glyph g at x = 8g .. 8g + 7); rows 0..11 hold
// the foreground masks, rows 12..23 the background masks, bottom row first.
struct GlyphAtlas {
  static constexpr int kCellWidth = AsciiEngine::kTargetWidth / AsciiEngine::kColumns;   // 8
  static constexpr int kCellHeight = AsciiEngine::kTargetHeight / AsciiEngine::kRows;    // 12
  static constexpr int kWidth = 256 * kCellWidth;
  static constexpr int kHeight = 2 * kCellHeight;
  std::vector<unsigned char> rgb;

  // Pixel (x, y) of a cell, y counted from the cell's bottom row.
  const unsigned char* foreground(int glyph, int x, int y) const { return texel(glyph * kCellWidth + x, y); }
  const unsigned char* background(int glyph, int x, int y) const {
    return texel(glyph * kCellWidth + x, kCellHeight + y);
  }

 private:
  const unsigned char* texel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * kWidth + x) * 3]; }
};

// Samples the atlas from the chart with nearest filtering, as GL does when
// it draws a cell's quads. A missing chart gives black masks.
GlyphAtlas buildGlyphAtlas(const ChartPixels& chart);

// One channel of a cell pixel's quad in the 8-bit target: the palette
// colour times the mask texel (GL_MODULATE), rounded to nearest.
int maskedLevel(float colour, int texel);

// Renders the text screen on the CPU exactly as AsciiEngine::present renders
// it into its 640 x 600 target: for each cell the background mask in the bg
// colour plus the foreground mask in the fg colour, added with saturation,
// each target pixel taking the chart texel nearest to its centre. Writes
// 640 * 600 RGB bytes, bottom row first (GL's read-back order).
void renderReference(const AsciiEngine& engine, const ChartPixels& chart, unsigned char* rgb);
// The same with the glyph atlas built beforehand, for renderers that draw
// every frame.
void renderReference(const AsciiEngine& engine, const GlyphAtlas& atlas, unsigned char* rgb);

// What each palette colour gives through each mask texel (maskedLevel), for
// a frame's palette: level[colour][channel][texel].
struct MaskedLevels {
  unsigned char level[16][3][256];
  explicit MaskedLevels(const AsciiEngine& engine);
};

// One cell of renderReference's picture: `glyph` in palette colours `fg` on
// `bg`. `out` is the cell's bottom left pixel; kPixelStep bytes lead from a
// pixel to the next (3: RGB; 4: RGBA, whose fourth byte is left alone) and
// `rowStep` bytes from a row to the one above it. Made for 3 and 4.
template <int kPixelStep>
void renderReferenceCell(const GlyphAtlas& atlas, const MaskedLevels& levels, int glyph, int fg, int bg,
                         unsigned char* out, std::ptrdiff_t rowStep);

// What GL_LINEAR sampling of an RGB picture (width x height, rows in either
// order) gives over a viewport of outWidth x outHeight pixels: each output
// pixel centre mapped back onto the picture, the four nearest texels
// weighted, edges clamped. GL keeps a few bits of weight, so GL's result may
// differ from this by a level or two.
std::vector<unsigned char> resampleBilinear(const unsigned char* rgb, int width, int height, int outWidth,
                                            int outHeight);

// A ScreenRenderer for headless engines that keeps the latest picture.
class ReferenceRenderer : public ScreenRenderer {
 public:
  explicit ReferenceRenderer(ChartPixels chartPixels);
  void present(const AsciiEngine& engine) override;

  // RGB of the target pixel (x, y), y counted from the bottom row.
  const unsigned char* pixel(int x, int y) const;

  ChartPixels chart;
  std::vector<unsigned char> picture;  // 640 x 600 RGB, bottom row first
  int frames = 0;
};
