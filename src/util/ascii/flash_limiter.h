#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/flash_measure.h"
#include "util/ascii/reference_renderer.h"

// Which cells may flash more than three times a second: as many as leave
// every window a third of the screen wide and high at most a fifth covered
// by such cells (a quarter is the limit; the rest is margin).
class FlashArea {
 public:
  static constexpr int kWindowColumns = (AsciiEngine::kColumns + 2) / 3;
  static constexpr int kWindowRows = (AsciiEngine::kRows + 2) / 3;
  static constexpr int kMostPerWindow = kWindowColumns * kWindowRows / 5;

  FlashArea();
  // `overLimit` marks the cells already flashing too often in the last second.
  void startFrame(const std::vector<unsigned char>& overLimit);
  // Whether cell i may flash too often (it does already, or there is room).
  bool allows(int cell) const;
  // Cell i now flashes too often.
  void take(int cell);

 private:
  static constexpr int kAcross = AsciiEngine::kColumns - kWindowColumns + 1;
  static constexpr int kDown = AsciiEngine::kRows - kWindowRows + 1;
  std::vector<int> windows_;  // cells flashing too often in each window
  std::vector<unsigned char> over_;
};

// The reduce-flashing mode: sits between the text engine and any renderer
// and holds the screen to at most three general and three red flashes in
// any second on any third of it. A cell keeps its picture until a swing
// would be one too many where too much of the screen flashes already; then
// only that cell's colours change, to the pair (same glyph) nearest in look
// whose light stays within the swing, or the cell keeps what it showed last.
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
  // (the show's tick count); several of them (scenes sharing a frame) are
  // each limited against the frames before.
  void beginFrame(int64_t milliseconds);
  void present(const AsciiEngine& engine) override;

  ScreenRenderer* next;
  // Cells whose colours were changed: in the last screen, and in all.
  int changedCells = 0;
  int64_t changedTotal = 0;

  // How a cell's picture looks, averaged over its pixels.
  struct CellLook {
    float luminance;  // relative luminance (linear light)
    float red;        // red level (see redLevel)
    float luma, blueDiff, redDiff;  // sRGB look, for choosing a near colour
  };
  const CellLook& look(int glyph, int fg, int bg, const AsciiEngine& engine);

 private:
  struct CellState {
    SwingTracker luminance, red;
  };
  struct CellHistory {
    TransitionLog luminance, red;
    unsigned char chars = 0, fg = 0, bg = 0;  // shown last
  };
  void limitCell(int i, const AsciiEngine& engine);

  GlyphAtlas atlas_;
  FlashArea luminanceArea_, redArea_;
  std::vector<int> order_;  // cells in a scattered order, so that a flash
                            // thinned out by the area rule is thinned evenly
  std::vector<int> luminanceCounts_, redCounts_;
  struct GlyphLooks {
    std::array<CellLook, 256> byColours;  // by fg * 16 + bg
    std::vector<unsigned char> distinct;  // one colour pair per different look
  };
  std::vector<std::unique_ptr<GlyphLooks>> looks_;  // per glyph, made when first needed
  std::vector<CellState> state_, before_;
  std::vector<CellHistory> history_;
  AsciiEngine limited_;
  int64_t now_ = 0;
  int presentsThisFrame_ = 0;
};
