#pragma once

#include "scenes/scene.h"
#include "util/timing/tickclock.h"
#include "util/ascii/rawpicture.h"

// The title KESTRUNE as a column of big letters swaying in a wave over a
// shaded wall under three wandering light spots; the face picture over
// them shows, spins, turns sideways and pulses.
class TextTalkingV : public Scene {
 public:
  static constexpr char kTitle[] = "KESTRUNE";

  TextTalkingV();

  RawPicture letters[8];
  RawPicture wall;
  RawPicture face;

  // First ticks of the spin and the pulse; set once per show.
  struct Shared {
    TickClock spinStart;
    TickClock pulseStart;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

  void init() override;
  void draw(const FrameTime& time) override;
  // One frame at beat position b and tick count now.
  void drawFrame(float b, uint32_t now);

  // Raises the colour byte (background * 16 + foreground) of every cell
  // within the three spots' diamonds by one; characters stay.
  void drawSpots(uint32_t now);
};
