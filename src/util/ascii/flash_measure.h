#pragma once

#include <cstdint>

// How flashing light is measured, shared by the show's flash limiter and
// the flash analyser tool so that both count the same things.
//
// A transition is a swing of a value between two turning points. General
// flashes swing relative luminance (0..1) by at least 0.1 with the darker
// end below 0.8; red flashes swing the red level of a saturated red. A flash
// is a pair of opposite transitions; at most three flashes (six
// transitions) a second are safe.

constexpr float kLuminanceSwing = 0.1f;
constexpr float kDarkerBelow = 0.8f;
constexpr float kRedSwing = 20.0f;
constexpr float kNoDarkLimit = 1.0e9f;
constexpr int kSafeTransitionsPerSecond = 6;

// Linear light (0..1) of an 8-bit sRGB level.
float linearLevel(int level);

// Relative luminance of linear red, green, blue.
float relativeLuminance(float r, float g, float b);

// Red level of linear red, green, blue: (R - G - B) x 320 where red makes up
// at least 80 % of the light, 0 elsewhere.
float redLevel(float r, float g, float b);

// Follows one value through its swings. feed() returns true when the value
// completes a transition: it has turned by at least `swing` from the last
// turning point, and (once) the darker end of that swing lies below
// `darkerBelow`.
class SwingTracker {
 public:
  bool feed(float value, float swing, float darkerBelow);

 private:
  bool started_ = false;
  int8_t trend_ = 0;  // +1 rising, -1 falling, 0 not yet swung
  bool counted_ = false;
  float low_ = 0.0f, high_ = 0.0f;  // the range before the first swing
  float from_ = 0.0f;               // the turning point the swing left
  float extreme_ = 0.0f;            // how far the swing has gone
};

// Times of the last transitions of one area, to count those within a second.
// Transitions are added in the order they happen.
class TransitionLog {
 public:
  static constexpr int kKept = 32;
  // Adds a transition at `time`; a second one at the same time is the same.
  void add(int64_t time);
  // Transitions at times after `since`.
  int countAfter(int64_t since) const;

 private:
  int64_t times_[kKept] = {};
  int count_ = 0;
  int next_ = 0;
};
