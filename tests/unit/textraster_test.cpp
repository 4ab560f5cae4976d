// The raster scene: scroller timing, the name pictures by beat, the zoomed
// face and the empty frames outside its windows.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scenes_b_support.h"
#include "support/test_archive.h"

using scenes_b_test::ManualClock;
using scenes_b_test::SceneRig;

namespace {

// Name picture k shows a single colour no bar uses, so the colour on screen
// tells which picture is drawn.
constexpr int kNameColours[8] = {3, 5, 6, 7, 8, 11, 13, 14};
constexpr int kScrollerColour = 15;
constexpr int kFaceColour = 10;

std::vector<TestArchiveFile> rasterFiles() {
  std::vector<TestArchiveFile> files;
  for (int k = 0; k < 8; ++k)
    files.push_back({"data/textraster/nick" + std::to_string(k + 1) + ".raw",
                     scenes_b_test::rawPicture(80, 50, [k](int x, int y) {
                       return x >= 10 && x < 70 && y >= 5 && y < 45 ? kNameColours[k] : 0;
                     })});
  // The scroller's first 40 columns are lit, the rest of its 800 is dark.
  files.push_back({"data/textraster/fastintro.raw",
                   scenes_b_test::rawPicture(800, 50, [](int x, int) { return x < 40 ? kScrollerColour : 0; })});
  files.push_back({"data/texttalkingv/vexmask.raw",
                   scenes_b_test::rawPicture(80, 50, [](int x, int y) {
                     return (x - 40) * (x - 40) + 4 * (y - 25) * (y - 25) < 900 ? kFaceColour : 0;
                   })});
  return files;
}

class TextRasterScene : public ::testing::Test {
 protected:
  TextRasterScene() : archive_(rasterFiles()) {
    rig_.attach(raster_, "TextRaster");
    raster_.init();
  }
  void frameAt(double beat, uint32_t now) {
    clock_.set(now);
    rig_.setBeat(beat);
    raster_.draw(readFrameTime(*raster_.music));
  }
  // Which name picture is on screen (-1: none, -2: more than one).
  int nameShown() const {
    int found = -1;
    for (int k = 0; k < 8; ++k)
      if (rig_.countBlocks(kNameColours[k]) > 0) found = found == -1 ? k : -2;
    return found;
  }
  // Columns holding scroller cells.
  int scrollerCells(int* maxColumn) const {
    int n = 0;
    *maxColumn = -1;
    for (int r = 0; r < 50; ++r)
      for (int c = 0; c < 80; ++c)
        if (rig_.ch(c, r) == 219 && rig_.fg(c, r) == kScrollerColour && rig_.bg(c, r) == 0) {
          ++n;
          if (c > *maxColumn) *maxColumn = c;
        }
    return n;
  }

  ManualClock clock_{200000};
  TestArchive archive_;
  SceneRig rig_;
  TextRaster raster_;
};

TEST_F(TextRasterScene, ScrollerWaits312MsThenMovesOneColumnPer10Ms) {
  int maxColumn = 0;
  frameAt(178.0, 200000);
  EXPECT_TRUE(TextRaster::shared(rig_.engine).scrollerStart.started);
  EXPECT_EQ(scrollerCells(&maxColumn), 0);
  // The bars are there from the first frame.
  int barRows = 0;
  for (int r = 0; r < 50; ++r) barRows += rig_.ch(0, r) == 219 && rig_.bg(0, r) != 0;
  EXPECT_GT(barRows, 0);

  frameAt(179.0, 200311);
  EXPECT_EQ(scrollerCells(&maxColumn), 0);
  frameAt(179.1, 200312);  // offset 0: picture columns 0..39 on screen columns 0..39
  EXPECT_GT(scrollerCells(&maxColumn), 100);
  EXPECT_EQ(maxColumn, 39);
  frameAt(179.2, 200312 + 200);  // offset 20
  EXPECT_GT(scrollerCells(&maxColumn), 50);
  EXPECT_EQ(maxColumn, 19);
  frameAt(179.3, 200312 + 400);  // offset 40: the lit part has scrolled out
  EXPECT_EQ(scrollerCells(&maxColumn), 0);
  EXPECT_EQ(nameShown(), -1);
}

TEST_F(TextRasterScene, NamePicturesFollowEveryTwoBeatsFrom204) {
  frameAt(203.9, 200000);
  EXPECT_EQ(nameShown(), -1);
  frameAt(204.0, 201000);
  EXPECT_EQ(nameShown(), 6);  // nick7
  frameAt(207.5, 202000);
  EXPECT_EQ(nameShown(), 7);  // nick8
  frameAt(208.0, 203000);
  EXPECT_EQ(nameShown(), 0);  // fmod(208, 16) = 0: nick1
  frameAt(219.9, 204000);
  EXPECT_EQ(nameShown(), 5);  // nick6
  int maxColumn = 0;
  EXPECT_EQ(scrollerCells(&maxColumn), 0);
}

TEST(TextRasterNames, IndexStaysInsideTheEightPictures) {
  EXPECT_EQ(TextRaster::nameIndex(208.0f), 0);
  EXPECT_EQ(TextRaster::nameIndex(204.0f), 6);
  EXPECT_EQ(TextRaster::nameIndex(205.99f), 6);
  EXPECT_EQ(TextRaster::nameIndex(206.0f), 7);
  EXPECT_EQ(TextRaster::nameIndex(-3.0f), -1);
  EXPECT_EQ(TextRaster::nameIndex(std::numeric_limits<float>::quiet_NaN()), -1);
  EXPECT_EQ(TextRaster::nameIndex(std::numeric_limits<float>::infinity()), -1);
}

TEST_F(TextRasterScene, FaceTurnsAQuarterThenZoomsAwayFrom224) {
  frameAt(221.0, 300000);
  const int full = rig_.countBlocks(kFaceColour);
  EXPECT_GT(full, 300);
  EXPECT_EQ(nameShown(), -1);
  // Turned a quarter: the wide ellipse stands upright.
  EXPECT_EQ(rig_.fg(40, 25), kFaceColour);
  EXPECT_EQ(rig_.fg(40, 11), kFaceColour);
  EXPECT_EQ(rig_.fg(20, 25), 0);
  EXPECT_FALSE(TextRaster::shared(rig_.engine).zoomStart.started);

  frameAt(224.0, 300500);
  EXPECT_TRUE(TextRaster::shared(rig_.engine).zoomStart.started);
  EXPECT_EQ(TextRaster::shared(rig_.engine).zoomStart.time, 300500u);
  EXPECT_EQ(rig_.countBlocks(kFaceColour), full);  // zoom 1 at its first frame
  frameAt(225.0, 300600);  // zoom 2: the face shrinks
  const int shrunk = rig_.countBlocks(kFaceColour);
  EXPECT_LT(shrunk, full / 2);
  EXPECT_GT(shrunk, 0);
}

TEST_F(TextRasterScene, OutsideItsWindowsTheScreenStaysEmpty) {
  frameAt(228.0, 400000);
  EXPECT_TRUE(rig_.blank());
  frameAt(177.9, 400100);
  EXPECT_TRUE(rig_.blank());
  EXPECT_FALSE(TextRaster::shared(rig_.engine).scrollerStart.started);
}

}  // namespace
