#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An RGB picture, rows top first, tightly packed.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3

  RgbImage() = default;
  RgbImage(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 3, 0) {}
  uint8_t* at(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* at(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

// Adds `src` into `dst` channel by channel, clamped at 255: two pictures
// blended with additive factors.
void addImage(RgbImage& dst, const RgbImage& src);

// Box-filtered reduction by a whole factor (the size is rounded down).
RgbImage shrink(const RgbImage& src, int factor);

// Height in pixels of a label line drawn with drawLabel at `scale`.
int labelHeight(int scale);

// Writes `text` with the preview's 5 x 7 pixel font at (x, y), each font
// pixel `scale` x `scale` picture pixels. Knows digits, upper-case letters,
// blank and . - : / ( ); other characters are left as gaps.
void drawLabel(RgbImage& image, int x, int y, const std::string& text, int scale, const uint8_t rgb[3]);

// One cell of a contact sheet.
struct SheetCell {
  RgbImage frame;
  std::string label;
};

// Lays the frames (all of the first one's size) out in rows of `columns`,
// each with its label in a strip above it, on a dark grey background.
RgbImage makeContactSheet(const std::vector<SheetCell>& cells, int columns);
