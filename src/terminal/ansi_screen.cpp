#include "terminal/ansi_screen.h"

#include <cmath>
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

bool isBlank(int glyph) { return glyph == 0 || glyph == 32 || glyph == 255; }

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

ColourMode colourModeFromEnvironment(const char* colorterm) {
  if (colorterm && (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
    return ColourMode::TrueColour;
  return ColourMode::Ansi16;
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

AnsiScreen::AnsiScreen(ColourMode mode, const std::array<uint8_t, 256>& ink) : mode_(mode), ink_(ink) {}

uint32_t AnsiScreen::paletteColour(int index) const {
  index &= 15;
  if (mode_ == ColourMode::Ansi16) return static_cast<uint32_t>(index);
  const unsigned char* rgb = kPaletteRgb[index];
  return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
}

AnsiScreen::Cell AnsiScreen::fullCell(const ScreenCells& cells, int index) const {
  const int glyph = cells.chars[index];
  Cell cell{kCp437Utf8[isBlank(glyph) ? 32 : glyph], paletteColour(cells.fg[index]), paletteColour(cells.bg[index])};
  // A colour nobody sees must not cost a colour code.
  if (ink_[glyph] == 0) cell.fg = kUnseen;
  if (ink_[glyph] == 255) cell.bg = kUnseen;
  return cell;
}

// The one colour a text cell shows from afar: its two colours mixed by how
// much of it the glyph covers, or with 16 colours the one covering more.
uint32_t AnsiScreen::cellColour(const ScreenCells& cells, int index) const {
  const int glyph = cells.chars[index];
  const int ink = ink_[glyph];
  if (mode_ == ColourMode::Ansi16) return paletteColour(ink >= 128 ? cells.fg[index] : cells.bg[index]);
  const unsigned char* fg = kPaletteRgb[cells.fg[index] & 15];
  const unsigned char* bg = kPaletteRgb[cells.bg[index] & 15];
  uint32_t colour = 0;
  for (int k = 0; k < 3; ++k) {
    const int mixed = (fg[k] * ink + bg[k] * (255 - ink) + 127) / 255;
    colour = (colour << 8) | static_cast<uint32_t>(mixed);
  }
  return colour;
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
  if (mode_ == ColourMode::Ansi16) {
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

void AnsiScreen::emitCells(std::string* out) {
  for (int row = 0; row < layout_.rows; ++row) {
    for (int column = 0; column < layout_.columns; ++column) {
      const int i = row * layout_.columns + column;
      const Cell& cell = target_[i];
      Cell& shown = shown_[i];
      if (shown.glyph == cell.glyph && (cell.fg == kUnseen || shown.fg == cell.fg) &&
          (cell.bg == kUnseen || shown.bg == cell.bg))
        continue;
      moveTo(layout_.left + column, layout_.top + row, out);
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
}

void AnsiScreen::compose(const ScreenCells& cells, TerminalSize size, std::string* out) {
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
      return;
    }
  }
  if (layout_.kind == ScreenLayout::Message) return;
  buildTarget(cells);
  emitCells(out);
}
