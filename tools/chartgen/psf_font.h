#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A Linux console font (PSF version 1 or 2, plain or gzip-compressed) that
// is 8 pixels wide. Each glyph is `height` bytes, one per row from the top,
// bit 7 being the leftmost pixel.
struct PsfFont {
  int width = 0;
  int height = 0;
  std::vector<std::vector<uint8_t>> glyphs;
  std::map<uint32_t, int> unicode;  // code point -> glyph index (first mapping wins)

  // The rows of the glyph mapped to `codePoint`, or null.
  const uint8_t* find(uint32_t codePoint) const;
};

// Reads a font file; false with a reason in `error` on any problem.
bool loadPsfFont(const std::string& path, PsfFont* font, std::string* error);
// The same from bytes already in memory (decompressed).
bool parsePsfFont(const std::vector<uint8_t>& bytes, PsfFont* font, std::string* error);
