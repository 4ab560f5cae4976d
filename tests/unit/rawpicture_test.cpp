#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "scenes_a_support.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/rawpicture.h"

namespace {

// A colour per element that tells elements apart: 1..15, never 0.
int colourAt(int x, int y) { return (x * 7 + y * 3) % 15 + 1; }

class RawPictureTest : public ::testing::Test {
 protected:
  AsciiEngine engine{nullptr};
  RawPicture picture;
};

TEST_F(RawPictureTest, LoadSwapsRedAndBlueBitsRowByRow) {
  // Row 0 holds the file bytes 0..15, row 1 the same reversed.
  std::string bytes;
  for (int b = 0; b < 16; ++b) bytes.push_back(static_cast<char>(b));
  for (int b = 15; b >= 0; --b) bytes.push_back(static_cast<char>(b));
  TestArchive archive(std::vector<TestArchiveFile>{{"data/test/colours.raw", bytes}});

  picture.load(&engine, 16, 2, "data/test/colours.raw");
  ASSERT_EQ(picture.width, 16);
  ASSERT_EQ(picture.height, 2);
  const int expected[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};
  for (int b = 0; b < 16; ++b) {
    EXPECT_EQ(picture.data[b], expected[b]) << "file byte " << b;
    EXPECT_EQ(picture.data[16 + 15 - b], expected[b]) << "second row, file byte " << b;
  }
  EXPECT_EQ(picture.data[1], 4);  // red in the file -> dark red
  EXPECT_EQ(picture.data[4], 1);  // blue in the file -> dark blue
}

TEST_F(RawPictureTest, LoadReadsTheAskedForBytesAndIgnoresTheRest) {
  // The tail would be refused as colours if it were read.
  TestArchive archive(std::vector<TestArchiveFile>{{"data/test/long.raw", std::string(12, '\1') + "\xff\xff"}});
  picture.load(&engine, 4, 3, "data/test/long.raw");
  EXPECT_EQ(std::string(12, '\4'), std::string(reinterpret_cast<const char*>(picture.data), 12));
}

TEST_F(RawPictureTest, LoadRefusesMissingShortAndCorruptFiles) {
  TestArchive archive(std::vector<TestArchiveFile>{{"data/test/short.raw", std::string(11, '\1')},
                       {"data/test/bad.raw", std::string(5, '\1') + '\x10' + std::string(6, '\1')}});
  EXPECT_EXIT(picture.load(&engine, 4, 3, "data/test/none.raw"), ::testing::ExitedWithCode(1),
              "Failed to load file data/test/none.raw");
  EXPECT_EXIT(picture.load(&engine, 4, 3, "data/test/short.raw"), ::testing::ExitedWithCode(1),
              "data/test/short.raw ends after 11 of 12 bytes");
  EXPECT_EXIT(picture.load(&engine, 4, 3, "data/test/bad.raw"), ::testing::ExitedWithCode(1),
              "colour 16 at byte 5");
  EXPECT_EXIT(picture.load(&engine, 0, 3, "data/test/short.raw"), ::testing::ExitedWithCode(1),
              "Invalid picture size 0 x 3");
}

TEST_F(RawPictureTest, DrawCoversTheScreenExceptTransparentElements) {
  makePicture(picture, &engine, 80, 50, [](int x, int y) { return (x + y) % 5 == 0 ? 0 : colourAt(x, y); });
  markScreen(engine);
  picture.draw(176, 0, 0);
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      const int i = cellIndex(c, r);
      if ((c + r) % 5 == 0) {
        EXPECT_TRUE(isMarked(engine, c, r)) << c << "," << r;
      } else {
        ASSERT_EQ(engine.chars[i], 176);
        ASSERT_EQ(engine.fg[i], colourAt(c, r));
        ASSERT_EQ(engine.bg[i], 0);
      }
    }
  }
}

TEST_F(RawPictureTest, DrawShowsTheWindowAtTheOffsetAndClipsTheRest) {
  makePicture(picture, &engine, 300, 80, colourAt);

  // Bottom-right corner of a big picture.
  markScreen(engine);
  picture.draw(219, 220, 30);
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < 80; ++c) ASSERT_EQ(engine.fg[cellIndex(c, r)], colourAt(c + 220, r + 30));

  // Past its right and bottom edges only part of the screen is covered.
  markScreen(engine);
  picture.draw(219, 250, 60);
  EXPECT_EQ(engine.fg[cellIndex(49, 19)], colourAt(299, 79));
  EXPECT_TRUE(isMarked(engine, 50, 0));
  EXPECT_TRUE(isMarked(engine, 0, 20));

  // A negative offset moves the picture right; columns 0..9 stay.
  markScreen(engine);
  picture.draw(219, -10, 0);
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 10; ++c) ASSERT_TRUE(isMarked(engine, c, r));
    for (int c = 10; c < 80; ++c) ASSERT_EQ(engine.fg[cellIndex(c, r)], colourAt(c - 10, r));
  }

  // Entirely off the screen, whatever the size of the offsets.
  markScreen(engine);
  const Screen before(engine);
  const int offsets[][2] = {{300, 0}, {0, 80}, {-80, 0}, {0, -50}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MIN},
                            {INT_MIN, 0}, {0, INT_MAX}};
  for (const auto& o : offsets) picture.draw(219, o[0], o[1]);
  EXPECT_TRUE(Screen(engine) == before);
}

TEST_F(RawPictureTest, RotatedAtAngleZeroEqualsThePlainDraw) {
  makePicture(picture, &engine, 80, 50, [](int x, int y) { return x % 7 == 0 ? 0 : colourAt(x, y); });
  markScreen(engine);
  picture.draw(219, 0, 0);
  const Screen plain(engine);

  markScreen(engine);
  picture.drawRotated(0.0, 1.0, 1.0);
  EXPECT_TRUE(Screen(engine) == plain);

  markScreen(engine);
  picture.drawRotatedClamped(0.0);
  EXPECT_TRUE(Screen(engine) == plain);
}

TEST_F(RawPictureTest, RotatedTurnsAndScalesAboutTheCentre) {
  makePicture(picture, &engine, 80, 50, colourAt);

  // Half a turn: cell (40 + x, 25 + y) shows element (40 - x, 25 - y).
  markScreen(engine);
  picture.drawRotated(M_PI, 1.0, 1.0);
  EXPECT_EQ(engine.fg[cellIndex(40, 25)], colourAt(40, 25));
  EXPECT_EQ(engine.fg[cellIndex(45, 27)], colourAt(35, 23));
  EXPECT_EQ(engine.fg[cellIndex(1, 1)], colourAt(79, 49));
  EXPECT_TRUE(isMarked(engine, 0, 0));  // element (80, 50) does not exist

  // Scale 2 shows twice as much: the picture looks smaller.
  markScreen(engine);
  picture.drawRotated(0.0, 2.0, 2.0);
  EXPECT_EQ(engine.fg[cellIndex(50, 30)], colourAt(60, 35));
  EXPECT_EQ(engine.fg[cellIndex(20, 13)], colourAt(0, 1));
  EXPECT_TRUE(isMarked(engine, 19, 25));  // would be element -2

  // A picture smaller than the screen only covers its own area.
  makePicture(picture, &engine, 30, 20, colourAt);
  markScreen(engine);
  picture.drawRotated(0.3, 0.5, 0.5);
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < 80; ++c)
      if (c >= 30 || r >= 20) {
        ASSERT_TRUE(isMarked(engine, c, r));
      }
}

TEST_F(RawPictureTest, ClampedRotationWritesEveryCellOfItsArea) {
  makePicture(picture, &engine, 30, 20, colourAt);
  for (double angle : {0.4, 1.3, 2.9, -2.0, 100.0}) {
    markScreen(engine);
    picture.drawRotatedClamped(angle);
    for (int r = 0; r < 50; ++r) {
      for (int c = 0; c < 80; ++c) {
        if (c < 30 && r < 20) {
          ASSERT_EQ(engine.chars[cellIndex(c, r)], 219) << angle << " " << c << "," << r;
        } else {
          ASSERT_TRUE(isMarked(engine, c, r));
        }
      }
    }
  }
  // Half a turn about (15, 10): cell (0, 0) maps to (30, 20), clamped to the
  // bottom-right element.
  picture.drawRotatedClamped(M_PI);
  EXPECT_EQ(engine.fg[cellIndex(0, 0)], colourAt(29, 19));

  // Zero elements still leave their cells alone.
  makePicture(picture, &engine, 30, 20, [](int, int) { return 0; });
  markScreen(engine);
  picture.drawRotatedClamped(0.7);
  EXPECT_TRUE(isMarked(engine, 10, 10));
}

TEST_F(RawPictureTest, RowWaveShiftsRowsAndDrawsBlackElements) {
  makePicture(picture, &engine, 80, 50, [](int x, int y) { return x == 5 ? 0 : colourAt(x, y); });

  // Amplitude 0 copies the picture, black elements included.
  markScreen(engine);
  picture.drawRowWave(0.3, 0.0, 0.7);
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      const int i = cellIndex(c, r);
      ASSERT_EQ(engine.chars[i], 219);
      ASSERT_EQ(engine.fg[i], c == 5 ? 0 : colourAt(c, r));
      ASSERT_EQ(engine.bg[i], 0);
    }
  }

  // sin(pi/2) = 1 on every row with frequency 0: a shift of 3.5 columns
  // truncates to 3; the last three columns have no source and stay.
  markScreen(engine);
  picture.drawRowWave(M_PI / 2, 3.5, 0.0);
  EXPECT_EQ(engine.fg[cellIndex(0, 7)], colourAt(3, 7));
  EXPECT_EQ(engine.fg[cellIndex(76, 7)], colourAt(79, 7));
  EXPECT_TRUE(isMarked(engine, 77, 7));

  // Row r shifts by amplitude * sin(r * frequency + phase).
  markScreen(engine);
  picture.drawRowWave(0.0, -4.0, M_PI / 2);  // rows 1, 5, ... shift by -4
  EXPECT_EQ(engine.fg[cellIndex(10, 1)], colourAt(6, 1));
  EXPECT_TRUE(isMarked(engine, 3, 1));
  EXPECT_EQ(engine.fg[cellIndex(10, 3)], colourAt(14, 3));
}

TEST_F(RawPictureTest, RowWaveNeverReadsOutsideSmallPictures) {
  // An 8 x 6 picture: the sanitizer build fails on any read past it.
  makePicture(picture, &engine, 8, 6, colourAt);
  markScreen(engine);
  picture.drawRowWave(0.0, 1.0, 0.5);
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < 80; ++c)
      if (r >= 6 || c >= 8) {
        ASSERT_TRUE(isMarked(engine, c, r)) << c << "," << r;
      }
  EXPECT_EQ(engine.fg[cellIndex(0, 0)], colourAt(0, 0));

  // Huge, infinite or undefined shifts leave the screen alone.
  makePicture(picture, &engine, 80, 50, colourAt);
  markScreen(engine);
  const Screen before(engine);
  picture.drawRowWave(M_PI / 2, 1e300, 0.0);
  picture.drawRowWave(M_PI / 2, -1e300, 0.0);
  picture.drawRowWave(NAN, 1.0, 1.0);
  picture.drawRowWave(M_PI / 2, INFINITY, 0.0);
  EXPECT_TRUE(Screen(engine) == before);
}

TEST_F(RawPictureTest, ColumnWaveScrollsAndBendsColumns) {
  makePicture(picture, &engine, 300, 80, [](int x, int y) { return y == 40 ? 0 : colourAt(x, y); });

  // Offset 100 shows columns 100..179; rows follow the sine of the column.
  markScreen(engine);
  picture.drawColumnWave(100, M_PI / 2, 2.0, 0.0);  // every column down 2 rows
  EXPECT_EQ(engine.fg[cellIndex(0, 0)], colourAt(100, 2));
  EXPECT_EQ(engine.fg[cellIndex(79, 49)], colourAt(179, 51));
  EXPECT_TRUE(isMarked(engine, 3, 38));  // element row 40 is transparent

  markScreen(engine);
  picture.drawColumnWave(0, 0.0, -3.0, M_PI / 2);  // column 1 up 3 rows
  EXPECT_TRUE(isMarked(engine, 1, 2));
  EXPECT_EQ(engine.fg[cellIndex(1, 3)], colourAt(1, 0));
  EXPECT_EQ(engine.fg[cellIndex(0, 3)], colourAt(0, 3));

  // Near the right edge the rest of the screen stays.
  markScreen(engine);
  picture.drawColumnWave(250, 0.0, 0.0, 0.0);
  EXPECT_EQ(engine.fg[cellIndex(49, 0)], colourAt(299, 0));
  EXPECT_TRUE(isMarked(engine, 50, 0));

  // An offset of the full width, or extreme offsets and amplitudes, draw nothing.
  markScreen(engine);
  const Screen before(engine);
  picture.drawColumnWave(300, 0.0, 1.0, 0.3);
  picture.drawColumnWave(-80, 0.0, 1.0, 0.3);
  picture.drawColumnWave(INT_MAX, 0.0, 1.0, 0.3);
  picture.drawColumnWave(INT_MIN, 0.0, 1.0, 0.3);
  picture.drawColumnWave(0, M_PI / 2, 1e300, 0.0);
  picture.drawColumnWave(0, NAN, 1.0, 0.0);
  EXPECT_TRUE(Screen(engine) == before);
}

}  // namespace
