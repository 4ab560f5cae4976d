// The closing scene: its five windows and the fallback, the spectrum
// analyser, the credits by beat and the function keys on the fire.

#include <gtest/gtest.h>

#include <set>

#include "scenes_b_support.h"
#include "support/test_archive.h"

using scenes_b_test::ManualClock;
using scenes_b_test::SceneRig;

namespace {

constexpr int kWaveColour = 6;
constexpr int kCodeColour = 11;
constexpr int kMusicColour = 13;
constexpr int kCoderColour = 3;
constexpr int kMusicianColour = 5;
constexpr int kFaceColour = 7;

std::string disc(int colour) {
  return scenes_b_test::rawPicture(80, 50, [colour](int x, int y) {
    return (x - 40) * (x - 40) + 4 * (y - 25) * (y - 25) < 400 ? colour : 0;
  });
}
std::string strip(int colour) {
  return scenes_b_test::rawPicture(80, 50, [colour](int x, int y) {
    return y >= 40 && y < 46 && x >= 20 && x < 60 ? colour : 0;
  });
}

std::vector<TestArchiveFile> endingFiles() {
  return {
      {"data/textending/tolvek.raw",
       scenes_b_test::rawPicture(80, 50, [](int x, int) { return x % 2 == 0 ? kWaveColour : 0; })},
      {"data/textending/code.raw", strip(kCodeColour)},
      {"data/textending/music.raw", strip(kMusicColour)},
      {"data/textending/sunvira.raw", disc(kCoderColour)},
      {"data/textending/drimbo00.raw", disc(kMusicianColour)},
      {"data/texttalkingv/vexmask.raw", disc(kFaceColour)},
  };
}


class TextEndingScene : public ::testing::Test {
 protected:
  TextEndingScene() : archive_(endingFiles()) {
    rig_.attach(ending_, "TextEnding");
    ending_.init();
  }
  // The analyser alone, at tick `now`, with the spectrum set last.
  void drawAnalyserAt(uint32_t now) {
    clock_.set(now);
    ending_.drawAnalyser(readFrameTime(rig_.music));
  }

  void frameAt(double beat, uint32_t now) {
    clock_.set(now);
    rig_.setBeat(beat);
    ending_.draw(readFrameTime(*ending_.music));
  }
  int count(int character) const {
    int n = 0;
    for (int i = 0; i < AsciiEngine::kCells; ++i) n += rig_.engine.chars[i] == character;
    return n;
  }
  void setSpectrum(std::initializer_list<std::pair<int, float>> values) {
    float magnitudes[512] = {};
    for (const auto& v : values) magnitudes[v.first] = v.second;
    rig_.music.setManualSpectrum(magnitudes);
  }

  ManualClock clock_{300000};
  TestArchive archive_;
  SceneRig rig_;
  TextEnding ending_;
};

TEST_F(TextEndingScene, EachWindowShowsItsEffect) {
  frameAt(388.0, 300000);  // particle fountain
  EXPECT_TRUE(ParticleFountain::shared(rig_.engine).step.started);
  EXPECT_GT(count(219), 0);
  const std::set<int> particleColours{1, 9, 11, 15};
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    if (rig_.engine.chars[i] == 219) {
      ASSERT_EQ(particleColours.count(rig_.engine.fg[i]), 1u);
    }
  }

  frameAt(430.0, 301000);  // shaded fire and the analyser (silent spectrum: no bars)
  EXPECT_TRUE(FireEffect::shared(rig_.engine).shadedStep.started);
  EXPECT_TRUE(TextEnding::shared(rig_.engine).analyserStep.started);
  EXPECT_EQ(count(254), 0);
  EXPECT_EQ(count(219), 0);

  frameAt(460.0, 302000);  // the waving picture, black elements included
  EXPECT_TRUE(TextEnding::shared(rig_.engine).waveStart.started);
  EXPECT_GT(count(219), 3000);
  EXPECT_GT(rig_.countBlocks(kWaveColour), 1000);
  EXPECT_GT(rig_.countBlocks(0), 1000);

  frameAt(499.0, 303000);  // plasma, the coder and "code"
  EXPECT_TRUE(Plasma::shared(rig_.engine).step.started);
  EXPECT_GT(count(176), 3000);
  EXPECT_GT(rig_.countBlocks(kCoderColour), 100);
  EXPECT_GT(rig_.countBlocks(kCodeColour), 100);
  EXPECT_EQ(rig_.countBlocks(kMusicianColour), 0);
  EXPECT_EQ(rig_.countBlocks(kMusicColour), 0);
  frameAt(500.0, 303100);  // the musician and "music"
  EXPECT_EQ(rig_.countBlocks(kCoderColour), 0);
  EXPECT_GT(rig_.countBlocks(kMusicianColour), 100);
  EXPECT_GT(rig_.countBlocks(kMusicColour), 100);

  frameAt(517.0, 304000);  // banner 1, then the first falling piece
  EXPECT_TRUE(FallingBlocks::shared(rig_.engine).step.started);
  int bannerCells = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i)
    bannerCells += rig_.engine.fg[i] == 15 && rig_.engine.bg[i] == 4;
  EXPECT_GT(bannerCells, 0);
  EXPECT_EQ(rig_.ch(12, 2), 254);
  EXPECT_EQ(rig_.fg(12, 2), 9);
  EXPECT_EQ(rig_.bg(12, 2), 1);

  frameAt(557.0, 305000);  // fallback
  EXPECT_TRUE(TextEnding::shared(rig_.engine).fallbackStart.started);
  EXPECT_EQ(rig_.shown(0, 49, "(F5 - Snake, ESC - Quit)"), "(F5 - Snake, ESC - Quit)");
  EXPECT_EQ(rig_.fg(1, 49), 4);
  EXPECT_EQ(rig_.bg(1, 49), 0);
  EXPECT_GT(rig_.countBlocks(kFaceColour), 100);
  EXPECT_EQ(count(254), 0);
}

TEST_F(TextEndingScene, AnalyserBarsFollowTheSpectrumAndFallByTheDecay) {
  // Band 0 (values 0..3): 4 x 0.1 x 61 = 24.4 -> 24 rows. Band 1 (20..24):
  // far over the top. Band 2: silent. Band 3 (250..254): 5 x 0.01 x 402 -> 20.
  setSpectrum({{0, 0.1f}, {1, 0.1f}, {2, 0.1f}, {3, 0.1f}, {4, 9.0f},
               {20, 1.0f}, {21, 1.0f}, {22, 1.0f}, {23, 1.0f}, {24, 1.0f},
               {250, 0.01f}, {251, 0.01f}, {252, 0.01f}, {253, 0.01f}, {254, 0.01f}});
  rig_.engine.clear();
  rig_.engine.setCell(5, 40, 176, 12, 0);  // fire under the bar
  drawAnalyserAt(300000);
  EXPECT_EQ(ending_.bandLevels[0], 24);
  EXPECT_EQ(ending_.bandLevels[2], 0);
  EXPECT_EQ(ending_.bandLevels[3], 20);

  // Bar 0: columns 1..18, rows 26..49, green below row 20.
  EXPECT_EQ(rig_.ch(1, 26), 254);
  EXPECT_EQ(rig_.fg(18, 49), 10);
  EXPECT_EQ(rig_.ch(1, 25), 0);
  EXPECT_EQ(rig_.ch(0, 40), 0);
  EXPECT_EQ(rig_.ch(19, 40), 0);
  EXPECT_EQ(rig_.bg(5, 40), 12);  // the fire's colour shows behind the square
  EXPECT_EQ(rig_.bg(6, 40), 0);
  // Bar 1 fills its columns to row 0: red, yellow, green from the top.
  EXPECT_EQ(rig_.fg(21, 0), 12);
  EXPECT_EQ(rig_.fg(38, 4), 12);
  EXPECT_EQ(rig_.fg(21, 5), 14);
  EXPECT_EQ(rig_.fg(21, 19), 14);
  EXPECT_EQ(rig_.fg(21, 20), 10);
  // Bar 2 is empty; bar 3 covers rows 30..49 of columns 61..78.
  for (int r = 0; r < 50; ++r) EXPECT_EQ(rig_.ch(50, r), 0);
  EXPECT_EQ(rig_.ch(61, 30), 254);
  EXPECT_EQ(rig_.ch(78, 49), 254);
  EXPECT_EQ(rig_.ch(61, 29), 0);
  EXPECT_EQ(rig_.ch(79, 49), 0);

  // Silence: one tick later each bar is 3 rows lower; five ticks in one
  // frame lower it by 15.
  setSpectrum({});
  drawAnalyserAt(300020);
  EXPECT_EQ(ending_.bandLevels[0], 21);
  EXPECT_EQ(ending_.bandLevels[2], 0);
  drawAnalyserAt(300120);
  EXPECT_EQ(ending_.bandLevels[0], 6);
  EXPECT_EQ(ending_.bandLevels[3], 2);
  drawAnalyserAt(300140);
  EXPECT_EQ(ending_.bandLevels[0], 3);
  EXPECT_EQ(ending_.bandLevels[3], 0);  // 2 - 3 is not above 0
  // Sound again: the level jumps straight up.
  setSpectrum({{0, 0.1f}, {1, 0.1f}, {2, 0.1f}, {3, 0.1f}});
  rig_.engine.clear();
  drawAnalyserAt(300160);
  EXPECT_EQ(ending_.bandLevels[0], 24);
  EXPECT_EQ(rig_.ch(1, 26), 254);
  // A frame with no tick due keeps the levels and still draws.
  rig_.engine.clear();
  drawAnalyserAt(300170);
  EXPECT_EQ(ending_.bandLevels[0], 24);
  EXPECT_EQ(rig_.ch(1, 26), 254);
}

TEST_F(TextEndingScene, F9StopsTheShadedFireAndF8LightsItAgain) {
  frameAt(425.0, 310000);
  EXPECT_EQ(ending_.fire->stopped, 0);
  rig_.keys.down[kKeyFunction9] = 1;
  frameAt(425.1, 310040);
  EXPECT_NE(ending_.fire->stopped, 0);
  rig_.keys.down[kKeyFunction9] = 0;
  frameAt(425.2, 310080);
  EXPECT_NE(ending_.fire->stopped, 0);  // stays stopped once the key is up
  rig_.keys.down[kKeyFunction8] = 1;
  frameAt(425.3, 310120);
  EXPECT_EQ(ending_.fire->stopped, 0);
}

}  // namespace
