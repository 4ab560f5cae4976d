#pragma once

namespace platform {

// Hands the pages the allocator holds free back to the system. Buffers that
// follow the window size (the software GL driver keeps its colour and depth
// buffers in process memory) are freed and made again on every resize, and
// the C library's heap would otherwise keep the room of the largest for good.
void releaseFreeMemory();

}  // namespace platform
