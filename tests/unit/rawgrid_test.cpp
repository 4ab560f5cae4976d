#include <gtest/gtest.h>

#include <string>

#include "rawgrid_lib.h"

namespace {

// The table the picture loader maps file colour numbers through.
const uint8_t kLoaderRemap[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

TEST(RawGridConversion, FileColoursLoadBackToTheGridColours) {
  for (int index = 0; index < 16; ++index) {
    EXPECT_EQ(index, kLoaderRemap[rawgrid::paletteToFile(static_cast<uint8_t>(index))]) << index;
  }
  // Dark blue and dark red trade places; symmetric colours keep their number.
  EXPECT_EQ(4, rawgrid::paletteToFile(1));
  EXPECT_EQ(1, rawgrid::paletteToFile(4));
  EXPECT_EQ(12, rawgrid::paletteToFile(9));
  EXPECT_EQ(11, rawgrid::paletteToFile(14));
  for (uint8_t same : {0, 2, 5, 7, 8, 10, 13, 15}) EXPECT_EQ(same, rawgrid::paletteToFile(same));
}

TEST(RawGridConversion, RawIsRowMajorTopRowFirst) {
  rawgrid::Grid grid;
  std::string error;
  ASSERT_TRUE(rawgrid::parseGrid("1.C\n9aF\n", 3, 2, grid, error)) << error;
  const std::vector<uint8_t> raw = rawgrid::toRaw(grid);
  EXPECT_EQ((std::vector<uint8_t>{4, 0, 9, 12, 10, 15}), raw);
}

TEST(RawGridParse, AcceptsCommentsCrlfAndMissingFinalNewline) {
  rawgrid::Grid grid;
  std::string error;
  ASSERT_TRUE(rawgrid::parseGrid("# a comment\r\n0.\r\n# between rows\r\nEe", 2, 2, grid, error))
      << error;
  EXPECT_EQ((std::vector<uint8_t>{0, 0, 14, 14}), grid.cells);
  ASSERT_TRUE(rawgrid::parseGrid("12\n34\n\n\n", 2, 2, grid, error)) << error;
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4}), grid.cells);
}

TEST(RawGridParse, WrongSizesAreRejectedWithTheirLine) {
  rawgrid::Grid grid;
  std::string error;
  EXPECT_FALSE(rawgrid::parseGrid("123\n12\n123\n", 3, 3, grid, error));
  EXPECT_NE(std::string::npos, error.find("line 2")) << error;
  EXPECT_NE(std::string::npos, error.find("expected 3")) << error;

  EXPECT_FALSE(rawgrid::parseGrid("123\n1234\n", 3, 2, grid, error));
  EXPECT_NE(std::string::npos, error.find("line 2")) << error;

  EXPECT_FALSE(rawgrid::parseGrid("12\n12\n", 2, 3, grid, error));
  EXPECT_NE(std::string::npos, error.find("2 picture rows, expected 3")) << error;

  EXPECT_FALSE(rawgrid::parseGrid("12\n12\n12\n", 2, 2, grid, error));
  EXPECT_NE(std::string::npos, error.find("line 3")) << error;

  EXPECT_FALSE(rawgrid::parseGrid("", 2, 2, grid, error));
  EXPECT_FALSE(rawgrid::parseGrid("1\n", 0, 1, grid, error));
}

TEST(RawGridParse, BadElementsAreRejectedWithLineAndColumn) {
  rawgrid::Grid grid;
  grid.width = 7;
  std::string error;
  for (const char* bad : {"# comment\n12G\n", "# comment\n12 \n", "# comment\n12-\n"}) {
    EXPECT_FALSE(rawgrid::parseGrid(bad, 3, 1, grid, error)) << bad;
    EXPECT_NE(std::string::npos, error.find("line 2, column 3")) << error;
  }
  // A failed parse leaves the output alone.
  EXPECT_EQ(7, grid.width);
}

TEST(RawGridPreview, DrawsBlocksInPaletteColoursAndMarksTransparency) {
  rawgrid::Grid grid;
  std::string error;
  ASSERT_TRUE(rawgrid::parseGrid("C.\n", 2, 1, grid, error)) << error;
  const std::vector<uint8_t> checker = rawgrid::renderPreview(grid, 8, true);
  ASSERT_EQ(16u * 8u * 3u, checker.size());
  // Bottom-right pixel of the red block, then the transparent block.
  const size_t redPixel = (7 * 16 + 7) * 3;
  EXPECT_EQ(255, checker[redPixel]);
  EXPECT_EQ(0, checker[redPixel + 1]);
  const size_t clearA = (0 * 16 + 8) * 3, clearB = (0 * 16 + 12) * 3;
  EXPECT_NE(checker[clearA], checker[clearB]);
  EXPECT_GT(checker[clearA], 0);

  const std::vector<uint8_t> black = rawgrid::renderPreview(grid, 8, false);
  EXPECT_EQ(0, black[clearA]);
  EXPECT_EQ(0, black[clearB]);
}

}  // namespace

namespace {

TEST(RawGridAlpha, ShapesAreOpaqueWithAFadingHaloAndClearElsewhere) {
  rawgrid::Grid grid;
  std::string error;
  ASSERT_TRUE(rawgrid::parseGrid("...\n.C.\n...\n", 3, 3, grid, error)) << error;
  const int scale = 4, size = 12;
  const std::vector<uint8_t> rgba = rawgrid::renderAlpha(grid, scale, 3);
  ASSERT_EQ(static_cast<size_t>(size * size * 4), rgba.size());
  auto at = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * size + x) * 4]; };
  // Inside the red element.
  EXPECT_EQ(255, at(5, 5)[0]);
  EXPECT_EQ(0, at(5, 5)[1]);
  EXPECT_EQ(255, at(7, 4)[3]);
  // The halo is black, weaker further out, and gone beyond its reach.
  EXPECT_EQ(0, at(3, 5)[0]);
  EXPECT_GT(at(3, 5)[3], at(2, 5)[3]);
  EXPECT_GT(at(2, 5)[3], 0);
  EXPECT_LT(at(3, 5)[3], 255);
  EXPECT_EQ(0, at(0, 5)[3]);
  EXPECT_EQ(0, at(0, 0)[3]);
  EXPECT_EQ(0, at(11, 11)[3]);
}

}  // namespace
