#pragma once

namespace platform {

// Asks SDL for the show's GL framebuffer before its window is made: 8 bits a
// channel with alpha, double buffered, no multisampling (the text screen must
// keep its exact pixels), and swap control as given (1 waits for vertical sync).
void requestShowGlAttributes(int swapControl);

}  // namespace platform
