#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"

// The text screen as it stood when a scene presented it.
struct ScreenCells {
  unsigned char chars[AsciiEngine::kCells];
  unsigned char fg[AsciiEngine::kCells];
  unsigned char bg[AsciiEngine::kCells];

  void copyFrom(const AsciiEngine& engine);
};

// How the terminal tells colours apart: the 16 ANSI colours (in CGA order,
// bright backgrounds included), the 256 of xterm's palette (the show's
// colours from its cube and grey ramp, whatever theme the 16 have), or
// 24-bit RGB.
enum class ColourMode { Ansi16, Ansi256, TrueColour };

struct TerminalSize {
  int columns = 0;
  int rows = 0;
  bool operator==(const TerminalSize& o) const { return columns == o.columns && rows == o.rows; }
  bool operator!=(const TerminalSize& o) const { return !(*this == o); }
};

// How the 80 x 50 screen fits a terminal of a given size.
struct ScreenLayout {
  enum Kind {
    Full,     // one character cell per text cell
    Reduced,  // one half-block character per two text cells one above the other
    Message,  // too small for a picture: one line saying so
  };
  Kind kind = Message;
  int columns = 0;  // picture size in character cells
  int rows = 0;
  int left = 0;  // top-left corner in the terminal, 0-based
  int top = 0;
};

// Full from 80 x 50 on, centred; the reduced picture down to 40 x 13
// (beyond 80 x 25 it drops text rows or columns, evenly spread); below that
// the message.
ScreenLayout layoutFor(TerminalSize size);

// How much of its cell each glyph covers (0 to 255), counted on the
// chart's foreground masks as the renderer samples them.
std::array<uint8_t, 256> glyphInk(const ChartPixels& chart);

// The one line shown when not even the reduced picture fits, cut to the
// terminal's width.
std::string tooSmallMessage(TerminalSize size);

// Turns the text screen into the bytes that bring a terminal from what it
// showed after the previous compose() to the new picture: only the cells
// that changed, a colour code only where the colour changes, the cursor
// moved only past unchanged cells. It keeps track of what the terminal
// shows, so frames that are never written must not be composed.
class AnsiScreen {
 public:
  // `ink[g]`: how much of a cell glyph g covers with its foreground colour,
  // 0 to 255 (a reduced picture mixes or picks a cell's colours by it).
  AnsiScreen(ColourMode mode, const std::array<uint8_t, 256>& ink);

  // Appends to `out` what shows `cells` on a terminal of `size`. A new size
  // (or the first call, or one after invalidate()) clears the terminal and
  // draws everything. With a `budget`, it stops once about that many bytes
  // are appended and returns false: the cells left out go with the next
  // call, which starts where this one stopped, so every part of the
  // picture gets its turn.
  bool compose(const ScreenCells& cells, TerminalSize size, std::string* out, size_t budget = SIZE_MAX);
  // Forgets what the terminal shows: the next compose() redraws all of it.
  void invalidate() { valid_ = false; }

  ColourMode mode() const { return mode_; }

 private:
  // One character cell as the terminal shows it. Colours are palette
  // indices (Ansi16) or 0xRRGGBB; kUnseen marks a colour that no pixel of
  // the cell shows.
  struct Cell {
    const char* glyph;
    uint32_t fg;
    uint32_t bg;
    bool operator==(const Cell& o) const { return glyph == o.glyph && fg == o.fg && bg == o.bg; }
  };
  static constexpr uint32_t kUnseen = 0xFFFFFFFFu;

  void buildTarget(const ScreenCells& cells);
  Cell fullCell(const ScreenCells& cells, int index) const;
  uint32_t paletteColour(int index) const;
  uint32_t cellColour(const ScreenCells& cells, int index) const;
  bool emitCells(std::string* out, size_t limit);
  void moveTo(int column, int row, std::string* out);
  void setColours(const Cell& cell, std::string* out);

  ColourMode mode_;
  std::array<uint8_t, 256> ink_;
  std::array<uint32_t, 16> palette_;  // the show's colours as this mode writes them
  bool valid_ = false;
  TerminalSize size_;
  ScreenLayout layout_;
  int resume_ = 0;  // the cell a budgeted compose() stopped at
  std::vector<Cell> target_;
  std::vector<Cell> shown_;
  // Where the next character lands (-1: not known) and the colours in force.
  int cursorColumn_ = -1;
  int cursorRow_ = -1;
  uint32_t currentFg_ = kUnseen;
  uint32_t currentBg_ = kUnseen;
};
