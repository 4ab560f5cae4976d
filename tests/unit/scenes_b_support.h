#pragma once

// Shared by the tests of the raster, snake and ending scenes and their
// effects: a tick count the test sets by hand. Each test's engine carries
// its own class-wide clocks and start ticks, "not started" at first.

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include "show/schedule.h"
#include "scenes/textending.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "util/ascii/fallingblocks.h"
#include "util/ascii/fire.h"
#include "util/ascii/fountain.h"
#include "util/ascii/plasma.h"
#include "util/ascii/rasterbars.h"
#include "util/ascii/starfield.h"
#include "util/ascii/asciiengine.h"
#include "util/music/music.h"
#include "support/test_ticks.h"

namespace scenes_b_test {

inline uint32_t& manualNow() { return testTicks(); }


// Drives the tick count from the test.
class ManualClock {
 public:
  explicit ManualClock(uint32_t start = 100000) { manualNow() = start; }
  void set(uint32_t now) { manualNow() = now; }
  void advance(uint32_t ms) { manualNow() += ms; }
  uint32_t now() const { return manualNow(); }
};

// The bytes of a .raw picture whose element (x, y) shows palette colour
// colourAt(x, y): the file order has red and blue swapped.
inline std::string rawPicture(int width, int height, const std::function<int(int, int)>& colourAt) {
  std::string bytes(static_cast<size_t>(width) * height, '\0');
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int c = colourAt(x, y);
      bytes[static_cast<size_t>(y) * width + x] = static_cast<char>((c & 10) | ((c & 1) << 2) | ((c & 4) >> 2));
    }
  return bytes;
}

inline std::string solidPicture(int width, int height, int colour) {
  return rawPicture(width, height, [colour](int, int) { return colour; });
}

// What the show hands a scene: a headless engine, a hand-driven music
// position and a key table.
struct SceneRig {
  AsciiEngine engine{nullptr};
  Music music{Music::Manual{}};
  KeyState keys{};

  void attach(Scene& scene, const char* slot) {
    placeInSlot(scene, scheduleSlot(slot), SceneResources{&music, &engine, 16.0f / 9.0f, testTicks});
    scene.keys = &keys;
  }
  void setBeat(double beat) { music.setManualPosition(beat * 60.0 / 200.0); }

  int ch(int c, int r) const { return engine.chars[r * 80 + c]; }
  int fg(int c, int r) const { return engine.fg[r * 80 + c]; }
  int bg(int c, int r) const { return engine.bg[r * 80 + c]; }
  // The characters of row r from column c, as text.
  std::string text(int c, int r, int count) const {
    std::string out;
    for (int i = 0; i < count; ++i) out += static_cast<char>(ch(c + i, r));
    return out;
  }
  // Row r from column c read as `expected` reads: blanks are transparent
  // when text is written, so the cells under them are not compared.
  std::string shown(int c, int r, const std::string& expected) const {
    std::string out;
    for (size_t i = 0; i < expected.size(); ++i)
      out += expected[i] == ' ' ? ' ' : static_cast<char>(ch(c + static_cast<int>(i), r));
    return out;
  }
  // Cells showing a full block of `colour` on black.
  int countBlocks(int colour) const {
    int n = 0;
    for (int i = 0; i < AsciiEngine::kCells; ++i)
      n += engine.chars[i] == 219 && engine.fg[i] == colour && engine.bg[i] == 0;
    return n;
  }
  bool blank() const {
    for (int i = 0; i < AsciiEngine::kCells; ++i)
      if (engine.chars[i] || engine.fg[i] || engine.bg[i]) return false;
    return true;
  }
};

}  // namespace scenes_b_test
