#pragma once

#include <cstdint>

#include "scenes/frame_time.h"

class Music;

// The tick count that scenes under test are handed, set by the test: the
// show's clock does this in a real run.
uint32_t& testTicks();

// A frame at the music's position and testTicks(), with the music's
// (manual) spectrum.
FrameTime readFrameTime(Music& music);
