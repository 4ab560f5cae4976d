#include "psf_font.h"

#include <zlib.h>

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Decodes one UTF-8 sequence at p (PSF2 tables); 0 length on a bad byte.
int utf8(const uint8_t* p, const uint8_t* end, uint32_t* cp) {
  const uint8_t b = p[0];
  int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (length == 0 || end - p < length) return 0;
  uint32_t value = length == 1 ? b : b & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = value << 6 | (p[i] & 0x3F);
  }
  *cp = value;
  return length;
}

}  // namespace

const uint8_t* PsfFont::find(uint32_t codePoint) const {
  auto it = unicode.find(codePoint);
  return it == unicode.end() ? nullptr : glyphs[it->second].data();
}

bool parsePsfFont(const std::vector<uint8_t>& bytes, PsfFont* font, std::string* error) {
  *font = PsfFont();
  const uint8_t* data = bytes.data();
  const size_t size = bytes.size();
  size_t glyphsAt = 0;
  size_t glyphBytes = 0;
  size_t count = 0;
  bool hasTable = false;
  bool version2 = false;

  if (size >= 4 && data[0] == 0x36 && data[1] == 0x04) {
    const uint8_t mode = data[2];
    font->width = 8;
    font->height = data[3];
    count = (mode & 1) ? 512 : 256;
    hasTable = (mode & 6) != 0;
    glyphsAt = 4;
    glyphBytes = font->height;
  } else if (size >= 32 && le32(data) == 0x864AB572u) {
    version2 = true;
    const uint32_t headerSize = le32(data + 8);
    hasTable = (le32(data + 12) & 1) != 0;
    count = le32(data + 16);
    glyphBytes = le32(data + 20);
    font->height = int(le32(data + 24));
    font->width = int(le32(data + 28));
    glyphsAt = headerSize;
    if (font->width != 8 || glyphBytes != size_t(font->height) || count > 65536 || headerSize < 32) {
      return fail(error, "unsupported PSF2 layout");
    }
  } else {
    return fail(error, "not a PSF font");
  }
  if (font->height < 1 || font->height > 64) return fail(error, "bad glyph height");
  if (glyphsAt + count * glyphBytes > size) return fail(error, "glyph data cut short");

  for (size_t g = 0; g < count; ++g) {
    const uint8_t* start = data + glyphsAt + g * glyphBytes;
    font->glyphs.emplace_back(start, start + glyphBytes);
  }
  if (!hasTable) return true;

  // Unicode table: per glyph a list of code points, sequences after a
  // separator (skipped), closed by a terminator.
  const uint8_t* p = data + glyphsAt + count * glyphBytes;
  const uint8_t* end = data + size;
  size_t glyph = 0;
  bool inSequence = false;
  while (glyph < count && p < end) {
    uint32_t cp = 0;
    if (version2) {
      if (*p == 0xFF) {
        ++glyph;
        inSequence = false;
        ++p;
        continue;
      }
      if (*p == 0xFE) {
        inSequence = true;
        ++p;
        continue;
      }
      const int length = utf8(p, end, &cp);
      if (length == 0) return fail(error, "bad UTF-8 in the Unicode table");
      p += length;
    } else {
      if (end - p < 2) break;
      cp = uint32_t(p[0]) | uint32_t(p[1]) << 8;
      p += 2;
      if (cp == 0xFFFF) {
        ++glyph;
        inSequence = false;
        continue;
      }
      if (cp == 0xFFFE) {
        inSequence = true;
        continue;
      }
    }
    if (!inSequence) font->unicode.emplace(cp, int(glyph));
  }
  return true;
}

bool loadPsfFont(const std::string& path, PsfFont* font, std::string* error) {
  gzFile file = gzopen(path.c_str(), "rb");  // reads plain files as they are
  if (!file) return fail(error, "cannot open " + path);
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  int got;
  while ((got = gzread(file, buffer, sizeof buffer)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (bytes.size() > (16u << 20)) break;
  }
  const bool readError = got < 0;
  gzclose(file);
  if (readError) return fail(error, "cannot read " + path);
  if (!parsePsfFont(bytes, font, error)) {
    if (error) *error = path + ": " + *error;
    return false;
  }
  return true;
}
