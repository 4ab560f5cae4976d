#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/ascii/rawpicture.h"
#include "util/timing/tickclock.h"

class RasterBars;
class Starfield;

// Beats 178..228: raster bars circling a cylinder over a starfield, a wavy
// scroller and then eight name pictures between the back and the front bars;
// at the end the talking face turned by a quarter and zoomed.
class TextRaster : public Scene {
 public:
  static constexpr int kNames = 8;

  TextRaster();
  ~TextRaster() override;

  RawPicture names[kNames];
  std::unique_ptr<RasterBars> bars;
  RawPicture scroller;  // 800 x 50
  std::unique_ptr<Starfield> starfield;
  RawPicture face;

  void init() override;
  void draw(const FrameTime& time) override;

  // The name picture shown at beat b from 204 on (every 2 beats, nick7 at
  // 204); -1 when b gives no valid picture.
  static int nameIndex(float b);

  // Class-wide start ticks: set by the first frame that needs them.
  struct Shared {
    TickClock scrollerStart;
    TickClock zoomStart;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
