#pragma once

// Picture grids: the editable text form of the show's `.raw` pictures.
//
// A grid has exactly `height` picture lines of exactly `width` characters,
// top row first. Each character is one picture element:
//   '0'..'9', 'A'..'F' (or 'a'..'f')  palette index 0..15
//   '.'                               transparent (stored as 0, like '0')
// Lines starting with '#' are comments and are skipped wherever they stand.
// Line ends may be "\n" or "\r\n"; a missing final line end is accepted.
//
// Palette indices follow the screen palette (bit 0 blue, bit 2 red); the
// `.raw` file stores them with bits 0 and 2 swapped (bit 0 red, bit 2 blue).

#include <cstdint>
#include <string>
#include <vector>

namespace rawgrid {

struct Grid {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> cells;  // palette indices, row-major, row 0 at the top
};

// Parses `text` into `out`, requiring exactly width x height elements.
// On failure returns false and describes the first fault in `error`
// (with its line and column, counted from 1 in the text).
bool parseGrid(const std::string& text, int width, int height, Grid& out, std::string& error);

// Palette index -> `.raw` colour number and back (the same bit swap).
uint8_t paletteToFile(uint8_t index);

// The `.raw` bytes of a grid: width x height colour numbers in file order.
std::vector<uint8_t> toRaw(const Grid& grid);

// RGB of a palette index (0..15), 8 bits per channel.
void paletteRgb(uint8_t index, uint8_t rgb[3]);

// Renders the grid as solid scale x scale blocks, 8-bit RGB, top row first.
// Transparent elements are drawn as a dark checkerboard when `checker` is
// set, else black.
std::vector<uint8_t> renderPreview(const Grid& grid, int scale, bool checker);

// Renders the grid as solid scale x scale blocks, 8-bit RGBA, top row first:
// every element but 0 opaque in its palette colour; around the shapes a
// black halo whose alpha falls from 160 at the edge to 0 at `glow` pixels
// (straight-line distance to the nearest opaque pixel); everything else
// fully transparent.
std::vector<uint8_t> renderAlpha(const Grid& grid, int scale, int glow);

}  // namespace rawgrid
