// The reduce-flashing mode end to end on the CPU: screens through the flash
// limiter, rendered as the renderers draw them, measured by the flash
// analyser tool.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "flash_scan.h"
#include "util/ascii/flash_limiter.h"
#include "util/ascii/reference_renderer.h"

namespace {

// A chart in which every glyph is a full block of its foreground colour.
ChartPixels solidChart() {
  std::vector<unsigned char> rgb(640 * 120 * 3, 0);
  std::fill(rgb.begin(), rgb.begin() + 640 * 48 * 3, 255);
  return chartFromTopDownRgb(640, 120, rgb.data());
}

// Keeps the last screen that reached it.
struct LastScreen : ScreenRenderer {
  AsciiEngine screen{nullptr};
  void present(const AsciiEngine& e) override { std::memcpy(screen.chars, e.chars, AsciiEngine::kCells * 3); }
};

// Hands what reaches it to the scan as the renderers draw it with the solid
// chart: each cell one colour, here one pixel per cell.
class ScanningRenderer : public ScreenRenderer {
 public:
  explicit ScanningRenderer(FlashScan* scan) : scan_(scan) {}
  void present(const AsciiEngine& engine) override {
    std::vector<unsigned char> rgb(AsciiEngine::kCells * 3);
    for (int i = 0; i < AsciiEngine::kCells; ++i)
      for (int c = 0; c < 3; ++c) rgb[static_cast<size_t>(i) * 3 + c] = static_cast<unsigned char>(maskedLevel(engine.colour(engine.fg[i])[c], 255));
    scan_->addFrame(rgb.data(), AsciiEngine::kColumns, AsciiEngine::kRows);
  }

 private:
  FlashScan* scan_;
};

// Runs `seconds` of 60 frames a second; `paint` colours the screen of frame n.
struct Playback {
  FlashScan scan{80, 50, 60};
  int64_t changed = 0;
};
Playback play(bool limit, double seconds, const std::function<void(AsciiEngine&, int)>& paint) {
  Playback run;
  ScanningRenderer renderer(&run.scan);
  FlashLimiter limiter(&renderer, buildGlyphAtlas(solidChart()));
  AsciiEngine engine(limit ? static_cast<ScreenRenderer*>(&limiter) : &renderer);
  for (int n = 0; n < static_cast<int>(seconds * 60); ++n) {
    limiter.beginFrame(100000 + (n * 1000 + 30) / 60);
    engine.clear();
    paint(engine, n);
    engine.present();
  }
  run.changed = limiter.changedTotal;
  return run;
}

void fill(AsciiEngine& engine, int colour, int x0 = 0, int y0 = 0, int x1 = 80, int y1 = 50) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) engine.setCell(x, y, kFullBlock, colour, kBlack);
}

}  // namespace

TEST(FlashLimiter, StrobesAreHeldToThreeFlashesASecond) {
  // White on every fourth frame: 15 flashes a second over the whole screen.
  const auto strobe = [](AsciiEngine& e, int n) { fill(e, n % 4 == 0 ? kWhite : kDarkGrey); };
  EXPECT_GE(play(false, 3, strobe).scan.worstGeneral(), 10.0);
  Playback limited = play(true, 3, strobe);
  EXPECT_LE(limited.scan.worstGeneral(), 3.0);
  EXPECT_LE(limited.scan.worstRed(), 3.0);
  EXPECT_GT(limited.changed, 0);

  // Saturated red against black, 6 flashes a second: the red rule.
  const auto red = [](AsciiEngine& e, int n) { fill(e, n % 10 < 5 ? kLightRed : kBlack); };
  EXPECT_GE(play(false, 3, red).scan.worstRed(), 5.0);
  Playback limitedRed = play(true, 3, red);
  EXPECT_LE(limitedRed.scan.worstRed(), 3.0);
  EXPECT_LE(limitedRed.scan.worstGeneral(), 3.0);
}

TEST(FlashLimiter, LeavesSlowFlashesAndSmallFlickerAlone) {
  // Three flashes a second over everything are allowed as they are.
  const auto slow = [](AsciiEngine& e, int n) { fill(e, n % 20 < 10 ? kWhite : kBlack); };
  EXPECT_EQ(0, play(true, 3, slow).changed);
  // Fast flicker on a block a tenth of a window's size is no hazard.
  const auto small = [](AsciiEngine& e, int n) { fill(e, n % 4 < 2 ? kWhite : kBlack, 40, 20, 49, 25); };
  Playback run = play(true, 3, small);
  EXPECT_EQ(0, run.changed);
  EXPECT_EQ(0.0, run.scan.worstGeneral());
  // Swings too small to count, and swings among bright colours only.
  const auto gentle = [](AsciiEngine& e, int n) {
    fill(e, n % 2 ? kWhite : kYellow, 0, 0, 40, 50);
    fill(e, n % 2 ? kBlue : kBlack, 40, 0, 80, 50);
  };
  EXPECT_EQ(0, play(true, 2, gentle).changed);
}

TEST(FlashLimiter, LargeFlickerMovesOnInWholeStepsWithoutSpeckles) {
  // Stripes scrolling one cell a frame over half the screen: every cell
  // there swings 24 times a second.
  const auto stripes = [](AsciiEngine& e, int n) {
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 40; ++x) e.setCell(x, y, kFullBlock, (x + n) % 5 < 2 ? kWhite : kBlue, kBlack);
  };
  EXPECT_GE(play(false, 3, stripes).scan.worstGeneral(), 7.0);

  struct Shown : ScreenRenderer {
    std::vector<std::string> screens;
    void present(const AsciiEngine& e) override {
      screens.emplace_back(reinterpret_cast<const char*>(e.chars), AsciiEngine::kCells * 3);
    }
  } shown;
  FlashScan scan(80, 50, 60);
  ScanningRenderer scanner(&scan);
  FlashLimiter limiter(&shown, buildGlyphAtlas(solidChart()));
  AsciiEngine engine(&limiter);
  std::vector<std::string> drawn;
  for (int n = 0; n < 180; ++n) {
    limiter.beginFrame(100000 + (n * 1000 + 30) / 60);
    engine.clear();
    stripes(engine, n);
    drawn.emplace_back(reinterpret_cast<const char*>(engine.chars), AsciiEngine::kCells * 3);
    engine.present();
    AsciiEngine out(&scanner);
    std::memcpy(out.chars, shown.screens.back().data(), AsciiEngine::kCells * 3);
    out.present();
  }
  EXPECT_LE(scan.worstGeneral(), 3.0);
  // Once the first second has spent the budget, each screen shown is either
  // the last one again or the picture as drawn in that frame: no cell is
  // left behind, none flashes alone, five steps a second.
  int steps = 0;
  for (size_t n = 60; n < drawn.size(); ++n) {
    if (shown.screens[n] == shown.screens[n - 1]) continue;
    EXPECT_TRUE(drawn[n] == shown.screens[n]) << "frame " << n;
    ++steps;
  }
  EXPECT_GE(steps, 9);
  EXPECT_LE(steps, 10);
}

TEST(FlashLimiter, AStrobeOverAHeldPictureShowsAsADimPulse) {
  // Flicker on the left holds the picture; a white flash over everything
  // on every 18th frame (three frames long) would be held a whole step.
  LastScreen last;
  FlashLimiter limiter(&last, buildGlyphAtlas(solidChart()));
  AsciiEngine engine(&limiter);
  int pulses = 0, whiteOnTheRight = 0;
  for (int n = 0; n < 360; ++n) {
    limiter.beginFrame(100000 + (n * 1000 + 30) / 60);
    const bool strobe = n % 18 < 3;
    fill(engine, strobe ? kWhite : kBlue, 40, 0, 80, 50);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 40; ++x) engine.setCell(x, y, kFullBlock, strobe || (x + n) % 5 < 2 ? kWhite : kBlack, kBlack);
    engine.present();
    if (n < 120) continue;
    const int right = 25 * 80 + 60;
    whiteOnTheRight += last.screen.fg[right] == kWhite;
    // Lit towards the flash, within a swing of blue.
    if (strobe && last.screen.fg[right] != kBlue) {
      ++pulses;
      EXPECT_GE(limiter.look(kFullBlock, last.screen.fg[right], kBlack, last.screen).luminance,
                limiter.look(kFullBlock, kBlue, kBlack, last.screen).luminance);
    }
  }
  EXPECT_EQ(0, whiteOnTheRight);
  EXPECT_GE(pulses, 20);
}

TEST(FlashLimiter, AGameBesideAFlashingPictureRunsOn) {
  // A block flickering at the top left, and a dot moving along the bottom
  // row a cell a frame, as a snake would.
  LastScreen last;
  FlashLimiter limiter(&last, buildGlyphAtlas(solidChart()));
  AsciiEngine engine(&limiter);
  int dotShown = 0, blockMoved = 0;
  unsigned char blockBefore = 0;
  for (int n = 0; n < 240; ++n) {
    limiter.beginFrame(100000 + (n * 1000 + 30) / 60);
    engine.clear();
    fill(engine, n % 4 < 2 ? kWhite : kBlack, 0, 0, 20, 16);
    const int dot = 49 * 80 + 20 + n % 60;
    engine.setCell(dot % 80, dot / 80, kFullBlock, kYellow, kBlack);
    engine.present();
    if (n < 60) continue;
    dotShown += last.screen.fg[dot] == kYellow;
    blockMoved += last.screen.fg[0] != blockBefore;
    blockBefore = last.screen.fg[0];
  }
  EXPECT_EQ(180, dotShown);
  EXPECT_LE(blockMoved, 3 * 5);
  EXPECT_GT(limiter.heldFrames, 100);
}

TEST(FlashLimiter, PassesOnOneScreenPerFrame) {
  struct Counting : ScreenRenderer {
    int screens = 0;
    int firstColour = -1;
    void present(const AsciiEngine& e) override {
      ++screens;
      firstColour = e.fg[0];
    }
  } counting;
  FlashLimiter limiter(&counting, buildGlyphAtlas(solidChart()));
  AsciiEngine engine(&limiter);
  for (int frame = 0; frame < 3; ++frame) {
    limiter.beginFrame(1000 + frame * 17);
    fill(engine, kRed);
    engine.present();
    fill(engine, kWhite);  // the next slot's scene on the same frame
    engine.present();
  }
  EXPECT_EQ(3, counting.screens);
  EXPECT_EQ(kRed, counting.firstColour);
  EXPECT_EQ(3, limiter.droppedScreens);
}

TEST(FlashArea, HoldsCrowdedWindowsAndTheirNeighboursOnly) {
  const auto mark = [](std::vector<unsigned char>& m, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) m[static_cast<size_t>(y * 80 + x)] = 1;
  };
  FlashArea area;
  std::vector<unsigned char> flashing(AsciiEngine::kCells);
  // 7 x 9 cells, grown by their neighbours 9 x 11 = 99: crowded.
  mark(flashing, 10, 10, 17, 19);
  area.judge(flashing);
  EXPECT_TRUE(area.holds(10 * 80 + 10));
  EXPECT_TRUE(area.holds(18 * 80 + 16));
  // Every cell of a window that holds most of the block (columns 0-35,
  // rows 3-25), and one more around it.
  EXPECT_TRUE(area.holds(2 * 80 + 0));
  EXPECT_FALSE(area.holds(1 * 80 + 0));
  EXPECT_TRUE(area.holds(26 * 80 + 36));
  EXPECT_FALSE(area.holds(27 * 80 + 36));
  EXPECT_FALSE(area.holds(26 * 80 + 37));

  // 7 x 8, grown 9 x 10 = 90: at the limit, nothing is held.
  std::fill(flashing.begin(), flashing.end(), 0);
  mark(flashing, 10, 10, 17, 18);
  area.judge(flashing);
  for (int i = 0; i < AsciiEngine::kCells; ++i) ASSERT_FALSE(area.holds(i)) << i;
  // The same count scattered one in three grows to fill the window.
  std::fill(flashing.begin(), flashing.end(), 0);
  for (int y = 1; y < 17; y += 3)
    for (int x = 1; x < 27; x += 3) flashing[static_cast<size_t>(y * 80 + x)] = 1;
  area.judge(flashing);
  EXPECT_TRUE(area.holds(8 * 80 + 13));
}

TEST(FlashMeasure, CountsSwingsBetweenTurningPoints) {
  SwingTracker t;
  std::vector<int> turns;
  const float values[] = {0.0f, 0.05f, 0.09f, 0.12f, 0.5f, 0.45f, 0.41f, 0.39f, 0.2f, 0.85f, 0.9f, 1.0f, 0.85f, 0.95f};
  for (int i = 0; i < static_cast<int>(sizeof values / sizeof values[0]); ++i)
    if (t.feed(values[i], kLuminanceSwing, kDarkerBelow)) turns.push_back(i);
  // Up at 0.12 (once, though it goes on to 0.5), down at 0.39, up at 0.85;
  // 1.0 to 0.85 and back are too bright to count.
  EXPECT_EQ((std::vector<int>{3, 7, 9}), turns);

  TransitionLog log;
  for (int64_t time = 0; time < 40; ++time) log.add(time * 10);
  log.add(390);  // the same frame again
  EXPECT_EQ(10, log.countAfter(290));
  EXPECT_EQ(TransitionLog::kKept, log.countAfter(-1));
  EXPECT_EQ(0.0f, redLevel(0.5f, 0.2f, 0.0f));  // too little red in the light
  EXPECT_GT(redLevel(0.5f, 0.02f, 0.02f), kRedSwing);
}
