#include "support/test_ticks.h"

#include "util/music/music.h"

uint32_t& testTicks() {
  static uint32_t ticks = 100000;
  return ticks;
}

FrameTime readFrameTime(Music& music) {
  static float spectrum[Music::kSpectrumBins];
  music.fillSpectrum(spectrum);
  FrameTime time;
  time.beat = music.beatTime();
  time.ticks = testTicks();
  time.spectrum = spectrum;
  return time;
}
