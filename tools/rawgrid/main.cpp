// rawgrid: turns a picture grid into a `.raw` text-screen picture, or into a
// PNG preview of solid blocks.
//
//   rawgrid <grid.txt> <width> <height> [<out.raw>] [--png <out.png>]
//           [--scale N] [--black | --alpha [--glow G]]
//
// Grid format (one text line per picture row, top row first, exactly
// <width> characters per line and <height> rows):
//   '0'..'9', 'A'..'F'   palette index 0..15 (0 black ... 15 white;
//                        bit 0 blue, bit 1 green, bit 2 red, bit 3 bright)
//   '.'                  transparent (0; '0' means the same)
//   lines starting with '#' are comments.
// The `.raw` file holds width x height bytes, top row first, each the
// colour number with bits 0 and 2 swapped (bit 0 red, bit 2 blue).
//
// --png writes the picture as solid blocks of N x N pixels (--scale, default
// 8); transparent elements show as a dark checkerboard, or black with
// --black. A wrong size or a bad element is reported with its line and
// column, and the tool exits with status 1 without writing anything.
//
// --alpha writes an RGBA PNG instead: transparent elements become really
// transparent, with a soft black halo G pixels wide (--glow, default 6)
// around the shapes; the loading logo is made this way.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "util/texture/png_writer.h"
#include "rawgrid_lib.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: rawgrid <grid.txt> <width> <height> [<out.raw>] [--png <out.png>] "
               "[--scale N] [--black | --alpha [--glow G]]\n");
  return 2;
}

bool parsePositive(const char* text, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v <= 0 || v > 65536) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, rawOut, pngOut;
  int width = 0, height = 0, scale = 8, glow = 6;
  bool checker = true, alpha = false;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--png" && i + 1 < argc) {
      pngOut = argv[++i];
    } else if (arg == "--scale" && i + 1 < argc) {
      if (!parsePositive(argv[++i], scale) || scale > 64) return usage();
    } else if (arg == "--black") {
      checker = false;
    } else if (arg == "--alpha") {
      alpha = true;
    } else if (arg == "--glow" && i + 1 < argc) {
      if (!parsePositive(argv[++i], glow) || glow > 64) return usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return usage();
    } else {
      switch (positional++) {
        case 0: input = arg; break;
        case 1: if (!parsePositive(argv[i], width)) return usage(); break;
        case 2: if (!parsePositive(argv[i], height)) return usage(); break;
        case 3: rawOut = arg; break;
        default: return usage();
      }
    }
  }
  if (positional < 3 || (rawOut.empty() && pngOut.empty())) return usage();

  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "rawgrid: cannot read %s\n", input.c_str());
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  rawgrid::Grid grid;
  std::string error;
  if (!rawgrid::parseGrid(text.str(), width, height, grid, error)) {
    std::fprintf(stderr, "rawgrid: %s: %s (picture %d x %d)\n", input.c_str(), error.c_str(), width,
                 height);
    return 1;
  }

  if (!rawOut.empty()) {
    const std::vector<uint8_t> raw = rawgrid::toRaw(grid);
    std::ofstream out(rawOut, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    if (!out) {
      std::fprintf(stderr, "rawgrid: cannot write %s\n", rawOut.c_str());
      return 1;
    }
  }
  if (!pngOut.empty()) {
    const std::vector<uint8_t> pixels = alpha ? rawgrid::renderAlpha(grid, scale, glow)
                                              : rawgrid::renderPreview(grid, scale, checker);
    if (!writePng(pngOut, width * scale, height * scale, alpha ? 4 : 3, pixels)) {
      std::fprintf(stderr, "rawgrid: cannot write %s\n", pngOut.c_str());
      return 1;
    }
  }
  return 0;
}
