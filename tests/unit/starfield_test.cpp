#include <gtest/gtest.h>

#include <cstring>

#include "util/random.h"
#include "scenes_a_support.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/starfield.h"

namespace {

// Each test's engine is a show of its own: the shared clock starts with the
// test's first update.
class StarfieldTest : public ::testing::Test {
 protected:
  StarfieldTest() : ticks(7000000u) {}

  // The tick time up to which the shared clock has taken its steps.
  uint32_t takenUpTo() { return Starfield::shared(engine).step.time - 1; }

  // Puts the tick count on the shared clock, so that no step is due.
  void syncClock(Starfield& s) {
    s.update(ManualTicks::now);
    ManualTicks::now = takenUpTo();
  }

  static bool sameStars(const Starfield& a, const Starfield& b) {
    return std::memcmp(a.x, b.x, sizeof a.x) == 0 && std::memcmp(a.y, b.y, sizeof a.y) == 0 &&
           std::memcmp(a.speed, b.speed, sizeof a.speed) == 0;
  }

  ManualTicks ticks;
  AsciiEngine engine{nullptr};
};

TEST_F(StarfieldTest, StarsStartInColumnZeroWithRowThenSpeedDrawn) {
  util::Random sequence(1234);
  int draws[60];
  for (int& d : draws) d = sequence.next();
  engine.state().random.seed(1234);
  Starfield s(&engine);
  for (int i = 0; i < Starfield::kStars; ++i) {
    EXPECT_EQ(s.x[i], 0);
    EXPECT_EQ(s.y[i], draws[2 * i] % 50);
    EXPECT_EQ(s.speed[i], draws[2 * i + 1] % 6 + 1);
  }
}

TEST_F(StarfieldTest, StepMovesByTheSpeedAndRespawnsPastTheEdge) {
  Starfield s(&engine);
  for (int i = 0; i < Starfield::kStars; ++i) {
    s.x[i] = 70 + i % 10;
    s.speed[i] = 1 + i % 6;
    s.y[i] = 7;
  }
  s.step();
  for (int i = 0; i < Starfield::kStars; ++i) {
    const int moved = 70 + i % 10 + 1 + i % 6;
    if (moved <= 79) {
      EXPECT_EQ(s.x[i], moved);
      EXPECT_EQ(s.y[i], 7);
    } else {
      EXPECT_EQ(s.x[i], 0);
      EXPECT_GE(s.speed[i], 1);
      EXPECT_LE(s.speed[i], 6);
      EXPECT_LT(s.y[i], 50);
    }
  }
}

TEST_F(StarfieldTest, UpdateCatchesUpAndTheClockIsShared) {
  Starfield s(&engine);
  Starfield twin(&engine);
  Starfield other(&engine);
  syncClock(s);
  std::memcpy(twin.x, s.x, sizeof s.x);
  std::memcpy(twin.y, s.y, sizeof s.y);
  std::memcpy(twin.speed, s.speed, sizeof s.speed);
  int otherX[Starfield::kStars];
  std::memcpy(otherX, other.x, sizeof otherX);

  // A second without updates: 50 steps at once.
  ManualTicks::now += 1000;
  engine.state().random.seed(99);
  s.update(ManualTicks::now);
  engine.state().random.seed(99);
  for (int i = 0; i < 50; ++i) twin.step();
  EXPECT_TRUE(sameStars(s, twin));

  // The second object updated in the same frame finds no step due.
  other.update(ManualTicks::now);
  EXPECT_EQ(std::memcmp(other.x, otherX, sizeof otherX), 0);

  // Strictly behind: the same millisecond takes none, one more takes one.
  s.update(ManualTicks::now);
  EXPECT_TRUE(sameStars(s, twin));
  ManualTicks::now += 1;
  engine.state().random.seed(5);
  s.update(ManualTicks::now);
  engine.state().random.seed(5);
  twin.step();
  EXPECT_TRUE(sameStars(s, twin));
  EXPECT_EQ(takenUpTo(), ManualTicks::now + 19);
}

TEST_F(StarfieldTest, StarsDrawAsDotsBrightWhenFast) {
  Starfield s(&engine);
  syncClock(s);
  for (int i = 0; i < Starfield::kStars; ++i) {
    s.x[i] = i;
    s.y[i] = 3;
    s.speed[i] = 1 + i % 6;
  }
  // Stars 28 and 29 share a cell; the later one wins.
  s.x[29] = 28;
  s.speed[28] = 6;
  s.speed[29] = 2;
  engine.clear();
  s.update(ManualTicks::now);
  for (int i = 0; i < 28; ++i) {
    const int cell = cellIndex(i, 3);
    EXPECT_EQ(engine.chars[cell], '.');
    EXPECT_EQ(engine.fg[cell], s.speed[i] > 3 ? 15 : 8) << "speed " << s.speed[i];
    EXPECT_EQ(engine.bg[cell], 0);
  }
  EXPECT_EQ(engine.fg[cellIndex(28, 3)], 8);
  EXPECT_EQ(engine.chars[cellIndex(29, 3)], 0);
}

TEST_F(StarfieldTest, ClockSurvivesTheTickCountWrap) {
  Starfield s(&engine);
  syncClock(s);
  Starfield::shared(engine).step.time = 0xFFFFFFF6u + 1;
  ManualTicks::now = 0xFFFFFFF6u + 30;  // wraps; two periods started
  s.update(ManualTicks::now);
  EXPECT_EQ(takenUpTo(), 0xFFFFFFF6u + 40);
}

}  // namespace
