#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "chart.h"
#include "psf_font.h"

namespace {

using chart::Glyph;
using chart::pixel;

Glyph rule(int code) {
  Glyph g{};
  EXPECT_TRUE(chart::ruleGlyph(code, &g)) << code;
  return g;
}

int count(const Glyph& g) {
  int n = 0;
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 8; ++x) n += pixel(g, x, y);
  }
  return n;
}

// What touches one edge of a cell: '-' nothing, 's' a single line at the
// middle, 'd' a double line; anything else is 'x' (a broken join).
char edge(const Glyph& g, bool vertical, int at) {
  std::set<int> on;
  for (int i = 0; i < (vertical ? 8 : 12); ++i) {
    if (vertical ? pixel(g, i, at) : pixel(g, at, i)) on.insert(i);
  }
  if (on.empty()) return '-';
  if (on == std::set<int>{vertical ? 3 : 5}) return 's';
  if (on == (vertical ? std::set<int>{2, 4} : std::set<int>{4, 6})) return 'd';
  return 'x';
}

TEST(ChartTest, BoxDrawingGlyphsReachTheEdgesWhereTheirLinesGo) {
  // Up, down, left, right for 179..218, from the code page's drawings.
  const char* arms[40] = {
      "ss--", "sss-", "ssd-", "dds-", "-ds-", "-sd-", "ddd-", "dd--", "-dd-", "d-d-",
      "d-s-", "s-d-", "-ss-", "s--s", "s-ss", "-sss", "ss-s", "--ss", "ssss", "ss-d",
      "dd-s", "d--d", "-d-d", "d-dd", "-ddd", "dd-d", "--dd", "dddd", "s-dd", "d-ss",
      "-sdd", "-dss", "d--s", "s--d", "-s-d", "-d-s", "ddss", "ssdd", "s-s-", "-s-s"};
  for (int code = 179; code <= 218; ++code) {
    const Glyph g = rule(code);
    const std::string got = {edge(g, true, 0), edge(g, true, 11), edge(g, false, 0), edge(g, false, 7)};
    EXPECT_EQ(got, arms[code - 179]) << "glyph " << code;
    // Lines stay on their tracks: nothing outside columns 2-4 / rows 4-6
    // except the arms themselves.
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 8; ++x) {
        if (pixel(g, x, y)) {
          EXPECT_TRUE((x >= 2 && x <= 4) || (y >= 4 && y <= 6)) << code << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(ChartTest, BlocksAndShadesFillTheirShareOfTheCellAndTile) {
  EXPECT_EQ(count(rule(219)), 96);
  const Glyph lower = rule(220), left = rule(221), right = rule(222), upper = rule(223);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(pixel(lower, x, y), y >= 6);
      EXPECT_EQ(pixel(upper, x, y), y < 6);
      EXPECT_EQ(pixel(left, x, y), x < 4);
      EXPECT_EQ(pixel(right, x, y), x >= 4);
    }
  }
  const int expected[3] = {32, 48, 72};
  // Each pattern repeats within steps that divide the cell, so cells side by
  // side and stacked continue it without a seam.
  const int across[3] = {4, 2, 4}, down[3] = {6, 2, 2};
  for (int code = 176; code <= 178; ++code) {
    const Glyph g = rule(code);
    EXPECT_EQ(count(g), expected[code - 176]) << code;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(pixel(g, x, y), pixel(g, (x + across[code - 176]) % 8, y)) << code;
        EXPECT_EQ(pixel(g, x, y), pixel(g, x, (y + down[code - 176]) % 12)) << code;
      }
    }
  }
  // The light shade's pixels come in dots, not alone: a lone pixel fades to
  // a dim wash when the picture is scaled.
  const Glyph light = rule(176);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 8; ++x) {
      if (!pixel(light, x, y)) continue;
      const bool across = pixel(light, (x + 1) % 8, y) || pixel(light, (x + 7) % 8, y);
      const bool down = pixel(light, x, (y + 1) % 12) || pixel(light, x, (y + 11) % 12);
      EXPECT_TRUE(across && down) << x << "," << y;
    }
  }
  for (int blank : {0, 32, 255}) EXPECT_EQ(count(rule(blank)), 0) << blank;
  Glyph g;
  EXPECT_FALSE(chart::ruleGlyph('A', &g));
  EXPECT_FALSE(chart::ruleGlyph(175, &g));
  EXPECT_FALSE(chart::ruleGlyph(224, &g));
}

TEST(ChartTest, SixteenRowGlyphsKeepAccentBodyAndDescenderOnTheBaseline) {
  uint8_t rows[16] = {0x00, 0x18, 0x3C, 0x66, 0xC3, 0xE7, 0xFF, 0xFF,
                      0xC3, 0xC1, 0x81, 0x80, 0x42, 0x42, 0x3C, 0x00};
  const Glyph g = chart::fitGlyph(rows, 16);
  // Row 0 (blank) goes before the accent, one of the two equal body rows
  // goes, one of the two equal descender rows goes, row 15 goes.
  const uint8_t expected[12] = {0x18, 0x3C, 0x66, 0xC3, 0xE7, 0xFF, 0xC3, 0xC1, 0x81, 0x80, 0x42, 0x3C};
  for (int y = 0; y < 12; ++y) EXPECT_EQ(g[y], expected[y]) << "row " << y;

  const Glyph same = chart::fitGlyph(expected, 12);
  for (int y = 0; y < 12; ++y) EXPECT_EQ(same[y], expected[y]);
}

TEST(ChartTest, ChartImagePutsMasksInTheirBandsAsExactComplements) {
  std::array<Glyph, 256> glyphs{};
  for (int code = 0; code < 256; ++code) {
    // A different, asymmetric pattern per glyph.
    for (int y = 0; y < 12; ++y) glyphs[code][y] = static_cast<uint8_t>((code * 37 + y * 11) ^ (1 << (y % 8)));
  }
  const std::vector<uint8_t> image = chart::chartImage(glyphs);
  ASSERT_EQ(image.size(), 640u * 120u * 3u);
  auto at = [&](int x, int yFromTop) { return image[(yFromTop * 640 + x) * 3]; };
  for (int code = 0; code < 256; ++code) {
    const int column = code % 80, q = code / 80;
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool on = pixel(glyphs[code], x, y);
        // Band b spans image rows (9 - b) * 12 .. +11 from the top.
        EXPECT_EQ(at(column * 8 + x, q * 12 + y), on ? 255 : 0) << code;
        EXPECT_EQ(at(column * 8 + x, (4 + q) * 12 + y), on ? 0 : 255) << code;
      }
    }
  }
  for (int y = 96; y < 120; ++y) {
    for (int x = 0; x < 640; ++x) ASSERT_EQ(at(x, y), 0) << "unused bands stay black";
  }
  // Grey channels: R = G = B everywhere.
  for (size_t i = 0; i < image.size(); i += 3) {
    ASSERT_EQ(image[i], image[i + 1]);
    ASSERT_EQ(image[i], image[i + 2]);
  }
}

TEST(ChartTest, ConsoleFontsGiveEveryGlyphADistinctShape) {
  PsfFont primary, fallback;
  std::string error;
  ASSERT_TRUE(loadPsfFont("/usr/share/consolefonts/lat9u-12.psf.gz", &primary, &error)) << error;
  ASSERT_TRUE(loadPsfFont("/usr/share/consolefonts/default8x16.psf.gz", &fallback, &error)) << error;
  std::array<Glyph, 256> glyphs;
  ASSERT_TRUE(chart::buildGlyphs(primary, fallback, &glyphs, &error)) << error;

  std::map<Glyph, int> seen;
  for (int code = 0; code < 256; ++code) {
    const bool blank = code == 0 || code == 32 || code == 255;
    EXPECT_EQ(count(glyphs[code]) == 0, blank) << "glyph " << code;
    if (blank) continue;
    auto inserted = seen.emplace(glyphs[code], code);
    EXPECT_TRUE(inserted.second) << "glyph " << code << " looks like glyph " << inserted.first->second;
  }
  // The 12-row font is taken as it is.
  const uint8_t* a = primary.find('A');
  ASSERT_NE(a, nullptr);
  for (int y = 0; y < 12; ++y) EXPECT_EQ(glyphs['A'][y], a[y]);

  // A font of the wrong height is refused, not squeezed blindly.
  EXPECT_FALSE(chart::buildGlyphs(fallback, fallback, &glyphs, &error));
}

TEST(ChartTest, BrokenFontFilesAreRefusedWithAReason) {
  PsfFont font;
  std::string error;
  EXPECT_FALSE(parsePsfFont({}, &font, &error));
  EXPECT_EQ(error, "not a PSF font");
  // PSF1 header promising 256 glyphs of 12 rows, with only 100 bytes after it.
  std::vector<uint8_t> cut = {0x36, 0x04, 0x00, 12};
  cut.resize(104, 0xAA);
  EXPECT_FALSE(parsePsfFont(cut, &font, &error));
  EXPECT_EQ(error, "glyph data cut short");
  // PSF2 with 9-pixel glyphs.
  std::vector<uint8_t> wide = {0x72, 0xB5, 0x4A, 0x86, 0, 0, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0,
                               1,    0,    0,    0,    24, 0, 0, 0, 12, 0, 0, 0, 9, 0, 0, 0};
  wide.resize(32 + 24, 0);
  EXPECT_FALSE(parsePsfFont(wide, &font, &error));
  EXPECT_FALSE(loadPsfFont("/nonexistent/font.psf.gz", &font, &error));

  // A minimal good PSF1 with a Unicode table: glyph 0 maps U+0041 and U+0391.
  std::vector<uint8_t> good = {0x36, 0x04, 0x02, 12};
  good.resize(4 + 256 * 12, 0);
  good[4] = 0x81;
  for (uint16_t v : {0x0041, 0x0391, 0xFFFF}) {
    good.push_back(static_cast<uint8_t>(v & 0xFF));
    good.push_back(static_cast<uint8_t>(v >> 8));
  }
  ASSERT_TRUE(parsePsfFont(good, &font, &error)) << error;
  EXPECT_EQ(font.height, 12);
  ASSERT_NE(font.find(0x0391), nullptr);
  EXPECT_EQ(font.find(0x0391)[0], 0x81);
  EXPECT_EQ(font.find(0x0042), nullptr);
}

}  // namespace
