#pragma once

#include <cstdint>

// A step clock on the millisecond tick count, the one rule every stepping
// effect and scene follows. It starts at the first call that uses it; every
// step whose time has come runs, so steps missed while nothing called it are
// caught up at once. Clocks shared by a whole class within a show live in
// that class's state in the show's ClasswideStates (util/timing/classwide.h).
struct TickClock {
  bool started;
  uint32_t time;  // when the next step falls due

  // Starts the clock at `now` unless it runs already; its first step falls
  // due `firstStepDelay` ms later (1: no step in the frame that starts it).
  void start(uint32_t now, uint32_t firstStepDelay = 0) {
    if (!started) {
      started = true;
      time = now + firstStepDelay;
    }
  }

  // Whether the next step is due: time is now or before it. Compared
  // through the unsigned difference, so the clock keeps stepping normally
  // when the tick count wraps (every 49.7 days).
  bool due(uint32_t now) const { return static_cast<int32_t>(now - time) >= 0; }

  // Runs `step` once for each step due, advancing the clock by `period()`
  // before each: for steps whose length depends on the state they change.
  template <typename Period, typename Step>
  void catchUpVarying(uint32_t now, Period&& period, Step&& step) {
    start(now);
    while (due(now)) {
      time += period();
      step();
    }
  }

  // Runs `step` once for each `period` due, advancing the clock before each.
  template <typename Step>
  void catchUp(uint32_t now, uint32_t period, Step&& step) {
    catchUpVarying(now, [period] { return period; }, step);
  }

  // Takes every step due at once and returns how many: the same count as
  // catchUp, without a loop over long gaps.
  uint32_t takeDue(uint32_t now, uint32_t period) {
    if (!due(now)) return 0;
    const uint32_t steps = (now - time) / period + 1;
    time += period * steps;
    return steps;
  }

  // Milliseconds since the clock started, starting it at `now` on first
  // use: the "first frame of a window" start ticks of the scenes.
  uint32_t since(uint32_t now) {
    start(now);
    return now - time;
  }
};
