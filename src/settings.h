#pragma once

#include <cstdint>

// The display settings chosen in the setup dialog and read at start-up.
struct DisplaySettings {
  int screenWidth = -1;  // -1: not chosen yet
  int screenHeight = -1;
  uint32_t videoFlags = 0x80000000u;  // SDL_FULLSCREEN
  int vsync = 1;
  int aspectNumerator = 16;
  int aspectDenominator = 9;
};

extern DisplaySettings display_settings;
