#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/flash_measure.h"
#include "util/ascii/reference_renderer.h"

// Which cells must keep to three flashes a second. Flashing more often is
// left alone only well away from any window (a third of the screen wide and
// high) in which more than a fifth of the cells would flash too often, each
// such cell counted with its neighbours: a scaled picture spreads a cell's
// light into the cells around it, and a quarter is the limit. Everything in
// and next to a crowded window is held alike, so that a large flashing area
// is treated as one instead of breaking into speckles.
class FlashArea {
 public:
  static constexpr int kWindowColumns = (AsciiEngine::kColumns + 2) / 3;
  static constexpr int kWindowRows = (AsciiEngine::kRows + 2) / 3;
  static constexpr int kMostPerWindow = kWindowColumns * kWindowRows / 5;

  FlashArea();
  // `tooOften` marks the cells that flash, or would flash, too often.
  void judge(const std::vector<unsigned char>& tooOften);
  bool holds(int cell) const { return held_[static_cast<size_t>(cell)] != 0; }

 private:
  static constexpr int kAcross = AsciiEngine::kColumns - kWindowColumns + 1;
  static constexpr int kDown = AsciiEngine::kRows - kWindowRows + 1;
  std::vector<int> grownSums_, crowdedSums_;  // summed-area tables
  std::vector<unsigned char> held_;
};

// The reduce-flashing mode: sits between the text engine and any renderer
// and holds the screen to at most three general and three red flashes in
// any second on any third of it. Where the scenes' picture flashes too often
// over too much of a window (FlashArea), the flashing part (all of the
// picture when that is most of it) moves on in steps, five a second, so
// that it stays whole and no cell swings more often. A step waits while a flash passes; the flash shows meanwhile as a
// dim pulse: each cell in the colours of its glyph nearest to the flash
// whose light stays within a swing of the step's picture. A cell that would
// still swing once too often gets the same treatment against its budget.
class FlashLimiter : public ScreenRenderer {
 public:
  // `next` gets the limited screens; `atlas` is the chart the renderers
  // draw with, so that the limiter sees each cell's light as they show it.
  FlashLimiter(ScreenRenderer* next, GlyphAtlas atlas);
  ~FlashLimiter() override;

  // One with the show's own character chart from the data archive; a
  // missing or broken chart is fatal, as it is for the renderers.
  static std::unique_ptr<FlashLimiter> forShow(ScreenRenderer* next);

  // Screens presented until the next call are the frame at `milliseconds`
  // (the show's tick count); of several (scenes sharing a frame) only the
  // first is passed on.
  void beginFrame(int64_t milliseconds);
  void present(const AsciiEngine& engine) override;
  // Where the limited screens go from now on.
  void setNext(ScreenRenderer* next) { next_ = next; }

  // Cells whose colours were changed: in the last screen, and in all.
  int changedCells = 0;
  int64_t changedTotal = 0;
  // Later screens of a frame that were not passed on.
  int64_t droppedScreens = 0;
  // Frames in which a stepping part kept the picture of the last step.
  int64_t heldFrames = 0;

  // How a cell's picture looks, averaged over its pixels.
  struct CellLook {
    float luminance;  // relative luminance (linear light)
    float red;        // red level (see redLevel)
    float luma, blueDiff, redDiff;  // sRGB look, for choosing a near colour
  };
  const CellLook& look(int glyph, int fg, int bg, const AsciiEngine& engine);

 private:
  ScreenRenderer* next_;
  struct CellState {
    SwingTracker luminance, red;
  };
  struct CellHistory {
    TransitionLog luminance, red;
    unsigned char stepChars = 0, stepFg = 0, stepBg = 0;  // shown at the last step
    int64_t lastHeld = INT64_MIN / 2;                     // when it was last made to step
    // The cell as the scenes draw it, before any limiting.
    SwingTracker drawnLuminance, drawnRed;
    TransitionLog drawnLuminanceTurns, drawnRedTurns;
  };
  // The trackers and transitions a look would leave a cell with.
  struct Outcome {
    CellState after;
    bool luminanceTurn, redTurn;
  };
  Outcome tryLook(int i, const CellLook& look) const;
  // Whether `o` turns cell i once more than its budget allows.
  bool luminanceBeyond(int i, const Outcome& o) const;
  bool redBeyond(int i, const Outcome& o) const;
  void limitCell(int i, const AsciiEngine& engine);

  GlyphAtlas atlas_;
  FlashArea luminanceArea_, redArea_;
  std::vector<int> luminanceCounts_, redCounts_;  // transitions in the last second
  std::vector<Outcome> wanted_;                    // of each cell's picture as drawn
  std::vector<unsigned char> stepping_;            // cells that move on in steps
  struct GlyphLooks {
    std::array<CellLook, 256> byColours;  // by fg * 16 + bg
    std::vector<unsigned char> distinct;  // one colour pair per different look
  };
  std::vector<std::unique_ptr<GlyphLooks>> looks_;  // per glyph, made when first needed
  std::vector<CellState> state_;
  std::vector<CellHistory> history_;
  AsciiEngine limited_;
  int64_t now_ = 0;
  int64_t lastStep_ = INT64_MIN / 2;  // when a held picture last moved on
  int64_t lastWhole_ = INT64_MIN / 2;  // when most of the screen last stepped
  bool stepNow_ = false;               // stepping cells move on in this frame
  bool flashPassing_ = false;          // the drawn picture is much brighter there
  int presentsThisFrame_ = 0;
};
