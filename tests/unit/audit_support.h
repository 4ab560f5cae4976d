#pragma once

// Shared by the audit tests: a hand-set tick count and the music at a chosen
// beat. Each test draws on its own engine, so its class-wide clocks and
// start ticks begin "not started", like the first frame of a show.

#include <cstdint>
#include <functional>

#include "audit_model.h"

#include "show/schedule.h"
#include "scenes/textdance.h"
#include "scenes/textending.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "scenes/texttalkingv.h"
#include "util/ascii/fallingblocks.h"
#include "util/ascii/fire.h"
#include "util/ascii/fountain.h"
#include "util/ascii/plasma.h"
#include "util/ascii/rasterbars.h"
#include "util/ascii/rotozoom.h"
#include "util/ascii/starfield.h"
#include "util/music/music.h"

#include "support/test_ticks.h"

namespace audit {

inline uint32_t& tickNow() { return testTicks(); }

// The show's one keyboard, as the scenes attached below read it.
inline KeyState& stageKeys() {
  static KeyState keys{};
  return keys;
}
inline unsigned char& keyF8() { return stageKeys().down[kKeyFunction8]; }
inline unsigned char& keyF9() { return stageKeys().down[kKeyFunction9]; }

// A tick count set by the test and function keys held by the test.
class Stage {
 public:
  explicit Stage(uint32_t start) {
    tickNow() = start;
    stageKeys() = KeyState{};
  }
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;
};

// A start tick of a window: set by the first frame that needs it.
struct Start {
  bool set = false;
  uint32_t at = 0;
  uint32_t since(uint32_t now) {
    if (!set) {
      set = true;
      at = now;
    }
    return now - at;
  }
};

inline void startClock(Clock& clock, uint32_t now) {
  if (!clock.started) {
    clock.started = true;
    clock.time = now;
  }
}

// fileColour only on rows y0..y1-1, transparent elsewhere.
inline std::function<int(int, int)> rowsOnly(std::function<int(int, int)> f, int y0, int y1) {
  return [f, y0, y1](int x, int y) { return y >= y0 && y < y1 ? f(x, y) : 0; };
}

// Hands a scene its shared objects and its slot the way the show does.
inline void attach(Scene& scene, const char* slot, AsciiEngine& engine, Music& music) {
  placeInSlot(scene, scheduleSlot(slot), SceneResources{&music, &engine, 16.0f / 9.0f, testTicks});
  scene.keys = &stageKeys();
}

// Puts the manual music at `ms` milliseconds of the song (200 beats per
// minute: beat = ms / 300).
inline void atSongTime(Music& music, uint32_t ms) { music.setManualPosition(ms / 1000.0); }

}  // namespace audit
