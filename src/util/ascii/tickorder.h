#pragma once

#include <cstdint>

// Order of two times on the wrapping 32-bit millisecond tick count, taken
// through the unsigned difference: step clocks keep stepping normally when
// the count wraps (every 49.7 days) instead of running 2^32 / 20 steps.

// a comes strictly before b.
inline bool tickBefore(uint32_t a, uint32_t b) { return static_cast<int32_t>(b - a) > 0; }

#include "util/ascii/tickclock.h"

// Milliseconds since `start`, which is set to `now` on its first use: the
// "first frame of a window" start ticks of the scenes.
inline uint32_t ticksSinceStart(TickClock& start, uint32_t now) {
  start.start(now);
  return now - start.time;
}
