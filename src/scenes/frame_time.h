#pragma once

#include <cstdint>

// The show's time for one frame, read once from the show's clock and handed
// to every scene that draws in it, so that scenes sharing a frame agree on it.
struct FrameTime {
  float beat = 0.0f;   // the song's position in beats (negative before it starts)
  uint32_t ticks = 0;  // the millisecond tick count
  // The spectrum of the music heard at this time: 512 magnitudes, lowest
  // frequency first. Null: silence.
  const float* spectrum = nullptr;
};
