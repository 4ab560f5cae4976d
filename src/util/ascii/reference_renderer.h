#pragma once

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

// Renders the text screen on the CPU exactly as AsciiEngine::present renders
// it into its 640 x 600 target: for each cell the background mask in the bg
// colour plus the foreground mask in the fg colour, added with saturation,
// each target pixel taking the chart texel nearest to its centre. Writes
// 640 * 600 RGB bytes, bottom row first (GL's read-back order).
void renderReference(const AsciiEngine& engine, const ChartPixels& chart, unsigned char* rgb);

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
