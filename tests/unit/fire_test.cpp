#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scenes_a_support.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/fire.h"

namespace {

constexpr int kW = 240;  // samples per row
constexpr int kH = 100;  // sample rows

class FireTest : public ::testing::Test {
 protected:
  FireTest() : ticks(9000000u) {
    // The clocks are shared by every fire of the engine's show: start them
    // if nothing has, and put the tick count where the next update runs
    // exactly one tick.
    ManualTicks::now = FireEffect::shared(engine).step.started ? FireEffect::shared(engine).step.time : 9000000u;
    fire.sparksPerTick = 0;
  }

  // Spreads 3 * v over the samples of cell (c, r): its drawn heat is v.
  void setCellHeat(int c, int r, int v) {
    int rest = 3 * v;
    for (int dy = 0; dy < 2; ++dy) {
      for (int dx = 0; dx < 3; ++dx) {
        const int part = rest > 255 ? 255 : rest;
        at(2 * r + dy, 3 * c + dx) = static_cast<unsigned char>(part);
        rest -= part;
      }
    }
  }
  unsigned char& at(int y, int x) { return fire.current[y * kW + x]; }

  // Ticks run by one update: counted through a cooling that falls by one per tick.
  int countTicksOfUpdate() {
    fire.cooling = 1e9;
    fire.coolingTarget = 0;
    fire.coolingRate = 1;
    fire.update(-1, ManualTicks::now);
    return static_cast<int>(1e9 - fire.cooling);
  }

  ManualTicks ticks;
  AsciiEngine engine{nullptr};
  FireEffect fire{&engine, ManualTicks::now};
};

TEST_F(FireTest, DrawMapsCellHeatThroughTheRamp) {
  // Cell heat is the sum of its six samples divided by 3, wrapped to a byte.
  const int heats[] = {0, 9, 10, 19, 25, 69, 70, 159, 160, 249, 250, 255};
  for (int i = 0; i < 12; ++i) setCellHeat(i, 0, heats[i]);
  // Six samples of 255 give 510, which wraps to 254: not drawn either.
  for (int y = 0; y < 2; ++y)
    for (int x = 36; x < 39; ++x) at(y, x) = 255;
  // 87 alone in cell 13: heat 29.
  at(0, 39) = 87;

  markScreen(engine);
  fire.draw(-1);
  const Screen shaded(engine);
  markScreen(engine);
  fire.draw(254);

  for (int c : {0, 1, 10, 11, 12}) EXPECT_TRUE(isMarked(engine, c, 0)) << "cell " << c;
  struct Expect {
    int column, heat, fg;
  } drawn[] = {{2, 10, 4},  {3, 19, 4},   {4, 25, 12},  {5, 69, 12}, {6, 70, 14},
               {7, 159, 14}, {8, 160, 15}, {9, 249, 15}, {13, 29, 12}};
  for (const Expect& e : drawn) {
    const int cell = cellIndex(e.column, 0);
    EXPECT_EQ(shaded.chars[cell], 136 + e.heat / 4) << "heat " << e.heat;
    EXPECT_EQ(engine.chars[cell], 254) << "heat " << e.heat;
    EXPECT_EQ(shaded.fg[cell], e.fg) << "heat " << e.heat;
    EXPECT_EQ(engine.fg[cell], e.fg) << "heat " << e.heat;
    EXPECT_EQ(shaded.bg[cell], 0);
    EXPECT_EQ(engine.bg[cell], 0);
  }
  EXPECT_TRUE(isMarked(engine, 5, 1));  // cold cells keep what was there
}

TEST_F(FireTest, HeatRisesOneRowAveragingItsNeighbours) {
  fire.cooling = 0.5;
  fire.coolingRate = 0;  // hold the cooling
  at(50, 100) = 255;
  fire.tick();  // the first tick reads the first buffer and writes the second
  EXPECT_EQ(fire.current, fire.heat2);
  const int expected = static_cast<int>(255 / 8.5);  // 30
  for (int x = 99; x <= 101; ++x) {
    EXPECT_EQ(at(48, x), expected);
    EXPECT_EQ(at(50, x), expected);
  }
  EXPECT_EQ(at(49, 99), expected);
  EXPECT_EQ(at(49, 101), expected);
  EXPECT_EQ(at(49, 100), 0);  // a sample is not its own neighbour
  EXPECT_EQ(at(47, 100), 0);
  EXPECT_EQ(at(51, 100), 0);

  // From the second tick the buffer is updated in place, left to right: the
  // sample above-left already holds this pass's value.
  std::memset(fire.current, 0, kW * kH);
  at(10, 100) = 255;
  fire.tick();
  EXPECT_EQ(at(10, 99), 30);
  EXPECT_EQ(at(10, 100), static_cast<int>((255 + 30) / 8.5));  // 33, not 30
}

TEST_F(FireTest, EdgesAndBottomRowDivideByTheirNeighbourCount) {
  fire.cooling = 1.0;
  fire.coolingRate = 0;
  for (int x = 0; x < kW; ++x) at(kH - 1, x) = 200;
  at(kH - 2, 0) = 90;
  fire.tick();  // first tick: every value read comes from the first buffer
  // Bottom row: five neighbours inside, three in the corners.
  EXPECT_EQ(at(kH - 2, 1), (90 + 200 + 200) / 6);
  EXPECT_EQ(at(kH - 2, 50), 400 / 6);
  EXPECT_EQ(at(kH - 2, 0), (90 + 200) / 4);
  EXPECT_EQ(at(kH - 2, kW - 1), 200 / 4);
  // Left edge one row up: five neighbours, the sample itself left out.
  EXPECT_EQ(at(kH - 3, 0), 400 / 6);
  EXPECT_EQ(at(kH - 3, 1), (90 + 600) / 9);
}

TEST_F(FireTest, CoolingDriftsTowardsItsTarget) {
  fire.cooling = 3.5;
  fire.coolingTarget = 0.03f;
  fire.coolingRate = 0.014f;
  int ticksRun = 0;
  while (fire.cooling > fire.coolingTarget && ticksRun < 1000) {
    fire.tick();
    ++ticksRun;
  }
  EXPECT_NEAR(ticksRun, 248, 1);
  EXPECT_GT(fire.cooling, fire.coolingTarget - fire.coolingRate);
  const double settled = fire.cooling;
  fire.tick();
  EXPECT_EQ(fire.cooling, settled);

  // A negative rate raises a cooling below its target.
  fire.cooling = 0.0;
  fire.coolingTarget = 1.0;
  fire.coolingRate = -0.25;
  for (int i = 0; i < 10; ++i) fire.tick();
  EXPECT_DOUBLE_EQ(fire.cooling, 1.0);
}

TEST_F(FireTest, SparksSeedTheBottomRowUntilStopped) {
  fire.sparksPerTick = 25;
  fire.tick();
  int hot = 0;
  for (int x = 0; x < kW; ++x) {
    const int v = at(kH - 1, x);
    EXPECT_TRUE(v == 0 || v == 255);
    hot += v == 255;
  }
  EXPECT_GT(hot, 0);
  EXPECT_LE(hot, 25);
  for (int x = 0; x < kW; ++x) ASSERT_EQ(at(kH - 3, x), 0) << "no heat above the seeds yet";

  // Stopped: no new heat; the last sample is cleared and the fire dies out.
  for (int i = 0; i < 50; ++i) fire.tick();
  fire.stopped = 1;
  at(kH - 1, kW - 1) = 255;
  fire.tick();
  EXPECT_EQ(at(kH - 1, kW - 1), 0);
  for (int i = 0; i < 400; ++i) fire.tick();
  int left = 0;
  for (int i = 0; i < kW * (kH - 1); ++i) left += fire.current[i];
  EXPECT_EQ(left, 0);
}

TEST_F(FireTest, UpdateRunsEveryTickDueOnTheSharedClock) {
  // The clock starts at the first update; a tick falls due at once.
  EXPECT_EQ(countTicksOfUpdate(), 1);
  EXPECT_TRUE(FireEffect::shared(engine).step.started);
  EXPECT_EQ(countTicksOfUpdate(), 0);  // same millisecond

  // A second later: fifty ticks; a second fire in the same frame none.
  ManualTicks::now = FireEffect::shared(engine).step.time + 980;
  EXPECT_EQ(countTicksOfUpdate(), 50);
  FireEffect other(&engine, ManualTicks::now);
  other.cooling = 5;
  other.coolingTarget = 0;
  other.coolingRate = 1;
  other.update(-1, ManualTicks::now);
  EXPECT_EQ(other.cooling, 5);

  // A large gap (ten minutes) is caught up tick by tick, and the fire is
  // still drawn from a sane field.
  fire.sparksPerTick = 25;
  ManualTicks::now = FireEffect::shared(engine).step.time + 600000 - 20;
  EXPECT_EQ(countTicksOfUpdate(), 30000);
  EXPECT_EQ(FireEffect::shared(engine).step.time, ManualTicks::now + 20);
  int lit = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) lit += engine.chars[i] != 0;
  EXPECT_GT(lit, 0);

  // Across the wrap of the tick count: two ticks, not 2^32 / 20.
  FireEffect::shared(engine).step.time = 0xFFFFFFF0u;
  ManualTicks::now = 0xFFFFFFF0u + 25;
  EXPECT_EQ(countTicksOfUpdate(), 2);
  EXPECT_EQ(FireEffect::shared(engine).step.time, 0xFFFFFFF0u + 40);
}

bool f8Held = false;
bool f9Held = false;
FireKeys heldKeys() { return FireKeys{f9Held, f8Held}; }

TEST_F(FireTest, ShadedFlowStreamsOutwardsFromTheCentreSeeds) {
  f8Held = f9Held = false;

  // One heat sample in the top-left quarter moves further up and left.
  at(30, 60) = 255;
  ManualTicks::now = 12345;
  fire.tickShaded(ManualTicks::now, heldKeys());
  const double cooling = 0.25 - 0.2 * std::sin(12345 * 0.01);
  EXPECT_DOUBLE_EQ(fire.cooling, cooling);
  const int expected = static_cast<int>(255 / (8 + cooling));
  // Sample (y, x) averages around (y + 1, x + 2).
  EXPECT_EQ(at(28, 57), expected);
  EXPECT_EQ(at(30, 59), expected);
  EXPECT_EQ(at(29, 58), 0);  // its source point is the hot sample itself
  EXPECT_EQ(at(31, 60), 0);

  // Seeds land only in the 12 x 12 block at the centre.
  std::memset(fire.current, 0, kW * kH);
  fire.sparksPerTick = 25;
  fire.tickShaded(ManualTicks::now, heldKeys());
  int hot = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      if (at(y, x) != 255) continue;
      ++hot;
      EXPECT_TRUE(y >= 44 && y < 56 && x >= 114 && x < 126) << y << "," << x;
    }
  }
  EXPECT_GT(hot, 0);

  // After a while (the cooling breathing with the clock) the heat from the
  // centre has reached the top and bottom rows and the left and right
  // columns of the screen, drawn as light shades.
  for (int i = 0; i < 80; ++i) {
    ManualTicks::now += 20;
    fire.tickShaded(ManualTicks::now, heldKeys());
  }
  engine.clear();
  fire.draw(176);
  int top = 0, bottom = 0, left = 0, right = 0;
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      if (engine.chars[cellIndex(c, r)] == 0) continue;
      ASSERT_EQ(engine.chars[cellIndex(c, r)], 176);
      top += r < 5;
      bottom += r >= 45;
      left += c < 10;
      right += c >= 70;
    }
  }
  EXPECT_GT(top, 0);
  EXPECT_GT(bottom, 0);
  EXPECT_GT(left, 0);
  EXPECT_GT(right, 0);
}

TEST_F(FireTest, ShadedFireFollowsF9AndF8) {
  f8Held = f9Held = false;
  fire.tickShaded(ManualTicks::now, heldKeys());  // from now on one buffer, updated in place
  fire.sparksPerTick = 25;
  f9Held = true;
  at(kH - 1, kW - 1) = 255;  // outside the flow: only the seeding clears it
  fire.tickShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(fire.stopped, 1);
  EXPECT_EQ(at(kH - 1, kW - 1), 0);
  for (int i = 0; i < kW * kH; ++i) ASSERT_NE(fire.current[i], 255) << "no new heat while stopped";

  f9Held = false;
  fire.tickShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(fire.stopped, 1);  // stays until F8
  f8Held = true;
  fire.tickShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(fire.stopped, 0);
  f9Held = true;  // both held: F8 is looked at last
  fire.tickShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(fire.stopped, 0);
  f8Held = f9Held = false;
}

TEST_F(FireTest, ShadedUpdateHasItsOwnClockAndLightShade) {
  f8Held = f9Held = false;
  fire.update(-1, ManualTicks::now);  // the plain clock is now in step
  const uint32_t plain = FireEffect::shared(engine).step.time;
  ManualTicks::now = FireEffect::shared(engine).shadedStep.started ? FireEffect::shared(engine).shadedStep.time : ManualTicks::now;
  fire.sparksPerTick = 25;
  fire.updateShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(FireEffect::shared(engine).step.time, plain);
  EXPECT_TRUE(FireEffect::shared(engine).shadedStep.started);
  EXPECT_EQ(FireEffect::shared(engine).shadedStep.time, ManualTicks::now + 20);
  ManualTicks::now += 100;
  fire.updateShaded(ManualTicks::now, heldKeys());
  EXPECT_EQ(FireEffect::shared(engine).shadedStep.time, ManualTicks::now + 20);
  int shaded = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    if (engine.chars[i] == 0) continue;
    EXPECT_EQ(engine.chars[i], 176);
    ++shaded;
  }
  EXPECT_GT(shaded, 0);
}

}  // namespace
