#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "psf_font.h"

// The character chart of the text engine: the 256 code-page-437 glyphs at
// 8 x 12 pixels, so that each 8 x 12 cell of the 640 x 600 text picture
// shows its glyph pixel for pixel.
namespace chart {

constexpr int kGlyphWidth = 8;
constexpr int kGlyphHeight = 12;
constexpr int kColumns = 80;  // glyphs per band
constexpr int kBands = 10;
constexpr int kWidth = kColumns * kGlyphWidth;   // 640
constexpr int kHeight = kBands * kGlyphHeight;   // 120

// One glyph: 12 rows from the top, bit 7 = leftmost pixel.
using Glyph = std::array<uint8_t, kGlyphHeight>;

inline bool pixel(const Glyph& g, int x, int y) { return (g[y] >> (7 - x)) & 1; }

// The Unicode code point each code-page-437 glyph shows (0 and 255 blank).
extern const uint16_t kCp437[256];

// Glyphs drawn by rule rather than taken from a font: the blanks (0, 32,
// 255), the shades (176-178), the box-drawing set (179-218), the blocks
// (219-223), the middle dot (250) and the small square (254). Lines sit in column 3 and row 5
// (double lines in columns 2 and 4, rows 4 and 6) and run to the cell edge,
// so neighbouring cells join. False for any other glyph.
bool ruleGlyph(int code, Glyph* out);

// Fits a font glyph of `height` rows (12 or 16) into 12 rows. A 16-row VGA
// glyph (cap height rows 2-11, descenders 12-14) keeps one of its two top
// rows, nine of its ten body rows and two of its three descender rows, so
// its baseline lands on row 9 like the 12-row font; in each group the row
// that differs least from a neighbour goes.
Glyph fitGlyph(const uint8_t* rows, int height);

// All 256 glyphs: rule glyphs first, then the primary 12-row font, then the
// 16-row fallback font. False (with the missing glyphs named in `error`)
// when neither font has one.
bool buildGlyphs(const PsfFont& primary, const PsfFont& fallback,
                 std::array<Glyph, 256>* glyphs, std::string* error);

// The chart picture, RGB, top row first: glyph g (column g % 80, q = g / 80)
// has its foreground mask (white on the glyph's pixels) in band 9 - q and
// its background mask (the inverse) in band 5 - q, bands counted from the
// bottom; bands 1 and 0 stay black.
std::vector<uint8_t> chartImage(const std::array<Glyph, 256>& glyphs);

}  // namespace chart
