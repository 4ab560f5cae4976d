#pragma once

class FTFont;

// A TrueType font from the data archive as an FTGL buffer font, 48 pt at
// 72 dpi with the Unicode character map. FreeType reads the glyphs from the
// file's bytes for as long as the font lives, so this object owns both and
// frees the font before its bytes.
class BufferFont {
 public:
  explicit BufferFont(const char* fileName);
  ~BufferFont();
  BufferFont(const BufferFont&) = delete;
  BufferFont& operator=(const BufferFont&) = delete;

  FTFont& font() { return *font_; }

 private:
  char* bytes_;
  FTFont* font_;
};
