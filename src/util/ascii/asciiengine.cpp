#include "util/ascii/asciiengine.h"

#include <cstring>

#include "util/ascii/banners.h"
#include "util/ascii/letterbox.h"

namespace {

// Red, green, blue, alpha of the 16 CGA colours. Bit 0 is blue, bit 1 green,
// bit 2 red, bit 3 brightness; colour 6 is a plain dark yellow.
const float kPalette[16][4] = {
    {0.0f, 0.0f, 0.0f, 1.0f},    {0.0f, 0.0f, 0.5f, 1.0f},    {0.0f, 0.5f, 0.0f, 1.0f},
    {0.0f, 0.5f, 0.5f, 1.0f},    {0.5f, 0.0f, 0.0f, 1.0f},    {0.5f, 0.0f, 0.5f, 1.0f},
    {0.5f, 0.5f, 0.0f, 1.0f},    {0.75f, 0.75f, 0.75f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f},
    {0.0f, 0.0f, 1.0f, 1.0f},    {0.0f, 1.0f, 0.0f, 1.0f},    {0.0f, 1.0f, 1.0f, 1.0f},
    {1.0f, 0.0f, 0.0f, 1.0f},    {1.0f, 0.0f, 1.0f, 1.0f},    {1.0f, 1.0f, 0.0f, 1.0f},
    {1.0f, 1.0f, 1.0f, 1.0f},
};

}  // namespace

GlyphRect glyphRect(int glyph) {
  const int column = glyph % 80;
  const int q = glyph / 80;
  GlyphRect rect;
  rect.u0 = column * 0.0125f;
  rect.u1 = column * 0.0125f + 0.0125f;
  rect.fgV0 = (9 - q) * 0.1f;
  rect.fgV1 = (10 - q) * 0.1f;
  rect.bgV0 = (5 - q) * 0.1f;
  rect.bgV1 = (6 - q) * 0.1f;
  return rect;
}

AsciiEngine::AsciiEngine(ScreenRenderer* screenRenderer)
    : renderer_(screenRenderer), state_(std::make_shared<ShowState>()) {
  clear();
  std::memcpy(palette, kPalette, sizeof palette);
  viewX = viewY = viewWidth = viewHeight = 1;
  for (int i = 0; i < 4; ++i) banners[i] = banner_lines[i];
}

void AsciiEngine::clear() { std::memset(chars, 0, 3 * kCells); }

void AsciiEngine::fillWhite() {
  std::memset(chars, kFullBlock, kCells);
  std::memset(fg, 15, kCells);
  std::memset(bg, 15, kCells);
}

void AsciiEngine::setCell(int column, int row, int character, int foreground, int background) {
  // Unsigned comparison drops negative positions as well.
  if (static_cast<unsigned>(column) >= static_cast<unsigned>(kColumns) ||
      static_cast<unsigned>(row) >= static_cast<unsigned>(kRows)) {
    return;
  }
  const int i = row * kColumns + column;
  chars[i] = static_cast<unsigned char>(character);
  fg[i] = static_cast<unsigned char>(foreground);
  bg[i] = static_cast<unsigned char>(background);
}

void AsciiEngine::drawBanner(const char* const* lines) {
  for (int r = 0; r < kRows; ++r) {
    const char* line = lines[r];
    for (int c = 0; c < kColumns; ++c) {
      if (line[c] != ' ') setCell(c, r, static_cast<unsigned char>(line[c]), 15, 4);
    }
  }
}

void AsciiEngine::setViewport(int width, int height, float aspect) {
  const Letterbox box = computeLetterbox(width, height, aspect);
  viewX = box.x;
  viewY = box.y;
  viewWidth = box.width;
  viewHeight = box.height;
}

const float* AsciiEngine::colour(int index) const { return palette[index & 15]; }

void AsciiEngine::present() {
  if (renderer_ != nullptr) renderer_->present(*this);
}
