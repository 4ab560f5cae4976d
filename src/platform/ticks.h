#pragma once
#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, as an unsigned 32-bit count that
// wraps; callers take differences in unsigned arithmetic.
uint32_t getTickCount();

// Tests and the preview tool drive time themselves. Passing nullptr
// restores the monotonic system clock.
using TickSource = uint32_t (*)();
void setTickSource(TickSource source);

}  // namespace platform
