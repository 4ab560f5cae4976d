#pragma once

#include <cstdint>

class Music;

// The show's time for one frame, read once and handed to every scene that
// draws in it, so that scenes sharing a frame agree on it.
struct FrameTime {
  float beat = 0.0f;   // the song's position in beats (negative before it starts)
  uint32_t ticks = 0;  // the millisecond tick count
};

// Reads the music's beat and the tick count, once each.
FrameTime readFrameTime(const Music& music);
