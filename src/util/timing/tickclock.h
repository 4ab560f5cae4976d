#pragma once

#include <cstdint>

// A fixed-rate step clock on the millisecond tick count. It starts at the
// first call that uses it; every step whose time has come runs, so steps
// missed while nothing called it are caught up at once. Effects keep one per
// class, shared by all their objects and never reset.
struct TickClock {
  bool started;
  uint32_t time;  // when the next step falls due

  void start(uint32_t now) {
    if (!started) {
      started = true;
      time = now;
    }
  }

  // Whether the next step is due: time is now or before it. Compared
  // through the unsigned difference, so the clock keeps stepping normally
  // when the tick count wraps (every 49.7 days).
  bool due(uint32_t now) const { return static_cast<int32_t>(now - time) >= 0; }

  // Runs `step` once for each `period` due, advancing the clock before each.
  template <typename Step>
  void catchUp(uint32_t now, uint32_t period, Step&& step) {
    start(now);
    while (due(now)) {
      time += period;
      step();
    }
  }
};

// Order of two times on the wrapping tick count, taken through the unsigned
// difference like TickClock::due: a comes strictly before b.
inline bool tickBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a) > 0; }

// Milliseconds since `start`, which is set to `now` on its first use: the
// "first frame of a window" start ticks of the scenes.
inline uint32_t ticksSinceStart(TickClock& start, uint32_t now) {
  start.start(now);
  return now - start.time;
}
