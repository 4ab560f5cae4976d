#pragma once

// Application icons from a picture grid: a square region of the grid,
// rendered with the loading logo's transparency and shadow, shrunk to each
// of the sizes desktops ask for.

#include <cstdint>
#include <vector>

#include "rawgrid_lib.h"

namespace iconset {

// The side x side elements of `grid` whose top-left element is (x, y); false
// when the region does not lie inside the grid.
bool cropGrid(const rawgrid::Grid& grid, int x, int y, int side, rawgrid::Grid& out);

// Shrinks a square 8-bit RGBA picture (top row first) from `side` to
// `newSide` pixels a side, each new pixel the area-weighted mean of the
// pixels it covers. Colours are weighted by their alpha, so transparent
// pixels do not darken the edges of a shape. newSide must not exceed side.
std::vector<uint8_t> shrinkRgba(const std::vector<uint8_t>& pixels, int side, int newSide);

}  // namespace iconset
