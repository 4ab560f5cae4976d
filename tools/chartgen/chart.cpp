#include "chart.h"

#include <algorithm>
#include <bitset>
#include <cstdio>

namespace chart {

const uint16_t kCp437[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,  // 0-7  ☺☻♥♦♣♠•
    0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,  // 8-15 ◘○◙♂♀♪♫☼
    0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,  // 16-23 ►◄↕‼¶§▬↨
    0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,  // 24-31 ↑↓→←∟↔▲▼
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027,  // 32-39  !"#$%&'
    0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,  // 40-47 ()*+,-./
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,  // 48-55 01234567
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,  // 56-63 89:;<=>?
    0x0040, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,  // 64-71 @ABCDEFG
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F,  // 72-79 HIJKLMNO
    0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,  // 80-87 PQRSTUVW
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F,  // 88-95 XYZ[\]^_
    0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 96-103 `abcdefg
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 104-111 hijklmno
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 112-119 pqrstuvw
    0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302,  // 120-127 xyz{|}~⌂
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 128-135 Çüéâäàåç
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 136-143 êëèïîìÄÅ
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 144-151 ÉæÆôöòûù
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  // 152-159 ÿÖÜ¢£¥₧ƒ
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // 160-167 áíóúñÑªº
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // 168-175 ¿⌐¬½¼¡«»
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // 176-183 ░▒▓│┤╡╢╖
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  // 184-191 ╕╣║╗╝╜╛┐
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // 192-199 └┴┬├─┼╞╟
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  // 200-207 ╚╔╩╦╠═╬╧
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // 208-215 ╨╤╥╙╘╒╓╫
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  // 216-223 ╪┘┌█▄▌▐▀
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  // 224-231 αßΓπΣσµτ
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  // 232-239 ΦΘΩδ∞φε∩
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  // 240-247 ≡±≥≤⌠⌡÷≈
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  // 248-255 °∙·√ⁿ²■ 
};

namespace {

// Box drawing: the lines of each glyph 179-218 as segments in pixel
// positions. Single lines: column 3, row 5. Double lines: columns 2 and 4,
// rows 4 and 6. A segment is {x0, y0, x1, y1}, inclusive, horizontal or
// vertical; the edges are x 0..7 and y 0..11.
struct Segment {
  int8_t x0, y0, x1, y1;
};
constexpr int kMaxSegments = 8;
struct BoxGlyph {
  int count;
  Segment s[kMaxSegments];
};

constexpr int8_t R = 7;   // right edge
constexpr int8_t B = 11;  // bottom edge
// Shorthands for the segments.
constexpr Segment V(int8_t x, int8_t y0, int8_t y1) { return {x, y0, x, y1}; }
constexpr Segment H(int8_t y, int8_t x0, int8_t x1) { return {x0, y, x1, y}; }

const BoxGlyph kBox[40] = {
    {1, {V(3, 0, B)}},                                                     // 179 │
    {2, {V(3, 0, B), H(5, 0, 3)}},                                         // 180 ┤
    {3, {V(3, 0, B), H(4, 0, 3), H(6, 0, 3)}},                             // 181 ╡
    {3, {V(2, 0, B), V(4, 0, B), H(5, 0, 2)}},                             // 182 ╢
    {3, {H(5, 0, 4), V(2, 5, B), V(4, 5, B)}},                             // 183 ╖
    {3, {H(4, 0, 3), H(6, 0, 3), V(3, 4, B)}},                             // 184 ╕
    {5, {V(4, 0, B), V(2, 0, 4), V(2, 6, B), H(4, 0, 2), H(6, 0, 2)}},     // 185 ╣
    {2, {V(2, 0, B), V(4, 0, B)}},                                         // 186 ║
    {4, {H(4, 0, 4), V(4, 4, B), H(6, 0, 2), V(2, 6, B)}},                 // 187 ╗
    {4, {H(6, 0, 4), V(4, 0, 6), H(4, 0, 2), V(2, 0, 4)}},                 // 188 ╝
    {3, {V(2, 0, 5), V(4, 0, 5), H(5, 0, 4)}},                             // 189 ╜
    {3, {V(3, 0, 6), H(4, 0, 3), H(6, 0, 3)}},                             // 190 ╛
    {2, {H(5, 0, 3), V(3, 5, B)}},                                         // 191 ┐
    {2, {V(3, 0, 5), H(5, 3, R)}},                                         // 192 └
    {2, {V(3, 0, 5), H(5, 0, R)}},                                         // 193 ┴
    {2, {H(5, 0, R), V(3, 5, B)}},                                         // 194 ┬
    {2, {V(3, 0, B), H(5, 3, R)}},                                         // 195 ├
    {1, {H(5, 0, R)}},                                                     // 196 ─
    {2, {V(3, 0, B), H(5, 0, R)}},                                         // 197 ┼
    {3, {V(3, 0, B), H(4, 3, R), H(6, 3, R)}},                             // 198 ╞
    {3, {V(2, 0, B), V(4, 0, B), H(5, 4, R)}},                             // 199 ╟
    {4, {V(2, 0, 6), H(6, 2, R), V(4, 0, 4), H(4, 4, R)}},                 // 200 ╚
    {4, {V(2, 4, B), H(4, 2, R), V(4, 6, B), H(6, 4, R)}},                 // 201 ╔
    {5, {H(6, 0, R), V(2, 0, 4), H(4, 0, 2), V(4, 0, 4), H(4, 4, R)}},     // 202 ╩
    {5, {H(4, 0, R), H(6, 0, 2), V(2, 6, B), H(6, 4, R), V(4, 6, B)}},     // 203 ╦
    {5, {V(2, 0, B), V(4, 0, 4), H(4, 4, R), V(4, 6, B), H(6, 4, R)}},     // 204 ╠
    {2, {H(4, 0, R), H(6, 0, R)}},                                         // 205 ═
    {8, {V(2, 0, 4), H(4, 0, 2), V(4, 0, 4), H(4, 4, R), V(2, 6, B), H(6, 0, 2), V(4, 6, B),
         H(6, 4, R)}},                                                     // 206 ╬
    {3, {V(3, 0, 4), H(4, 0, R), H(6, 0, R)}},                             // 207 ╧
    {3, {V(2, 0, 5), V(4, 0, 5), H(5, 0, R)}},                             // 208 ╨
    {3, {H(4, 0, R), H(6, 0, R), V(3, 6, B)}},                             // 209 ╤
    {3, {H(5, 0, R), V(2, 5, B), V(4, 5, B)}},                             // 210 ╥
    {3, {V(2, 0, 5), V(4, 0, 5), H(5, 2, R)}},                             // 211 ╙
    {3, {V(3, 0, 6), H(4, 3, R), H(6, 3, R)}},                             // 212 ╘
    {3, {V(3, 4, B), H(4, 3, R), H(6, 3, R)}},                             // 213 ╒
    {3, {H(5, 2, R), V(2, 5, B), V(4, 5, B)}},                             // 214 ╓
    {3, {V(2, 0, B), V(4, 0, B), H(5, 0, R)}},                             // 215 ╫
    {3, {H(4, 0, R), H(6, 0, R), V(3, 0, B)}},                             // 216 ╪
    {2, {V(3, 0, 5), H(5, 0, 3)}},                                         // 217 ┘
    {2, {H(5, 3, R), V(3, 5, B)}},                                         // 218 ┌
};

void set(Glyph* g, int x, int y) { (*g)[y] |= uint8_t(0x80 >> x); }

void fillRect(Glyph* g, int x0, int y0, int x1, int y1) {
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) set(g, x, y);
  }
}

int differingPixels(uint8_t a, uint8_t b) { return int(std::bitset<8>(a ^ b).count()); }

}  // namespace

bool ruleGlyph(int code, Glyph* out) {
  Glyph g{};
  if (code == 0 || code == 32 || code == 255) {
    // blank
  } else if (code >= 176 && code <= 178) {
    // Light, medium and dark shade: 1/3, 1/2 and 3/4 of the pixels, in
    // patterns whose periods divide the cell (8 x 12), so areas of shade
    // tile without seams. The light shade is set in staggered 2 x 2 dots:
    // single pixels blur into a dim wash once the picture is scaled, while
    // dots keep their colour. It covers a third rather than a quarter: the
    // closing fire, the wall and the plasma are drawn in it alone, on black,
    // and at a quarter the fire's dark reds sank into murk.
    for (int y = 0; y < kGlyphHeight; ++y) {
      for (int x = 0; x < kGlyphWidth; ++x) {
        const bool lightDots = y % 3 < 2 && ((y / 3) % 2 == 0 ? x % 4 < 2 : x % 4 >= 2);
        const bool sparse = (y % 2 == 0) ? (x % 4 == 2) : (x % 4 == 0);
        const bool on = code == 176 ? lightDots : code == 177 ? ((x + y) % 2 == 1) : !sparse;
        if (on) set(&g, x, y);
      }
    }
  } else if (code >= 179 && code <= 218) {
    const BoxGlyph& box = kBox[code - 179];
    for (int i = 0; i < box.count; ++i) {
      const Segment& s = box.s[i];
      fillRect(&g, s.x0, s.y0, s.x1, s.y1);
    }
  } else if (code == 219) {
    fillRect(&g, 0, 0, 7, 11);
  } else if (code == 220) {
    fillRect(&g, 0, 6, 7, 11);
  } else if (code == 221) {
    fillRect(&g, 0, 0, 3, 11);
  } else if (code == 222) {
    fillRect(&g, 4, 0, 7, 11);
  } else if (code == 223) {
    fillRect(&g, 0, 0, 7, 5);
  } else if (code == 250) {
    // The middle dot, kept smaller than the bullet operator 249 (the fonts
    // draw both alike) so that the two read apart.
    fillRect(&g, 3, 5, 4, 5);
  } else if (code == 254) {
    fillRect(&g, 1, 3, 6, 8);
  } else {
    return false;
  }
  *out = g;
  return true;
}

Glyph fitGlyph(const uint8_t* rows, int height) {
  Glyph g{};
  if (height == kGlyphHeight) {
    for (int y = 0; y < kGlyphHeight; ++y) g[y] = rows[y];
    return g;
  }
  // Groups of source rows and how many of each survive; each group loses at
  // most one row: the one that differs least from a source neighbour.
  struct Group {
    int first, last, keep;
  };
  const Group groups[] = {{0, 1, 1}, {2, 11, 9}, {12, 14, 2}, {15, 15, 0}};
  std::vector<int> kept;
  for (const Group& group : groups) {
    int drop = -1;
    if (group.last - group.first + 1 > group.keep) {
      int bestCost = 1 << 10;
      for (int r = group.first; r <= group.last; ++r) {
        int cost = 1 << 9;
        if (r > 0) cost = std::min(cost, differingPixels(rows[r], rows[r - 1]));
        if (r + 1 < height) cost = std::min(cost, differingPixels(rows[r], rows[r + 1]));
        if (cost < bestCost) {
          bestCost = cost;
          drop = r;
        }
      }
    }
    for (int r = group.first; r <= group.last; ++r) {
      if (r != drop && group.keep > 0) kept.push_back(r);
    }
  }
  for (int y = 0; y < kGlyphHeight && y < int(kept.size()); ++y) g[y] = rows[kept[y]];
  return g;
}

bool buildGlyphs(const PsfFont& primary, const PsfFont& fallback, std::array<Glyph, 256>* glyphs,
                 std::string* error) {
  if (primary.height != kGlyphHeight || fallback.height != 16) {
    if (error) *error = "the fonts must be 8 x 12 (primary) and 8 x 16 (fallback)";
    return false;
  }
  std::string missing;
  for (int code = 0; code < 256; ++code) {
    Glyph& g = (*glyphs)[code];
    if (ruleGlyph(code, &g)) continue;
    if (const uint8_t* rows = primary.find(kCp437[code])) {
      g = fitGlyph(rows, primary.height);
    } else if (const uint8_t* rows = fallback.find(kCp437[code])) {
      g = fitGlyph(rows, fallback.height);
    } else {
      char name[16];
      std::snprintf(name, sizeof name, " %d", code);
      missing += name;
    }
  }
  if (missing.empty()) return true;
  if (error) *error = "no glyph for" + missing;
  return false;
}

std::vector<uint8_t> chartImage(const std::array<Glyph, 256>& glyphs) {
  std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3, 0);
  for (int code = 0; code < 256; ++code) {
    const int column = code % kColumns;
    const int q = code / kColumns;
    // Bands are counted from the bottom; image rows from the top.
    const int fgTop = (kBands - 1 - (9 - q)) * kGlyphHeight;
    const int bgTop = (kBands - 1 - (5 - q)) * kGlyphHeight;
    for (int y = 0; y < kGlyphHeight; ++y) {
      for (int x = 0; x < kGlyphWidth; ++x) {
        const bool on = pixel(glyphs[code], x, y);
        const int px = column * kGlyphWidth + x;
        const uint8_t fgValue = on ? 255 : 0;
        const uint8_t bgValue = on ? 0 : 255;
        uint8_t* fgPixel = &rgb[(size_t(fgTop + y) * kWidth + px) * 3];
        uint8_t* bgPixel = &rgb[(size_t(bgTop + y) * kWidth + px) * 3];
        for (int c = 0; c < 3; ++c) {
          fgPixel[c] = fgValue;
          bgPixel[c] = bgValue;
        }
      }
    }
  }
  return rgb;
}

}  // namespace chart
