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

  // Runs `step` once for each `period` due while time <= now (unsigned),
  // advancing the clock before each step.
  template <typename Step>
  void catchUp(uint32_t now, uint32_t period, Step&& step) {
    start(now);
    while (time <= now) {
      time += period;
      step();
    }
  }
};
