#include "terminal/ansi_screen.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "util/ascii/cp437.h"

namespace {

constexpr int kColumns = AsciiEngine::kColumns;
constexpr int kRows = AsciiEngine::kRows;
constexpr int kReducedRows = kRows / 2;
constexpr int kSmallestColumns = kColumns / 2;
constexpr int kSmallestRows = (kReducedRows + 1) / 2;
constexpr int kUpperHalfBlock = 223;
constexpr uint32_t kUnknown = 0xFFFFFFFEu;  // a colour the terminal may hold

const unsigned char kPaletteRgb[16][3] = {
    {0, 0, 0},     {0, 0, 128},   {0, 128, 0},   {0, 128, 128},   {128, 0, 0},     {128, 0, 128},
    {128, 128, 0}, {191, 191, 191}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},   {255, 0, 255}, {255, 255, 0}, {255, 255, 255},
};

// ANSI numbers its colours red = 1, green = 2, blue = 4; CGA the other way round.
int ansiColour(uint32_t cga) { return ((cga & 1) << 2) | (cga & 2) | ((cga & 4) >> 2); }

// The blank, as the chart's own glyph 32 (a function: the chart is another
// module's array, so a copy of its entry would be made at start-up).
const char* space() { return kCp437Utf8[32]; }

// The nearest colour of xterm's 256: its 6 x 6 x 6 cube (levels 0, 95,
// 135, 175, 215, 255) or its grey ramp (8 to 238 by 10).
uint32_t nearest256(int r, int g, int b) {
  const auto level = [](int v) { return v < 48 ? 0 : v < 115 ? 1 : (v - 35) / 40; };
  const auto value = [](int l) { return l == 0 ? 0 : 55 + 40 * l; };
  const auto distance = [&](int cr, int cg, int cb) {
    return (r - cr) * (r - cr) + (g - cg) * (g - cg) + (b - cb) * (b - cb);
  };
  const int lr = level(r), lg = level(g), lb = level(b);
  const int cube = distance(value(lr), value(lg), value(lb));
  int grey = ((r + g + b) / 3 - 3) / 10;
  grey = grey < 0 ? 0 : grey > 23 ? 23 : grey;
  const int greyValue = 8 + 10 * grey;
  if (distance(greyValue, greyValue, greyValue) < cube) return static_cast<uint32_t>(232 + grey);
  return static_cast<uint32_t>(16 + 36 * lr + 6 * lg + lb);
}

void appendNumber(unsigned value, std::string* out) {
  char digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value);
  while (n) out->push_back(digits[--n]);
}

}  // namespace

void ScreenCells::copyFrom(const AsciiEngine& engine) {
  std::memcpy(chars, engine.chars, sizeof chars);
  std::memcpy(fg, engine.fg, sizeof fg);
  std::memcpy(bg, engine.bg, sizeof bg);
}

ScreenLayout layoutFor(TerminalSize size) {
  ScreenLayout layout;
  if (size.columns >= kColumns && size.rows >= kRows) {
    layout.kind = ScreenLayout::Full;
    layout.columns = kColumns;
    layout.rows = kRows;
  } else if (size.columns >= kSmallestColumns && size.rows >= kSmallestRows) {
    layout.kind = ScreenLayout::Reduced;
    layout.columns = size.columns < kColumns ? size.columns : kColumns;
    layout.rows = size.rows < kReducedRows ? size.rows : kReducedRows;
  } else {
    return layout;
  }
  layout.left = (size.columns - layout.columns) / 2;
  layout.top = (size.rows - layout.rows) / 2;
  return layout;
}

std::array<uint8_t, 256> glyphInk(const ChartPixels& chart) {
  const GlyphAtlas atlas = buildGlyphAtlas(chart);
  constexpr int kPixels = GlyphAtlas::kCellWidth * GlyphAtlas::kCellHeight;
  std::array<uint8_t, 256> ink{};
  for (int glyph = 0; glyph < 256; ++glyph) {
    int set = 0;
    for (int y = 0; y < GlyphAtlas::kCellHeight; ++y)
      for (int x = 0; x < GlyphAtlas::kCellWidth; ++x) set += atlas.foreground(glyph, x, y)[0] >= 128;
    ink[glyph] = static_cast<uint8_t>((set * 255 + kPixels / 2) / kPixels);
  }
  return ink;
}

std::string tooSmallMessage(TerminalSize size) {
  const std::string found = std::to_string(size.columns) + " x " + std::to_string(size.rows);
  std::string text = "Kestrune needs a terminal of 80 x 50 (80 x 25 for a smaller picture); this one is " +
                     found + ".";
  if (static_cast<int>(text.size()) > size.columns) text = "Terminal too small: 80 x 25 needed, " + found + ".";
  if (static_cast<int>(text.size()) > size.columns) text = "80x25 needed, " + found;
  if (size.columns >= 0 && static_cast<int>(text.size()) > size.columns) text.resize(size.columns);
  return text;
}

AnsiScreen::AnsiScreen(ColourMode mode, const std::array<uint8_t, 256>& ink) : mode_(mode), ink_(ink) {
  for (int index = 0; index < 16; ++index) {
    const unsigned char* rgb = kPaletteRgb[index];
    if (mode_ == ColourMode::Ansi16) palette_[index] = static_cast<uint32_t>(index);
    else if (mode_ == ColourMode::Ansi256) palette_[index] = nearest256(rgb[0], rgb[1], rgb[2]);
    else palette_[index] = (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
  }
}

uint32_t AnsiScreen::paletteColour(int index) const { return palette_[index & 15]; }

// A cell of one colour goes out as a space on that background: a block
// glyph rarely fills its cell exactly in a scalable font, and the
// background would show as a seam around it.
AnsiScreen::Cell AnsiScreen::fullCell(const ScreenCells& cells, int index) const {
  const int glyph = cells.chars[index];
  const uint32_t fg = paletteColour(cells.fg[index]);
  const uint32_t bg = paletteColour(cells.bg[index]);
  if (ink_[glyph] == 255) return Cell{space(), kUnseen, fg};
  if (ink_[glyph] == 0 || fg == bg) return Cell{space(), kUnseen, bg};
  return Cell{kCp437Utf8[glyph], fg, bg};
}

// The one colour a text cell shows from afar: its two colours mixed by how
// much of it the glyph covers, or with 16 colours the one covering more.
uint32_t AnsiScreen::cellColour(const ScreenCells& cells, int index) const {
  const int glyph = cells.chars[index];
  const int ink = ink_[glyph];
  if (mode_ == ColourMode::Ansi16) return paletteColour(ink >= 128 ? cells.fg[index] : cells.bg[index]);
  const unsigned char* fg = kPaletteRgb[cells.fg[index] & 15];
  const unsigned char* bg = kPaletteRgb[cells.bg[index] & 15];
  int mixed[3];
  for (int k = 0; k < 3; ++k) mixed[k] = (fg[k] * ink + bg[k] * (255 - ink) + 127) / 255;
  if (mode_ == ColourMode::Ansi256) return nearest256(mixed[0], mixed[1], mixed[2]);
  return (uint32_t(mixed[0]) << 16) | (uint32_t(mixed[1]) << 8) | uint32_t(mixed[2]);
}

void AnsiScreen::buildTarget(const ScreenCells& cells) {
  const int count = layout_.columns * layout_.rows;
  target_.resize(count);
  if (layout_.kind == ScreenLayout::Full) {
    for (int i = 0; i < count; ++i) target_[i] = fullCell(cells, i);
    return;
  }
  // Reduced: each line holds two text rows, the upper half block in the
  // upper one's colour over the lower one's. A smaller terminal drops rows
  // and columns evenly (the nearest text cell to each half's centre).
  const int halves = 2 * layout_.rows;
  for (int line = 0; line < layout_.rows; ++line) {
    const int upper = (2 * (2 * line) + 1) * kRows / (2 * halves);
    const int lower = (2 * (2 * line + 1) + 1) * kRows / (2 * halves);
    for (int column = 0; column < layout_.columns; ++column) {
      const int source = (2 * column + 1) * kColumns / (2 * layout_.columns);
      Cell& cell = target_[line * layout_.columns + column];
      cell.glyph = kCp437Utf8[kUpperHalfBlock];
      cell.fg = cellColour(cells, upper * kColumns + source);
      cell.bg = cellColour(cells, lower * kColumns + source);
      if (cell.fg == cell.bg) cell = Cell{space(), kUnseen, cell.bg};
    }
  }
}

void AnsiScreen::moveTo(int column, int row, std::string* out) {
  if (row == cursorRow_ && column == cursorColumn_) return;
  if (row == cursorRow_ && column > cursorColumn_ && cursorColumn_ >= 0) {
    out->append("\x1b[");
    appendNumber(static_cast<unsigned>(column - cursorColumn_), out);
    out->push_back('C');
  } else {
    out->append("\x1b[");
    appendNumber(static_cast<unsigned>(row + 1), out);
    out->push_back(';');
    appendNumber(static_cast<unsigned>(column + 1), out);
    out->push_back('H');
  }
  cursorColumn_ = column;
  cursorRow_ = row;
}

void AnsiScreen::setColours(const Cell& cell, std::string* out) {
  const bool fgChanges = cell.fg != kUnseen && cell.fg != currentFg_;
  const bool bgChanges = cell.bg != kUnseen && cell.bg != currentBg_;
  if (!fgChanges && !bgChanges) return;
  out->append("\x1b[");
  if (mode_ == ColourMode::Ansi256) {
    const auto indexed = [out](const char* lead, uint32_t colour) {
      out->append(lead);
      appendNumber(colour, out);
    };
    if (fgChanges) indexed("38;5;", cell.fg);
    if (fgChanges && bgChanges) out->push_back(';');
    if (bgChanges) indexed("48;5;", cell.bg);
  } else if (mode_ == ColourMode::Ansi16) {
    if (fgChanges) appendNumber((cell.fg & 8 ? 90 : 30) + ansiColour(cell.fg), out);
    if (fgChanges && bgChanges) out->push_back(';');
    if (bgChanges) appendNumber((cell.bg & 8 ? 100 : 40) + ansiColour(cell.bg), out);
  } else {
    const auto rgb = [out](const char* lead, uint32_t colour) {
      out->append(lead);
      appendNumber(colour >> 16, out);
      out->push_back(';');
      appendNumber((colour >> 8) & 0xFF, out);
      out->push_back(';');
      appendNumber(colour & 0xFF, out);
    };
    if (fgChanges) rgb("38;2;", cell.fg);
    if (fgChanges && bgChanges) out->push_back(';');
    if (bgChanges) rgb("48;2;", cell.bg);
  }
  out->push_back('m');
  if (fgChanges) currentFg_ = cell.fg;
  if (bgChanges) currentBg_ = cell.bg;
}

bool AnsiScreen::emitCells(std::string* out, size_t limit) {
  const int count = layout_.columns * layout_.rows;
  if (resume_ >= count) resume_ = 0;
  // From where the last budgeted call stopped to the end, then the rest.
  const int from[2] = {resume_, 0};
  const int to[2] = {count, resume_};
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = from[pass]; i < to[pass]; ++i) {
      const Cell& cell = target_[i];
      Cell& shown = shown_[i];
      if (shown.glyph == cell.glyph && (cell.fg == kUnseen || shown.fg == cell.fg) &&
          (cell.bg == kUnseen || shown.bg == cell.bg))
        continue;
      if (out->size() >= limit) {
        resume_ = i;
        return false;
      }
      moveTo(layout_.left + i % layout_.columns, layout_.top + i / layout_.columns, out);
      setColours(cell, out);
      out->append(cell.glyph);
      shown.glyph = cell.glyph;
      // An unseen colour is still whatever the cell was written with.
      shown.fg = currentFg_;
      shown.bg = currentBg_;
      // Line wrap is off: at the right edge the cursor stays put.
      if (++cursorColumn_ >= size_.columns) cursorColumn_ = -1;
    }
  }
  return true;
}

bool AnsiScreen::compose(const ScreenCells& cells, TerminalSize size, std::string* out, size_t budget) {
  const size_t limit = budget > SIZE_MAX - out->size() ? SIZE_MAX : out->size() + budget;
  if (!valid_ || size != size_) {
    size_ = size;
    layout_ = layoutFor(size);
    // Reset colours and clear: the margins take the terminal's own background.
    out->append("\x1b[0m\x1b[2J");
    currentFg_ = currentBg_ = kUnknown;
    cursorColumn_ = cursorRow_ = -1;
    shown_.assign(static_cast<size_t>(layout_.columns) * layout_.rows, Cell{nullptr, kUnknown, kUnknown});
    valid_ = true;
    if (layout_.kind == ScreenLayout::Message) {
      const std::string text = tooSmallMessage(size);
      moveTo((size.columns - static_cast<int>(text.size())) / 2, size.rows > 1 ? size.rows / 2 : 0, out);
      out->append(text);
      cursorColumn_ = -1;
      return true;
    }
  }
  if (layout_.kind == ScreenLayout::Message) return true;
  buildTarget(cells);
  return emitCells(out, limit);
}
