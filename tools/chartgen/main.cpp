// chartgen: makes the text engine's character chart (640 x 120 PNG) from two
// Linux console fonts plus the glyphs drawn by rule.
//
//   chartgen <12-row font.psf.gz> <16-row fallback font.psf.gz> <out.png>
#include <cstdio>

#include "chart.h"
#include "util/texture/png_writer.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: chartgen <8x12 font.psf[.gz]> <8x16 font.psf[.gz]> <out.png>\n");
    return 2;
  }
  PsfFont primary;
  PsfFont fallback;
  std::string error;
  if (!loadPsfFont(argv[1], &primary, &error) || !loadPsfFont(argv[2], &fallback, &error)) {
    std::fprintf(stderr, "chartgen: %s\n", error.c_str());
    return 1;
  }
  std::array<chart::Glyph, 256> glyphs;
  if (!chart::buildGlyphs(primary, fallback, &glyphs, &error)) {
    std::fprintf(stderr, "chartgen: %s\n", error.c_str());
    return 1;
  }
  if (!writePng(argv[3], chart::kWidth, chart::kHeight, 3, chart::chartImage(glyphs))) {
    std::perror(argv[3]);
    return 1;
  }
  return 0;
}
