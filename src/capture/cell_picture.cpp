#include "capture/cell_picture.h"

#include <cstring>

#include "capture/yuv420.h"

namespace {

constexpr int kCellWidth = GlyphAtlas::kCellWidth;
constexpr int kCellHeight = GlyphAtlas::kCellHeight;
constexpr size_t kPixels = static_cast<size_t>(AsciiEngine::kTargetWidth) * AsciiEngine::kTargetHeight;

// 0 or 1 for a black or white texel; -1 for any other.
int twoToneBit(const unsigned char* texel) {
  if (texel[0] != texel[1] || texel[1] != texel[2]) return -1;
  return texel[0] == 0 ? 0 : texel[0] == 255 ? 1 : -1;
}

}  // namespace

CellPicture::CellPicture(GlyphAtlas atlas, bool converts) : atlas_(std::move(atlas)), converts_(converts) {
  std::vector<uint8_t> codes(256 * kCellHeight * kCellWidth);
  for (int glyph = 0; glyph < 256; ++glyph)
    for (int y = 0; y < kCellHeight; ++y)
      for (int x = 0; x < kCellWidth; ++x) {
        const int bg = twoToneBit(atlas_.background(glyph, x, y));
        const int fg = twoToneBit(atlas_.foreground(glyph, x, y));
        if (bg < 0 || fg < 0) return;
        codes[(static_cast<size_t>(glyph) * kCellHeight + y) * kCellWidth + x] = static_cast<uint8_t>(bg | fg << 1);
      }
  twoTone_ = std::move(codes);
}

void CellPicture::present(const AsciiEngine& engine) {
  if (target_ == nullptr) return;
  if (!twoTone_.empty()) {
    presentTwoTone(engine);
  } else {
    renderReferenceBgra(engine, atlas_, target_);
    if (converts_) bgraToYuvPixels(target_, kPixels, target_);
  }
  drawn_ = true;
}

void CellPicture::presentTwoTone(const AsciiEngine& engine) {
  // The four pixels of every pair of palette colours, in the output's form.
  uint8_t palette[16][3];
  for (int p = 0; p < 16; ++p)
    for (int c = 0; c < 3; ++c) palette[p][c] = static_cast<uint8_t>(maskedLevel(engine.colour(p)[c], 255));
  uint32_t pixels[16][16][4];
  for (int bg = 0; bg < 16; ++bg)
    for (int fg = 0; fg < 16; ++fg)
      for (int code = 0; code < 4; ++code) {
        uint8_t bgra[4] = {0, 0, 0, 255};
        for (int c = 0; c < 3; ++c) {
          const int sum = ((code & 1) ? palette[bg][c] : 0) + ((code & 2) ? palette[fg][c] : 0);
          bgra[2 - c] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
        }
        if (converts_) bgraPixelToYuv(bgra, bgra);
        std::memcpy(&pixels[bg][fg][code], bgra, 4);
      }
  const int width = AsciiEngine::kTargetWidth;
  for (int r = 0; r < AsciiEngine::kRows; ++r) {
    const int cellBottom = (AsciiEngine::kRows - 1 - r) * kCellHeight;
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int i = r * AsciiEngine::kColumns + x;
      const uint32_t* cell = pixels[engine.bg[i] & 15][engine.fg[i] & 15];
      const uint8_t* codes = &twoTone_[static_cast<size_t>(engine.chars[i]) * kCellHeight * kCellWidth];
      for (int py = 0; py < kCellHeight; ++py, codes += kCellWidth) {
        uint32_t row[kCellWidth];
        for (int px = 0; px < kCellWidth; ++px) row[px] = cell[codes[px]];
        std::memcpy(target_ + (static_cast<size_t>(cellBottom + py) * width + x * kCellWidth) * 4, row, sizeof row);
      }
    }
  }
}

void CellPicture::finishFrame() {
  if (target_ == nullptr) return;
  if (!drawn_) {
    std::memset(target_, 0, kPixels * 4);
    if (converts_) bgraToYuvPixels(target_, kPixels, target_);
  }
  target_ = nullptr;
}
