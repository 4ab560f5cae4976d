#pragma once

// Puts every class-wide clock, start tick and mode of the effects and scenes
// back to "not started", so each test begins as the show does.
#include "platform/asynckeys.h"
#include "platform/ticks.h"
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

inline void resetClasswideState() {
  Rotozoom::clockStarted = false;
  Rotozoom::clock = 0;
  Starfield::clockStarted = false;
  Starfield::clock = 0;
  FireEffect::clock = TickClock{};
  FireEffect::shadedClock = TickClock{};
  TextTalkingV::spinStart = TickClock{};
  TextTalkingV::pulseStart = TickClock{};
  TextDance::spinStart = TickClock{};
  TextDance::pulseStart = TickClock{};
  TextDance::zoomStart = TickClock{};
  RasterBars::clock = TickClock{};
  Plasma::clock = TickClock{};
  FallingBlocks::clock = TickClock{};
  ParticleFountain::clock = TickClock{};
  ParticleFountain::pointCount = 0;
  TextRaster::scrollerStart = TickClock{};
  TextRaster::zoomStart = TickClock{};
  TextEnding::analyserClock = TickClock{};
  TextEnding::waveStart = TickClock{};
  TextEnding::fallbackStart = TickClock{};
  TextSnake::interactionMode = TextSnake::kTitle;
  TextSnake::stepClock = TickClock{};
  TextSnake::titleStart = TickClock{};
}
