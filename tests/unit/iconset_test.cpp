#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "iconset_lib.h"

namespace {

// A square RGBA picture of one colour everywhere.
std::vector<uint8_t> flat(int side, std::vector<uint8_t> rgba) {
  std::vector<uint8_t> pixels;
  for (int i = 0; i < side * side; ++i) pixels.insert(pixels.end(), rgba.begin(), rgba.end());
  return pixels;
}

TEST(IconsetTest, ShrinkingKeepsColourCoverageAndTheEdgesOfShapes) {
  // Any ratio, even ones that split source pixels, keeps a flat picture flat.
  for (int newSide : {1, 16, 22, 24, 48, 63}) {
    EXPECT_EQ(flat(newSide, {200, 120, 40, 255}), iconset::shrinkRgba(flat(63, {200, 120, 40, 255}), 63, newSide))
        << newSide;
  }
  // Left half opaque red, right half transparent black: the shrunk pixel is
  // half covered and still red, not darkened by the transparent black.
  std::vector<uint8_t> half = flat(2, {0, 0, 0, 0});
  for (int row = 0; row < 2; ++row) {
    half[static_cast<size_t>(row) * 8 + 0] = 255;
    half[static_cast<size_t>(row) * 8 + 3] = 255;
  }
  EXPECT_EQ((std::vector<uint8_t>{255, 0, 0, 128}), iconset::shrinkRgba(half, 2, 1));
}

TEST(IconsetTest, CropTakesTheSquareAtItsCornerAndRefusesOneOutside) {
  rawgrid::Grid grid;
  grid.width = 3;
  grid.height = 2;
  grid.cells = {1, 2, 3, 4, 5, 6};
  rawgrid::Grid square;
  ASSERT_TRUE(iconset::cropGrid(grid, 1, 0, 2, square));
  EXPECT_EQ((std::vector<uint8_t>{2, 3, 5, 6}), square.cells);
  EXPECT_FALSE(iconset::cropGrid(grid, 2, 0, 2, square));
  EXPECT_FALSE(iconset::cropGrid(grid, 0, 1, 2, square));
}

}  // namespace
