// Raster bars, plasma, falling blocks and the particle fountain, drawn into a
// headless text screen with the tick count set by the test.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>

#include "util/random.h"
#include "scenes_b_support.h"
#include "util/ascii/asciiengine.h"

using scenes_b_test::ManualClock;

namespace {

constexpr int kCols = AsciiEngine::kColumns;

int cellChar(const AsciiEngine& e, int c, int r) { return e.chars[r * kCols + c]; }
int cellFg(const AsciiEngine& e, int c, int r) { return e.fg[r * kCols + c]; }
int cellBg(const AsciiEngine& e, int c, int r) { return e.bg[r * kCols + c]; }

bool rowUntouched(const AsciiEngine& e, int r) {
  for (int c = 0; c < kCols; ++c)
    if (cellChar(e, c, r) || cellFg(e, c, r) || cellBg(e, c, r)) return false;
  return true;
}

TEST(RasterBars, SetsStartOneStepApartAndTicksShiftTheBarsAlongThePath) {
  ManualClock clock(5000);
  AsciiEngine engine(nullptr);
  RasterBars bars(&engine, 0.04);
  bars.initSet(0, 0.0);
  bars.initSet(1, M_PI);
  for (int i = 0; i < 6; ++i) {
    EXPECT_DOUBLE_EQ(bars.positions[0][i], (std::sin(0.04 * i) + 1.0) * 25.0);
    EXPECT_NEAR(bars.positions[1][i], (std::sin(M_PI + 0.04 * i) + 1.0) * 25.0, 1e-12);
  }
  EXPECT_NEAR(bars.phases[1], M_PI + 6 * 0.04, 1e-12);

  double before[2][6];
  for (int a = 0; a < 2; ++a)
    for (int i = 0; i < 6; ++i) before[a][i] = bars.positions[a][i];

  // The first advance starts the clock and runs the tick due at that moment.
  bars.advance(5000);
  for (int a = 0; a < 2; ++a) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(bars.positions[a][i], before[a][i + 1]);
    EXPECT_NEAR(bars.depths[a][5], std::cos(bars.phases[a]), 1e-12);
  }
  EXPECT_NEAR(bars.phases[0], 7 * 0.04, 1e-12);

  // Ticks fall due every 20 ms, inclusive of the current millisecond.
  bars.advance(5019);
  EXPECT_NEAR(bars.phases[0], 7 * 0.04, 1e-12);
  bars.advance(5020);
  EXPECT_NEAR(bars.phases[0], 8 * 0.04, 1e-12);
  bars.advance(5100);  // 5040, 5060, 5080, 5100
  EXPECT_NEAR(bars.phases[0], 12 * 0.04, 1e-12);

  // The clock belongs to the class: a second object sees no ticks due.
  RasterBars other(&engine, 0.04);
  other.initSet(0, 0.0);
  other.advance(5100);
  EXPECT_NEAR(other.phases[0], 6 * 0.04, 1e-12);
}

TEST(RasterBars, DrawsWholeRowsByDepthAndSkipsBarsOffScreenOrEdgeOn) {
  AsciiEngine engine(nullptr);
  RasterBars bars(&engine, 0.04);
  const double positions[6] = {3.9, 10.0, 20.5, 50.0, 30.0, 49.99};
  const double depths[6] = {-0.5, 0.5, -0.1, -0.2, 0.0, 0.3};
  for (int i = 0; i < 6; ++i) {
    bars.positions[0][i] = positions[i];
    bars.depths[0][i] = depths[i];
  }
  engine.clear();
  bars.drawBehind(0);
  // Bar 0 at row 3 dark red, bar 2 at row 20 dark green; bar 3 sits at 50.0,
  // below the screen.
  for (int c = 0; c < kCols; ++c) {
    EXPECT_EQ(cellChar(engine, c, 3), 219);
    EXPECT_EQ(cellFg(engine, c, 3), 4);
    EXPECT_EQ(cellBg(engine, c, 3), 4);
    EXPECT_EQ(cellFg(engine, c, 20), 2);
  }
  EXPECT_TRUE(rowUntouched(engine, 10));
  EXPECT_TRUE(rowUntouched(engine, 49));

  engine.clear();
  bars.drawInFront(0);
  EXPECT_EQ(cellFg(engine, 0, 10), 12);  // bar 1, bright red
  EXPECT_EQ(cellFg(engine, 79, 49), 9);  // bar 5, bright blue
  EXPECT_TRUE(rowUntouched(engine, 30));  // depth exactly 0: never drawn
  EXPECT_TRUE(rowUntouched(engine, 3));
}

TEST(Plasma, FillsTheScreenWithShadesAndMovesTwoPhasesPerTick) {
  ManualClock clock(7000);
  AsciiEngine engine(nullptr);
  Plasma plasma(&engine);
  EXPECT_EQ(plasma.sine[0], 0);
  EXPECT_NEAR(plasma.sine[128], 1024, 1);
  EXPECT_NEAR(plasma.sine[384], -1024, 1);
  const unsigned char bands[8] = {1, 9, 3, 11, 15, 7, 8, 0};
  for (int i = 0; i < 256; ++i) ASSERT_EQ(plasma.colours[i], bands[i / 32]);

  plasma.drawAndAdvance(7000);
  std::set<int> colours;
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < kCols; ++c) {
      ASSERT_EQ(cellChar(engine, c, r), 176);
      ASSERT_EQ(cellBg(engine, c, r), 0);
      colours.insert(cellFg(engine, c, r));
    }
  EXPECT_GE(colours.size(), 4u);
  EXPECT_EQ(plasma.p1, -10);
  EXPECT_EQ(plasma.p3, 5);

  plasma.drawAndAdvance(7100);  // five more ticks
  EXPECT_EQ(plasma.p1, -60);
  EXPECT_EQ(plasma.p3, 30);
  EXPECT_EQ(plasma.p2, 0);
  EXPECT_EQ(plasma.p4, 0);
}

TEST(Plasma, PhasesFarBelowZeroWrapLikeTheirRemainder) {
  AsciiEngine reference(nullptr);
  AsciiEngine wrapped(nullptr);
  Plasma a(&reference);
  Plasma b(&wrapped);
  for (AsciiEngine* screen : {&reference, &wrapped})
    Plasma::shared(*screen).step = TickClock{true, 1000};  // no tick due at now = 0
  a.p1 = 100;
  a.p3 = 300;
  b.p1 = 100 - 512 * 40000;
  b.p3 = 300 - 512 * 3;
  a.drawAndAdvance(0);
  b.drawAndAdvance(0);
  EXPECT_EQ(0, std::memcmp(reference.fg, wrapped.fg, sizeof reference.fg));
}

TEST(FallingBlocks, PiecesFallEvery40MsAndLandOnEachOther) {
  ManualClock clock(0);
  AsciiEngine engine(nullptr);
  FallingBlocks blocks(&engine);

  blocks.advanceAndDraw(0);  // first tick: piece 0 falls one row
  EXPECT_EQ(blocks.pieces[0].fallCount, 1);
  // Piece 0 is a blue bar: blocks (0..3 + 2) x 3 + 6 = columns 12..23, one
  // block of two rows starting at row fallCount + 1.
  EXPECT_EQ(cellChar(engine, 12, 2), 254);
  EXPECT_EQ(cellFg(engine, 23, 3), 9);
  EXPECT_EQ(cellBg(engine, 23, 3), 1);
  EXPECT_EQ(cellChar(engine, 24, 2), 0);
  EXPECT_EQ(cellChar(engine, 12, 1), 0);

  blocks.advanceAndDraw(39);
  EXPECT_EQ(blocks.pieces[0].fallCount, 1);

  // The bar falls until its bottom reaches row 45, then the next piece starts.
  blocks.advanceAndDraw(40 * 43);  // the 44th tick
  EXPECT_EQ(blocks.pieces[0].fallCount, 43);
  EXPECT_EQ(blocks.current, 1);
  EXPECT_EQ(blocks.landingLevel, 42);
  EXPECT_EQ(blocks.pieces[1].fallCount, 0);

  // The green T (height 2 blocks) lands right on the bar.
  blocks.advanceAndDraw(40 * 84);
  EXPECT_EQ(blocks.current, 2);
  engine.clear();
  blocks.current = 1;
  FallingBlocks::shared(engine).step = TickClock{true, 0xFFFFFFF0u};  // draw without ticking
  blocks.advanceAndDraw(40 * 84);
  EXPECT_EQ(cellFg(engine, 12, 44), 9);
  EXPECT_EQ(cellFg(engine, 12, 43), 0);   // the T's stem is in block column 1
  EXPECT_EQ(cellFg(engine, 15, 43), 10);  // stem, rows 42..43
  EXPECT_EQ(cellFg(engine, 15, 41), 10);  // top bar, rows 40..41
  EXPECT_EQ(cellBg(engine, 15, 41), 2);
  EXPECT_EQ(cellFg(engine, 15, 39), 0);
}

TEST(FallingBlocks, TheClosingBannerKeepsItsWordsOutOfEveryCellThePiecesPass) {
  // The ending draws banner 1 first and the pieces over it: a letter under
  // the fall or the stack would be hidden.
  ManualClock clock(0);
  AsciiEngine engine(nullptr);
  FallingBlocks blocks(&engine);
  for (uint32_t tick = 0; tick < 1200; ++tick) blocks.advanceAndDraw(40 * tick);
  EXPECT_EQ(blocks.current, FallingBlocks::kPieces - 1);
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < kCols; ++c)
      if (cellChar(engine, c, r)) {
        EXPECT_EQ(engine.banners[1][r][c], ' ') << "column " << c << " row " << r;
      }
}

TEST(FallingBlocks, TheLastPieceNeverHandsOverAndNothingLeavesTheScreen) {
  ManualClock clock(0);
  AsciiEngine engine(nullptr);
  FallingBlocks blocks(&engine);
  blocks.advanceAndDraw(0);  // starts the clock
  blocks.advanceAndDraw(40 * 5000);
  EXPECT_EQ(blocks.current, FallingBlocks::kPieces - 1);
  // The stack is taller than the screen: late pieces stay at the top and
  // overlap, and row 0 and the rows below the landing floor stay clear.
  EXPECT_TRUE(rowUntouched(engine, 0));
  for (int r = 46; r < 50; ++r) EXPECT_TRUE(rowUntouched(engine, r));
  for (int r = 0; r < 50; ++r)
    for (int c = 0; c < kCols; ++c)
      if (cellChar(engine, c, r)) {
        ASSERT_GE(c, 12);
        ASSERT_LE(c, 23);
      }
}

TEST(ParticleFountain, ConstructionShufflesAFixedPermutationFromSeedZero) {
  AsciiEngine engine(nullptr);
  engine.state().random.seed(1234);
  ParticleFountain a(&engine);
  engine.state().random.seed(99);
  ParticleFountain b(&engine);
  std::set<int> values(a.permutation, a.permutation + 256);
  EXPECT_EQ(values.size(), 256u);
  EXPECT_EQ(*values.begin(), 0);
  EXPECT_EQ(*values.rbegin(), 255);
  EXPECT_EQ(0, std::memcmp(a.permutation, b.permutation, sizeof a.permutation));
  int fixedPoints = 0;
  for (int i = 0; i < 256; ++i) fixedPoints += a.permutation[i] == i;
  EXPECT_LT(fixedPoints, 10);
  EXPECT_EQ(a.cosine[0], 128);
  EXPECT_EQ(a.cosine[64], 0);
  EXPECT_EQ(a.sine[64], 128);
  EXPECT_EQ(a.cosine[128], -127);  // -128 + 0.5 truncates toward zero
  EXPECT_EQ(a.liveCount, 0);
}

TEST(ParticleFountain, FirstTickSpawnsThirtyDarkBlueParticlesAtTheOrigin) {
  ManualClock clock(0);
  AsciiEngine engine(nullptr);
  ParticleFountain fountain(&engine);
  fountain.advanceAndDraw(0);
  EXPECT_EQ(fountain.spawnCount, 30);
  EXPECT_EQ(fountain.liveCount, 30);
  ASSERT_GT(ParticleFountain::shared(engine).pointCount, 0);
  for (int i = 0; i < ParticleFountain::shared(engine).pointCount; ++i) {
    const ParticleFountain::Point& p = fountain.points[i];
    EXPECT_EQ(p.colour, 1);
    // Origin (160, 100) in the 320 x 200 plane is cell (40, 25); at depth
    // 256 a spread moves a particle less than 2 cells away from it.
    EXPECT_NEAR(p.column, 40, 16);
    EXPECT_NEAR(p.row, 25, 10);
    EXPECT_EQ(cellChar(engine, p.column, p.row), 219);
    EXPECT_EQ(cellBg(engine, p.column, p.row), 0);
  }
  EXPECT_EQ(fountain.originPhaseX, 66);
  EXPECT_EQ(fountain.originPhaseY, 1);
  EXPECT_EQ(fountain.tickCounter, 1);
  EXPECT_EQ(fountain.xSpeed, 60);  // tick 0 keeps the speeds
}

TEST(ParticleFountain, LongRunKeepsLiveCountTrueAndPointsOnScreen) {
  ManualClock clock(0);
  AsciiEngine engine(nullptr);
  ParticleFountain fountain(&engine);
  std::set<int> colours;
  for (uint32_t now = 0; now <= 20 * 600; now += 20) {
    engine.clear();
    fountain.advanceAndDraw(now);
    int live = 0;
    for (const ParticleFountain::Particle& p : fountain.particles) live += p.depth != 0;
    ASSERT_EQ(live, fountain.liveCount) << "at " << now;
    ASSERT_LE(fountain.spawnCount, 30);
    for (int i = 0; i < ParticleFountain::shared(engine).pointCount; ++i) {
      const ParticleFountain::Point& p = fountain.points[i];
      ASSERT_TRUE(p.column >= 0 && p.column < 80 && p.row >= 0 && p.row < 50);
      colours.insert(p.colour);
    }
  }
  // Particles turn from dark blue to white as they come closer.
  EXPECT_EQ(colours, (std::set<int>{1, 9, 11, 15}));

  // Frames without a due tick redraw the points of the last tick.
  engine.clear();
  fountain.advanceAndDraw(20 * 600 + 5);
  EXPECT_GT(ParticleFountain::shared(engine).pointCount, 0);
  const ParticleFountain::Point& p = fountain.points[0];
  EXPECT_EQ(cellFg(engine, p.column, p.row), p.colour);
}

}  // namespace
