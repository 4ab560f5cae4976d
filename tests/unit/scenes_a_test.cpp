#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "scenes/textbigsprite.h"
#include "scenes/textdance.h"
#include "scenes/textfire.h"
#include "scenes/texttalkingv.h"
#include "scenes_a_support.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/fire.h"
#include "util/ascii/rotozoom.h"
#include "util/ascii/starfield.h"
#include "util/music/music.h"

namespace {

// Pictures made in code. Colour 15 never appears in them, so a white block
// on screen comes from the letters or a flash.
PixelFn blockOf(int colour, int x0, int y0, int x1, int y1) {
  return [=](int x, int y) { return x >= x0 && x < x1 && y >= y0 && y < y1 ? colour : 0; };
}

bool whiteBlock(const AsciiEngine& e, int c, int r) {
  const int i = cellIndex(c, r);
  return e.chars[i] == 219 && e.fg[i] == 15 && e.bg[i] == 0;
}

bool allWhite(const AsciiEngine& e) {
  for (int i = 0; i < AsciiEngine::kCells; ++i)
    if (e.chars[i] != 219 || e.fg[i] != 15 || e.bg[i] != 15) return false;
  return true;
}

bool allClear(const AsciiEngine& e) {
  for (int i = 0; i < AsciiEngine::kCells; ++i)
    if (e.chars[i] != 0 || e.fg[i] != 0 || e.bg[i] != 0) return false;
  return true;
}

// Hands a scene its shared objects the way the Demo does.
template <typename SceneType>
void attach(SceneType& scene, AsciiEngine& engine, Music& music) {
  scene.ascii = &engine;
  scene.music = &music;
  scene.initTicks = ManualTicks::now;
}

// The tick count a scene test starts from, with the effect clocks of the
// test's show put on it as if they had run until now: the steps a test
// counts are those of a scene that meets running clocks.
constexpr uint32_t kFreshTicks = 20000000u;
void runClocksUntilFreshTicks(AsciiEngine& engine) {
  Rotozoom::shared(engine).step = TickClock{true, kFreshTicks + 1};
  Starfield::shared(engine).step = TickClock{true, kFreshTicks + 1};
  FireEffect::shared(engine).step = TickClock{true, kFreshTicks};
}

// ---------------------------------------------------------------- TextFire

class TextFireTest : public ::testing::Test {
 protected:
  TextFireTest()
      : archive(std::vector<TestArchiveFile>{{"data/textfire/glimmerbay.raw", rawFile(80, 50, blockOf(9, 0, 30, 80, 33))},
                 {"data/textfire/2006.raw", rawFile(80, 50, blockOf(10, 0, 40, 80, 43))}}),
        ticks(kFreshTicks) {
    runClocksUntilFreshTicks(engine);
    attach(scene, engine, music);
    scene.init();
  }

  // Where letter k's shape ('0' + k) or box ('a' + k) cells are.
  std::vector<int> cellsOf(char mark) const {
    std::vector<int> cells;
    for (int r = 0; r < 50; ++r)
      for (int c = 0; c < 80; ++c)
        if (scene.letters.rows[r][c] == mark) cells.push_back(cellIndex(c, r));
    return cells;
  }
  int whiteCount(char mark) const {
    int n = 0;
    for (int cell : cellsOf(mark)) n += whiteBlock(engine, cell % 80, cell / 80);
    return n;
  }
  void frame(float b) {
    ManualTicks::now += 17;
    scene.drawFrame(b, ManualTicks::now);
  }

  TestArchive archive;
  ManualTicks ticks;
  CountingRenderer renderer;
  AsciiEngine engine{&renderer};
  Music music{Music::Manual{}};
  TextFire scene;
};

TEST_F(TextFireTest, LetterMaskSpellsEightLettersInTheirBoxes) {
  const int widths[8] = {10, 11, 10, 13, 4, 12, 9, 11};
  int left = 0;
  for (int k = 0; k < 8; ++k) {
    for (int r = 0; r < 50; ++r) {
      for (int c = 0; c < 80; ++c) {
        const char ch = scene.letters.rows[r][c];
        const bool inBox = r >= 5 && r <= 17 && c >= left && c < left + widths[k];
        if (!inBox) continue;
        ASSERT_TRUE(ch == 'a' + k || ch == '0' + k) << "letter " << k << " at " << c << "," << r;
        if (r == 5 || r == 17) {
          ASSERT_EQ(ch, 'a' + k) << "margin row " << r;
        }
      }
    }
    int shape = 0;
    for (int r = 6; r <= 16; ++r)
      for (int c = left; c < left + widths[k]; ++c) shape += scene.letters.rows[r][c] == '0' + k;
    EXPECT_GT(shape, 11) << "letter " << k;
    left += widths[k];
  }
  EXPECT_EQ(left, 80);
  for (int r = 0; r < 50; ++r) {
    EXPECT_EQ(std::strlen(scene.letters.rows[r]), 80u);
    if (r < 5 || r > 17) {
      EXPECT_EQ(std::string(scene.letters.rows[r]), std::string(80, '.'));
    }
  }
  for (int k = 0; k < LetterMask::kFlags; ++k) {
    EXPECT_EQ(scene.letters.shown[k], 0);
    EXPECT_EQ(scene.letters.inverse[k], 0);
  }
}

TEST_F(TextFireTest, FlashFramesAreWhiteAndAdvanceNothing) {
  frame(11.0f);  // fire and stars running
  const uint32_t fireClock = FireEffect::shared(engine).step.time;
  const uint32_t starClock = Starfield::shared(engine).step.time;
  std::vector<unsigned char> heat(scene.fire->current, scene.fire->current + 240 * 100);
  int starsX[Starfield::kStars];
  std::memcpy(starsX, scene.starfield->x, sizeof starsX);
  const int framesBefore = renderer.frames;

  ManualTicks::now += 2000;
  for (float b : {12.0f, 12.2f, 20.1f, 21.0f, 21.24f, 28.1f, 36.2f}) {
    scene.drawFrame(b, ManualTicks::now);
    EXPECT_TRUE(allWhite(engine)) << "beat " << b;
  }
  EXPECT_EQ(renderer.frames, framesBefore + 7);
  EXPECT_EQ(FireEffect::shared(engine).step.time, fireClock);
  EXPECT_EQ(Starfield::shared(engine).step.time, starClock);
  EXPECT_EQ(std::memcmp(heat.data(), scene.fire->current, heat.size()), 0);
  EXPECT_EQ(std::memcmp(starsX, scene.starfield->x, sizeof starsX), 0);
  for (int k = 0; k < LetterMask::kFlags; ++k) EXPECT_EQ(scene.letters.shown[k], 0);

  // Outside the first quarter of the beat, or of the windows, no flash; the
  // clocks catch up on the next such frame.
  for (float b : {12.25f, 13.0f, 19.1f, 22.1f, 29.0f, 37.1f}) {
    scene.drawFrame(b, ManualTicks::now);
    EXPECT_FALSE(allWhite(engine)) << "beat " << b;
  }
  EXPECT_NE(FireEffect::shared(engine).step.time, fireClock);
  EXPECT_NE(Starfield::shared(engine).step.time, starClock);
}

TEST_F(TextFireTest, LettersAppearInvertAndLeaveOnTheirBeats) {
  auto shownFlags = [&] { return std::vector<int>(scene.letters.shown, scene.letters.shown + 10); };
  auto inverseFlags = [&] { return std::vector<int>(scene.letters.inverse, scene.letters.inverse + 10); };
  using V = std::vector<int>;

  frame(11.9f);
  EXPECT_EQ(shownFlags(), V(10, 0));
  frame(12.5f);
  EXPECT_EQ(shownFlags(), (V{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  for (float b : {13.5f, 14.5f, 15.5f, 16.5f, 17.5f}) frame(b);
  EXPECT_EQ(shownFlags(), (V{1, 1, 1, 1, 1, 1, 0, 0, 0, 0}));
  // Shown letters are white blocks on their shape, nothing on their box.
  EXPECT_EQ(whiteCount('5'), static_cast<int>(cellsOf('5').size()));
  EXPECT_EQ(whiteCount('e'), 0);
  EXPECT_EQ(whiteCount('6'), 0);

  frame(18.0f);
  EXPECT_EQ(scene.letters.shown[6], 1);
  EXPECT_EQ(scene.letters.shown[7], 0);
  frame(18.5f);
  EXPECT_EQ(scene.letters.shown[7], 1);
  frame(18.8f);  // flag 8: no cell uses it
  EXPECT_EQ(shownFlags(), (V{1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(inverseFlags(), V(10, 0));

  frame(20.5f);
  EXPECT_EQ(inverseFlags(), V(10, 1));
  EXPECT_EQ(whiteCount('c'), static_cast<int>(cellsOf('c').size()));
  EXPECT_EQ(whiteCount('2'), 0);
  frame(21.5f);
  EXPECT_EQ(inverseFlags(), (V{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(whiteCount('a'), static_cast<int>(cellsOf('a').size()));
  EXPECT_EQ(whiteCount('0'), 0);
  EXPECT_EQ(whiteCount('1'), static_cast<int>(cellsOf('1').size()));
  frame(25.5f);
  EXPECT_EQ(inverseFlags(), (V{0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
  frame(26.0f);  // exactly 26: beat 25's inversion stays
  EXPECT_EQ(inverseFlags(), (V{0, 0, 0, 0, 1, 0, 0, 0, 0, 0}));
  frame(26.5f);
  EXPECT_EQ(inverseFlags(), (V{0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
  frame(26.8f);
  EXPECT_EQ(inverseFlags(), (V{0, 0, 0, 0, 0, 0, 1, 0, 0, 0}));
  frame(27.6f);
  EXPECT_EQ(inverseFlags(), (V{0, 0, 0, 0, 0, 0, 0, 1, 0, 0}));

  frame(28.5f);
  EXPECT_EQ(inverseFlags(), V(10, 0));
  EXPECT_EQ(engine.fg[cellIndex(3, 31)], 9);  // first picture over the fire
  EXPECT_NE(engine.fg[cellIndex(3, 41)], 10);

  frame(36.5f);
  EXPECT_EQ(shownFlags(), (V{0, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(engine.fg[cellIndex(3, 31)], 9);
  EXPECT_EQ(engine.fg[cellIndex(3, 41)], 10);  // and the second
  EXPECT_EQ(whiteCount('0'), 0);
  for (float b : {37.5f, 38.5f, 39.5f, 40.5f, 41.5f, 42.5f, 43.5f, 44.0f}) frame(b);
  EXPECT_EQ(shownFlags(), V(10, 0));
  EXPECT_EQ(scene.fire->stopped, 1);

  // Past the slot the index runs beyond the flags: nothing changes.
  scene.letters.shown[9] = 1;
  for (float b : {46.0f, 50.0f, 3000.0f}) frame(b);
  EXPECT_EQ(shownFlags(), (V{0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  scene.letters.setInverse(-1.0, 1);
  scene.letters.setInverse(10.0, 1);
  EXPECT_EQ(inverseFlags(), V(10, 0));
}

TEST_F(TextFireTest, FireStartsAfterBeatTenAndTurnsToSquaresAtTwentyEight) {
  auto glyphs = [&](int lo, int hi) {
    int n = 0;
    for (int i = 0; i < AsciiEngine::kCells; ++i) n += engine.chars[i] >= lo && engine.chars[i] <= hi;
    return n;
  };
  frame(9.0f);
  EXPECT_EQ(glyphs(136, 199), 0);
  ManualTicks::now += 10000;  // 500 ticks: the cooling has settled
  frame(10.5f);
  EXPECT_GT(glyphs(136, 199), 50);
  EXPECT_EQ(glyphs(254, 254), 0);
  frame(30.0f);
  EXPECT_EQ(glyphs(136, 199), 0);
  EXPECT_GT(glyphs(254, 254), 50);
  EXPECT_EQ(scene.fire->stopped, 0);
}

TEST_F(TextFireTest, DrawReadsTheBeatFromTheMusic) {
  music.setManualPosition(12.5 * 0.3);
  scene.draw(readFrameTime(*scene.music));
  EXPECT_EQ(scene.letters.shown[0], 1);
  EXPECT_EQ(renderer.frames, 1);
}

// ------------------------------------------------------------ TextDance

class TextDanceTest : public ::testing::Test {
 protected:
  static std::vector<TestArchiveFile> files() {
    std::vector<TestArchiveFile> f;
    // Pose k paints rows 40..44 in colour k + 1; horn k the centre in 9 + k.
    for (int k = 0; k < 4; ++k)
      f.push_back({"data/textdance/dance" + std::to_string(k + 1) + ".raw",
                   rawFile(80, 50, blockOf(k + 1, 0, 40, 80, 45))});
    for (int k = 0; k < 4; ++k)
      f.push_back({"data/textdance/horn" + std::to_string(k + 1) + ".raw",
                   rawFile(80, 50, blockOf(9 + k, 30, 20, 50, 30))});
    f.push_back({"data/textdance/rotozoom.raw", rawFile(256, 256, [](int, int) { return 6; })});
    return f;
  }

  TextDanceTest() : archive(files()), ticks(kFreshTicks) {
    runClocksUntilFreshTicks(engine);
    attach(scene, engine, music);
    scene.init();
  }

  void frame(float b) {
    ManualTicks::now += 17;
    scene.drawFrame(b, ManualTicks::now);
  }

  TestArchive archive;
  ManualTicks ticks;
  AsciiEngine engine{nullptr};
  Music music{Music::Manual{}};
  TextDance scene;
};

TEST_F(TextDanceTest, PosesChangeOnTheBeatWithAFlashAtItsStart) {
  frame(108.05f);
  EXPECT_TRUE(allWhite(engine));
  frame(108.5f);
  EXPECT_FALSE(allWhite(engine));
  EXPECT_EQ(engine.fg[cellIndex(10, 42)], 1);  // pose 0
  EXPECT_EQ(engine.fg[cellIndex(10, 10)], 6);  // rotozoom behind
  frame(109.5f);
  EXPECT_EQ(engine.fg[cellIndex(10, 42)], 2);
  frame(111.2f);
  EXPECT_EQ(engine.fg[cellIndex(10, 42)], 4);
  frame(139.1f);
  EXPECT_TRUE(allWhite(engine));
}

TEST_F(TextDanceTest, RotozoomFlipsWithThePoseFromBeat124) {
  frame(110.5f);
  frame(123.5f);  // pose 3, still before 124
  EXPECT_EQ(scene.rotozoom->mirror, 0);
  const int expected[4] = {0, 1, 2, 3};
  const float beats[4] = {124.5f, 125.5f, 126.5f, 127.5f};
  for (int i = 0; i < 4; ++i) {
    frame(beats[i]);
    EXPECT_EQ(scene.rotozoom->mirror, expected[i]) << "beat " << beats[i];
  }
  frame(141.5f);  // pose 1 while spinning
  EXPECT_EQ(scene.rotozoom->mirror, 1);
}

TEST_F(TextDanceTest, FigureSpinsFromBeat140) {
  frame(140.5f);
  ASSERT_TRUE(TextDance::shared(engine).spinStart.started);
  const uint32_t start = TextDance::shared(engine).spinStart.time;
  frame(141.5f);  // pose 1, turned slightly
  EXPECT_EQ(TextDance::shared(engine).spinStart.time, start);
  ManualTicks::now = start + 1000;
  scene.drawFrame(140.5f, ManualTicks::now);  // 0.9 radians: the flat band of rows 40..44 is tilted
  int rowsWithPose = 0;
  for (int r = 0; r < 50; ++r) {
    bool any = false;
    for (int c = 0; c < 80; ++c) any = any || engine.fg[cellIndex(c, r)] == 1;
    rowsWithPose += any;
  }
  EXPECT_GT(rowsWithPose, 10);
  EXPECT_FALSE(allWhite(engine));
}

TEST_F(TextDanceTest, HornsPulseAndZoomOnHalfBeats) {
  const struct {
    float beat;
    int colour;
  } cases[] = {{172.2f, 9}, {172.7f, 10}, {173.2f, 12}, {173.7f, 12}, {174.2f, 12}, {174.7f, 11},
               {175.2f, 10}, {175.7f, 9}};
  for (const auto& c : cases) {
    frame(c.beat);
    EXPECT_EQ(engine.fg[cellIndex(40, 25)], c.colour) << "beat " << c.beat;
    EXPECT_NE(engine.fg[cellIndex(10, 10)], 6) << "no rotozoom from 172";
  }
  EXPECT_TRUE(TextDance::shared(engine).pulseStart.started);
  EXPECT_TRUE(TextDance::shared(engine).zoomStart.started);
  // The zoom grows: 1 second after its start the picture looks 11 times smaller.
  ManualTicks::now = TextDance::shared(engine).zoomStart.time + 1000;
  scene.drawFrame(176.2f, ManualTicks::now);
  int lit = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) lit += engine.chars[i] != 0;
  EXPECT_GT(lit, 0);
  EXPECT_LT(lit, 20);
}

TEST_F(TextDanceTest, AfterTheSlotOnlyAClearedScreen) {
  markScreen(engine);
  frame(178.0f);
  EXPECT_TRUE(allClear(engine));
  frame(250.0f);
  EXPECT_TRUE(allClear(engine));
  // A beat before the show indexes no picture.
  frame(-1.5f);
  EXPECT_EQ(engine.fg[cellIndex(10, 42)], 6);
}

// ---------------------------------------------------------- TextTalkingV

class TextTalkingVTest : public ::testing::Test {
 protected:
  static std::vector<TestArchiveFile> files() {
    std::vector<TestArchiveFile> f;
    const char* word = "KESTRUN";
    for (int i = 0; word[i]; ++i)
      f.push_back({std::string("data/texttalkingv/") + word[i] + ".raw", rawFile(8, 6, blockOf(9 + i, 0, 0, 8, 6))});
    // A wall with one white brick; the face a wide, low block at the centre.
    f.push_back({"data/texttalkingv/greywall.raw", rawFile(80, 50, blockOf(15, 42, 46, 43, 47))});
    f.push_back({"data/texttalkingv/vexmask.raw", rawFile(80, 50, blockOf(5, 30, 22, 51, 28))});
    return f;
  }

  TextTalkingVTest() : archive(files()) {
    attach(scene, engine, music);
    scene.init();
  }

  int blocksInRow(int r) const {
    int n = 0;
    for (int c = 0; c < 80; ++c) n += engine.chars[cellIndex(c, r)] == 219;
    return n;
  }

  TestArchive archive;
  AsciiEngine engine{nullptr};
  Music music{Music::Manual{}};
  TextTalkingV scene;
};

TEST_F(TextTalkingVTest, LoadsTheTitleLettersTopToBottom) {
  EXPECT_STREQ(TextTalkingV::kTitle, "KESTRUNE");
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(scene.letters[i].width, 8);
    EXPECT_EQ(scene.letters[i].height, 6);
  }
  EXPECT_EQ(scene.letters[1].data[0], 10);  // E
  EXPECT_EQ(scene.letters[7].data[0], 10);  // E again, its own picture
  EXPECT_NE(scene.letters[1].data, scene.letters[7].data);
  EXPECT_EQ(scene.letters[6].data[0], 15);  // N
}

TEST_F(TextTalkingVTest, SpotsRaiseColoursWithinTheirDiamonds) {
  // At tick 0 all three spots stand on (40, 45).
  scene.drawFrame(30.0f, 0);
  for (int dy = -6; dy <= 4; ++dy) {
    for (int dx = -6; dx <= 6; ++dx) {
      const int c = 40 + dx, r = 45 + dy;
      const int i = cellIndex(c, r);
      const bool inSpot = std::abs(dx) <= 5 && std::abs(dy) <= 5 && std::abs(dx) + std::abs(dy) <= 8;
      if (c == 42 && r == 46) {
        // The white brick: 15 + 3 carries into the background.
        EXPECT_EQ(engine.chars[i], 176);
        EXPECT_EQ(engine.fg[i], 2);
        EXPECT_EQ(engine.bg[i], 1);
        continue;
      }
      EXPECT_EQ(engine.chars[i], 0) << c << "," << r;
      EXPECT_EQ(engine.fg[i], inSpot ? 3 : 0) << c << "," << r;
      EXPECT_EQ(engine.bg[i], 0);
    }
  }
}

TEST_F(TextTalkingVTest, LettersSwayInAColumnAndStayOnScreen) {
  // Tick 0: letter 0 spans columns 36..43 on rows 1..6.
  scene.drawFrame(30.0f, 0);
  for (int r = 1; r <= 6; ++r) {
    EXPECT_EQ(engine.chars[cellIndex(35, r)], 0);
    for (int c = 36; c < 44; ++c) EXPECT_EQ(engine.chars[cellIndex(c, r)], 219) << c << "," << r;
    EXPECT_NE(engine.chars[cellIndex(44, r)], 219);
  }
  // Over a whole swing every letter keeps all eight columns on screen.
  for (uint32_t now = 0; now < 6300; now += 37) {
    scene.drawFrame(30.0f, now);
    for (int r = 1; r <= 48; ++r) ASSERT_EQ(blocksInRow(r), 8) << "tick " << now << " row " << r;
    ASSERT_EQ(blocksInRow(0), 0);
    ASSERT_EQ(blocksInRow(49), 0);
  }
  // Near the right end of the swing: columns 71..78.
  scene.drawFrame(30.0f, 4712);
  EXPECT_EQ(engine.chars[cellIndex(71, 3)], 219);
  EXPECT_EQ(engine.chars[cellIndex(78, 3)], 219);
  EXPECT_NE(engine.chars[cellIndex(79, 3)], 219);
}

TEST_F(TextTalkingVTest, FaceShowsSpinsAndTurnsOverTheWall) {
  // Tick 1000: the spots stand far right, letter 2 (rows 13..18) at columns 18..25.
  scene.drawFrame(50.0f, 1000);
  EXPECT_EQ(engine.chars[cellIndex(32, 26)], 219);
  EXPECT_EQ(engine.fg[cellIndex(32, 26)], 5);
  EXPECT_EQ(engine.chars[cellIndex(40, 15)], 0);

  // A quarter turn about (40, 25): the wide block stands upright.
  scene.drawFrame(73.0f, 1000);
  EXPECT_EQ(engine.chars[cellIndex(32, 26)], 0);
  EXPECT_EQ(engine.fg[cellIndex(40, 15)], 5);
  EXPECT_EQ(engine.fg[cellIndex(40, 35)], 5);

  scene.drawFrame(69.0f, 2000);
  ASSERT_TRUE(TextTalkingV::shared(engine).spinStart.started);
  const uint32_t spin = TextTalkingV::shared(engine).spinStart.time;
  scene.drawFrame(70.0f, 2500);
  EXPECT_EQ(TextTalkingV::shared(engine).spinStart.time, spin);
  scene.drawFrame(80.0f, 3000);
  ASSERT_TRUE(TextTalkingV::shared(engine).pulseStart.started);
}

TEST_F(TextTalkingVTest, FromBeat104OnlyTheTurnedFaceThenNothing) {
  scene.drawFrame(105.0f, 0);
  int face = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    if (engine.chars[i] == 0) {
      ASSERT_EQ(engine.fg[i], 0) << "no spots";
      continue;
    }
    ASSERT_EQ(engine.chars[i], 219);
    ASSERT_EQ(engine.fg[i], 5);
    ++face;
  }
  EXPECT_GT(face, 0);
  scene.drawFrame(108.0f, 0);
  EXPECT_TRUE(allClear(engine));
}

// ---------------------------------------------------------- TextBigSprite

TEST(TextBigSpriteTest, WindowDriftsInsideThePictureOverTheRotozoom) {
  EXPECT_EQ(TextBigSprite::offsetX(0.0f), 110);
  EXPECT_EQ(TextBigSprite::offsetY(0.0f), 30);
  for (float b = 324.0f; b <= 388.0f; b += 0.01f) {
    ASSERT_GE(TextBigSprite::offsetX(b), 0);
    ASSERT_LE(TextBigSprite::offsetX(b), 220);
    ASSERT_GE(TextBigSprite::offsetY(b), 0);
    ASSERT_LE(TextBigSprite::offsetY(b), 30);
  }

  auto big = [](int x, int y) { return (x + y) % 4 == 0 ? 0 : (x * 3 + y) % 14 + 1; };
  TestArchive archive(std::vector<TestArchiveFile>{{"data/textbigsprite/tavors.raw", rawFile(256, 256, [](int, int) { return 15; })},
                       {"data/textbigsprite/tavorlin.raw", rawFile(300, 80, big)}});
  ManualTicks ticks(kFreshTicks);
  AsciiEngine engine(nullptr);
  runClocksUntilFreshTicks(engine);
  Music music(Music::Manual{});
  TextBigSprite scene;
  attach(scene, engine, music);
  scene.init();
  scene.drawFrame(0.0f, ManualTicks::now);
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      const int v = big(c + 110, r + 30);
      ASSERT_EQ(engine.chars[cellIndex(c, r)], 219);
      ASSERT_EQ(engine.fg[cellIndex(c, r)], v == 0 ? 15 : v) << c << "," << r;
    }
  }
}

// ------------------------------------------------------- loading order

TEST(ScenesALoadTest, EachSceneAsksForItsFirstFileFirst) {
  TestArchive archive(std::vector<TestArchiveFile>{{"data/unrelated.raw", "x"}});
  AsciiEngine engine(nullptr);
  TextFire fire;
  fire.ascii = &engine;
  EXPECT_EXIT(fire.init(), ::testing::ExitedWithCode(1), "Failed to load file data/textfire/glimmerbay.raw");
  TextDance dance;
  dance.ascii = &engine;
  EXPECT_EXIT(dance.init(), ::testing::ExitedWithCode(1), "Failed to load file data/textdance/dance1.raw");
  TextTalkingV talking;
  talking.ascii = &engine;
  EXPECT_EXIT(talking.init(), ::testing::ExitedWithCode(1), "Failed to load file data/texttalkingv/K.raw");
  TextBigSprite bigSprite;
  bigSprite.ascii = &engine;
  EXPECT_EXIT(bigSprite.init(), ::testing::ExitedWithCode(1),
              "Failed to load file data/textbigsprite/tavors.raw!");
}

}  // namespace
