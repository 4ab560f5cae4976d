#pragma once

class FTFont;

// Loads a TrueType font from the data archive as an FTGL buffer font, 48 pt
// at 72 dpi with the Unicode character map. The file's bytes stay allocated
// for the font's lifetime.
FTFont* loadBufferFont(const char* fileName);
