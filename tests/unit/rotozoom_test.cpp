#include <gtest/gtest.h>

#include "scenes_a_support.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/rotozoom.h"

namespace {

// Texel colours that differ between neighbours in both directions.
int texelAt(int u, int v) { return (u * 5 + v * 3) % 16; }

class RotozoomTest : public ::testing::Test {
 protected:
  RotozoomTest()
      : archive(std::vector<TestArchiveFile>{{"data/test/tile.raw", rawFile(256, 256, texelAt)},
                 {"data/test/short.raw", std::string(65535, '\2')}}),
        ticks(5000000u) {}

  // The tick time up to which the shared clock of the engine's show has
  // taken its steps (it starts with the test's first frame).
  uint32_t takenUpTo() { return Rotozoom::shared(engine).step.time - 1; }

  // Puts the tick count on the shared step clock: no step is due.
  void syncClock(Rotozoom& r) {
    r.drawAndAdvance(ManualTicks::now);
    ManualTicks::now = takenUpTo();
  }

  TestArchive archive;
  ManualTicks ticks;
  AsciiEngine engine{nullptr};
};

TEST_F(RotozoomTest, TablesHoldTheSampleValues) {
  Rotozoom r(&engine, "data/test/tile.raw");
  const int index[] = {0, 1, 64, 128, 192, 255};
  const int direction[] = {3276, 3377, 7372, 3226, -818, 3276};
  const int zoom[] = {0, 201, 8191, -100, -8190, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(r.directionTable[index[i]], direction[i]) << "entry " << index[i];
    EXPECT_EQ(r.zoomTable[index[i]], zoom[i]) << "entry " << index[i];
  }
  EXPECT_EQ(r.angleIndex, 0);
  EXPECT_EQ(r.zoomIndex, 0);
  EXPECT_EQ(r.mirror, 0);
  EXPECT_EQ(r.texels[3 * 256 + 7], texelAt(7, 3));
}

TEST_F(RotozoomTest, FirstFrameShowsOneTexelEverywhere) {
  Rotozoom r(&engine, "data/test/tile.raw");
  r.drawAndAdvance(ManualTicks::now);
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    ASSERT_EQ(engine.chars[i], 219);
    ASSERT_EQ(engine.fg[i], texelAt(0, 0));
    ASSERT_EQ(engine.bg[i], 0);
  }
}

TEST_F(RotozoomTest, OneStepGivesTheSampleVectorsAndTheirPicture) {
  Rotozoom r(&engine, "data/test/tile.raw");
  r.angleIndex = 255;
  r.zoomIndex = 1;
  int a = 0, b = 0;
  r.stepVector(&a, &b);
  EXPECT_EQ(a, 1607);
  EXPECT_EQ(b, 1632);

  r.drawAndAdvance(ManualTicks::now);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 80; ++x) {
      const int u = ((x * a - y * b) >> 12) & 255;
      const int v = ((x * b + y * a) >> 12) & 255;
      ASSERT_EQ(engine.fg[cellIndex(x, y)], texelAt(u, v)) << x << "," << y;
    }
  }
}

TEST_F(RotozoomTest, MirrorModesFlipRowsColumnsOrBoth) {
  Rotozoom r(&engine, "data/test/tile.raw");
  auto frame = [&](int mirror) {
    r.angleIndex = 40;
    r.zoomIndex = 70;
    r.mirror = mirror;
    r.drawAndAdvance(ManualTicks::now);
    return Screen(engine);
  };
  const Screen normal = frame(0);
  const Screen upsideDown = frame(1);
  const Screen mirrored = frame(2);
  const Screen halfTurn = frame(3);
  const Screen otherValue = frame(7);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 80; ++x) {
      const int here = normal.fg[cellIndex(x, y)];
      ASSERT_EQ(upsideDown.fg[cellIndex(x, 49 - y)], here);
      ASSERT_EQ(mirrored.fg[cellIndex(79 - x, y)], here);
      ASSERT_EQ(halfTurn.fg[cellIndex(79 - x, 49 - y)], here);
    }
  }
  EXPECT_TRUE(otherValue == normal);
}

TEST_F(RotozoomTest, StepsFollowTheSharedTwentyMillisecondClock) {
  Rotozoom r(&engine, "data/test/tile.raw");
  Rotozoom other(&engine, "data/test/tile.raw");
  syncClock(r);
  r.angleIndex = 0;
  r.zoomIndex = 0;

  ManualTicks::now += 1000;  // 50 periods
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.angleIndex, 206);
  EXPECT_EQ(r.zoomIndex, 50);

  // The clock is shared: another object drawn in the same millisecond gets
  // no steps.
  other.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(other.angleIndex, 0);
  EXPECT_EQ(other.zoomIndex, 0);

  ManualTicks::now += 1;  // one started period
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.angleIndex, 205);
  EXPECT_EQ(r.zoomIndex, 51);

  r.drawAndAdvance(ManualTicks::now);  // same millisecond
  EXPECT_EQ(r.zoomIndex, 51);
  ManualTicks::now += 19;  // still inside the period already taken
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.zoomIndex, 51);
  ManualTicks::now += 1;
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.zoomIndex, 52);

  // A long pause wraps both indices.
  ManualTicks::now = takenUpTo() + 20 * 300;
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.zoomIndex, (52 + 300) % 256);
  EXPECT_EQ(r.angleIndex, ((205 - 1 - 300) % 256 + 256) % 256);
}

TEST_F(RotozoomTest, ClockKeepsSteppingAcrossTheTickCountWrap) {
  Rotozoom r(&engine, "data/test/tile.raw");
  syncClock(r);
  Rotozoom::shared(engine).step.time = 0xFFFFFFF0u + 1;
  ManualTicks::now = 0xFFFFFFF0u;
  r.zoomIndex = 0;
  ManualTicks::now += 40;  // wraps to 24: two periods
  r.drawAndAdvance(ManualTicks::now);
  EXPECT_EQ(r.zoomIndex, 2);
  EXPECT_EQ(takenUpTo(), 0x18u);
  ManualTicks::now = takenUpTo();
}

TEST_F(RotozoomTest, MissingOrShortPictureIsFatal) {
  EXPECT_EXIT(Rotozoom(&engine, "data/test/none.raw"), ::testing::ExitedWithCode(1),
              "Failed to load file data/test/none.raw!");
  EXPECT_EXIT(Rotozoom(&engine, "data/test/short.raw"), ::testing::ExitedWithCode(1),
              "ends after 65535 of 65536 bytes");
}

}  // namespace
