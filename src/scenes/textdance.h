#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/timing/tickclock.h"
#include "util/ascii/rawpicture.h"

class Rotozoom;

// A figure dancing in four poses on the beat over a rotozoom that flashes
// white and later flips with the beat; then the figure spins ever faster,
// and four air-horn pictures pulse and zoom on the half beats.
class TextDance : public Scene {
 public:
  TextDance();
  ~TextDance() override;

  std::unique_ptr<Rotozoom> rotozoom;
  RawPicture dance[4];
  RawPicture horn[4];

  // First ticks of the spin, the pulse and the zoom; set once per show.
  struct Shared {
    TickClock spinStart;
    TickClock pulseStart;
    TickClock zoomStart;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

  void init() override;
  void draw(const FrameTime& time) override;
  // One frame at beat position b.
  void drawFrame(float b, uint32_t now);
};
