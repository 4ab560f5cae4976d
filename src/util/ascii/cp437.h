#pragma once

// The Unicode character of each code-page-437 glyph, UTF-8 encoded, for
// showing the text screen where only characters can be written: the
// pictures of the control bytes 1-31 and 127 included, the blanks 0 and
// 255 as spaces.
extern const char* const kCp437Utf8[256];
