#include <gtest/gtest.h>

#include <cmath>

#include "util/music/modulators/adsr.h"
#include "util/music/modulators/arp.h"
#include "util/music/modulators/lfo.h"

namespace {

using testing::ExitedWithCode;

// Times below: the note went on at `on` and is held (off before on), or
// released at `off`.
constexpr float kNeverOff = -1.0f;

// E(x) of the exponential slopes with base 250.
float curve(float x) { return (std::pow(250.0f, x) - 1.0f) / 249.0f; }

TEST(ADSR, LinearEnvelopeWhileHeld) {
  ADSR env(1.0f, ADSR::SLOPE_LINEAR, 1.0f, ADSR::SLOPE_LINEAR, 0.5f, 1.0f, ADSR::SLOPE_LINEAR);
  EXPECT_EQ(-1, env.controller);
  EXPECT_EQ(Modulator::KIND_ADSR, env.kind);
  EXPECT_EQ(1.0f, env.intensity);
  EXPECT_EQ(250.0f, env.curveBase);

  EXPECT_FLOAT_EQ(0.0f, env.value(0.0f, kNeverOff, 0.0f));
  EXPECT_FLOAT_EQ(0.5f, env.value(0.5f, kNeverOff, 0.0f));
  EXPECT_FLOAT_EQ(1.0f, env.value(1.0f, kNeverOff, 0.0f));
  EXPECT_FLOAT_EQ(0.75f, env.value(1.5f, kNeverOff, 0.0f));
  EXPECT_FLOAT_EQ(0.5f, env.value(2.0f, kNeverOff, 0.0f));
  EXPECT_FLOAT_EQ(0.5f, env.value(9.0f, kNeverOff, 0.0f));
  // Later note-ons restart it.
  EXPECT_FLOAT_EQ(0.25f, env.value(10.25f, 8.0f, 10.0f));
}

TEST(ADSR, ReleaseFallsFromTheLevelReached) {
  ADSR env(1.0f, ADSR::SLOPE_LINEAR, 1.0f, ADSR::SLOPE_LINEAR, 0.5f, 1.0f, ADSR::SLOPE_LINEAR);
  // Released during the attack at 0.5 (level 0.5).
  EXPECT_FLOAT_EQ(0.5f, env.value(0.5f, 0.5f, 0.0f));
  EXPECT_FLOAT_EQ(0.25f, env.value(1.0f, 0.5f, 0.0f));
  EXPECT_FLOAT_EQ(0.0f, env.value(1.5f, 0.5f, 0.0f));
  EXPECT_EQ(0.0f, env.value(1.6f, 0.5f, 0.0f));
  // Released during the decay at 1.5 (level 0.75), and after it (sustain).
  EXPECT_FLOAT_EQ(0.375f, env.value(2.0f, 1.5f, 0.0f));
  EXPECT_FLOAT_EQ(0.25f, env.value(3.5f, 3.0f, 0.0f));
}

TEST(ADSR, ExponentialSlopes) {
  const float s = 0.4f;
  ADSR exp(2.0f, ADSR::SLOPE_EXP, 2.0f, ADSR::SLOPE_EXP, s, 2.0f, ADSR::SLOPE_EXP);
  ADSR inv(2.0f, ADSR::SLOPE_EXP_INV, 2.0f, ADSR::SLOPE_EXP_INV, s, 2.0f, ADSR::SLOPE_EXP_INV);
  const float e = curve(0.25f);
  for (ADSR* env : {&exp, &inv}) {
    EXPECT_NEAR(0.0f, env->value(0.0f, kNeverOff, 0.0f), 1e-6f);
    EXPECT_NEAR(1.0f, env->value(2.0f, kNeverOff, 0.0f), 1e-6f);
    EXPECT_NEAR(s, env->value(4.0f, kNeverOff, 0.0f), 1e-6f);
  }
  // A quarter into each phase: exp starts slowly, exp_inv quickly.
  EXPECT_NEAR(e, exp.value(0.5f, kNeverOff, 0.0f), 1e-6f);
  EXPECT_NEAR(1.0f - curve(0.75f), inv.value(0.5f, kNeverOff, 0.0f), 1e-6f);
  EXPECT_NEAR(s + (1 - s) * curve(0.75f), exp.value(2.5f, kNeverOff, 0.0f), 1e-6f);
  EXPECT_NEAR(s + (1 - s) * (1 - e), inv.value(2.5f, kNeverOff, 0.0f), 1e-6f);
  // Release from the sustain level.
  EXPECT_NEAR(s * curve(0.75f), exp.value(10.5f, 10.0f, 0.0f), 1e-6f);
  EXPECT_NEAR(s * (1 - e), inv.value(10.5f, 10.0f, 0.0f), 1e-6f);
  EXPECT_LT(exp.value(0.5f, kNeverOff, 0.0f), 0.25f);
  EXPECT_GT(inv.value(0.5f, kNeverOff, 0.0f), 0.25f);
}

TEST(ADSR, PhasesWithoutLengthGiveNumbers) {
  ADSR env(0.0f, ADSR::SLOPE_LINEAR, 1.0f, ADSR::SLOPE_LINEAR, 0.5f, 0.0f, ADSR::SLOPE_LINEAR);
  EXPECT_EQ(1.0f, env.value(0.0f, kNeverOff, 0.0f));  // the attack is over at once
  EXPECT_EQ(0.0f, env.value(3.0f, 3.0f, 0.0f));       // so is the release
}

TEST(LFO, SineAndSaw) {
  LFO sine(LFO::WAVE_SINE, 1, 1, 4, false);
  EXPECT_EQ(1, sine.controller);
  EXPECT_EQ(Modulator::KIND_LFO, sine.kind);
  EXPECT_EQ(1.0f, sine.rate);
  EXPECT_NEAR(0.0f, sine.value(2.0f, kNeverOff, 2.0f), 1e-6f);
  EXPECT_NEAR(0.5f, sine.value(2.25f, kNeverOff, 2.0f), 1e-6f);
  EXPECT_NEAR(1.0f, sine.value(2.5f, kNeverOff, 2.0f), 1e-6f);
  EXPECT_NEAR(0.0f, sine.value(3.0f, kNeverOff, 2.0f), 1e-6f);
  EXPECT_EQ(0.0f, sine.value(2.5f, 2.4f, 2.0f));  // released

  LFO saw(LFO::WAVE_SAW, 74, 1, 8, false);
  EXPECT_EQ(0.5f, saw.rate);
  EXPECT_FLOAT_EQ(0.25f, saw.value(1.25f, kNeverOff, 1.0f));
  EXPECT_FLOAT_EQ(0.0f, saw.value(1.5f, kNeverOff, 1.0f));
  EXPECT_FLOAT_EQ(0.125f, saw.value(1.625f, kNeverOff, 1.0f));
  EXPECT_EQ(0.0f, saw.value(1.25f, 1.0f, 1.0f));  // an off at the on time: released

  // No period: no oscillation rather than NaN.
  LFO still(LFO::WAVE_SINE, 1, 1, 0, false);
  EXPECT_EQ(0.0f, still.rate);
  EXPECT_EQ(0.0f, still.value(1.0f, kNeverOff, 0.0f));
}

TEST(LFO, UnknownWaveIsFatal) {
  LFO odd(7, 1, 1, 4, false);
  EXPECT_EQ(0.0f, odd.value(1.0f, 1.0f, 0.0f));  // released: no wave needed
  EXPECT_EXIT(odd.value(1.0f, kNeverOff, 0.0f), ExitedWithCode(1),
              "Error in file src\\\\util\\\\music\\\\modulators\\\\lfo\\.cpp:[0-9]+\n\nUnsupported wave type: 7");
}

TEST(Modulators, RatesFromNoteValues) {
  EXPECT_EQ(0.33333334f, Arp(Arp::PATTERN_UP, 1, 1, 8, true).rate);
  EXPECT_EQ(1.5f, Arp(Arp::PATTERN_UP, 1, 3, 8, false).rate);
  EXPECT_EQ(8.0f, LFO(LFO::WAVE_SAW, 1, 2, 1, false).rate);
  EXPECT_EQ(0.0f, LFO(LFO::WAVE_SAW, 1, 1, 0, true).rate);
}

TEST(Arp, GateFollowsTheNote) {
  Arp arp(Arp::PATTERN_DOWN, 2, 1, 16, false);
  EXPECT_EQ(-1, arp.controller);
  EXPECT_EQ(Modulator::KIND_ARP, arp.kind);
  EXPECT_EQ(Arp::PATTERN_DOWN, arp.pattern);
  EXPECT_EQ(2, arp.octaves);
  EXPECT_EQ(0.25f, arp.rate);
  EXPECT_EQ(1.0f, arp.value(4.0f, 1.0f, 3.0f));   // held since beat 3
  EXPECT_EQ(1.0f, arp.value(3.0f, 1.0f, 3.0f));
  EXPECT_EQ(0.0f, arp.value(5.0f, 4.5f, 3.0f));   // released at 4.5
  EXPECT_EQ(0.0f, arp.value(3.0f, 3.0f, 3.0f));
}

}  // namespace
