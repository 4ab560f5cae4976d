// iconset: the program's icon in every size of the desktop's icon theme,
// made from a square region of a picture grid.
//
//   iconset <grid.txt> <width> <height> <x> <y> <side> <out-dir> <name> <size>...
//
// The region of side x side elements at (x, y) is rendered as the loading
// logo is (real transparency, a soft shadow two elements wide) large enough
// for the biggest size, then shrunk to each size and written to
// <out-dir>/<size>x<size>/apps/<name>.png. Faults are reported on standard
// error with exit status 1 (2 for a wrong command line).

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "iconset_lib.h"
#include "rawgrid_lib.h"
#include "util/texture/png_writer.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: iconset <grid.txt> <width> <height> <x> <y> <side> <out-dir> <name> <size>...\n");
  return 2;
}

bool parseNumber(const char* text, int min, int& value) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < min || v > 4096) return false;
  value = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 10) return usage();
  int width = 0, height = 0, x = 0, y = 0, side = 0;
  if (!parseNumber(argv[2], 1, width) || !parseNumber(argv[3], 1, height) ||
      !parseNumber(argv[4], 0, x) || !parseNumber(argv[5], 0, y) || !parseNumber(argv[6], 1, side)) {
    return usage();
  }
  const std::string outDir = argv[7], name = argv[8];
  std::vector<int> sizes;
  int largest = 0;
  for (int i = 9; i < argc; ++i) {
    int size = 0;
    if (!parseNumber(argv[i], 1, size)) return usage();
    sizes.push_back(size);
    largest = std::max(largest, size);
  }

  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "iconset: cannot read %s\n", argv[1]);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();
  rawgrid::Grid grid, region;
  std::string error;
  if (!rawgrid::parseGrid(text.str(), width, height, grid, error)) {
    std::fprintf(stderr, "iconset: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  if (!iconset::cropGrid(grid, x, y, side, region)) {
    std::fprintf(stderr, "iconset: the region %d x %d at (%d, %d) leaves the %d x %d grid\n", side,
                 side, x, y, width, height);
    return 1;
  }

  const int scale = (largest + side - 1) / side;
  const std::vector<uint8_t> full = rawgrid::renderAlpha(region, scale, 2 * scale);
  for (int size : sizes) {
    const std::string dir = outDir + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    std::error_code made;
    std::filesystem::create_directories(dir, made);
    const std::string path = dir + "/" + name + ".png";
    if (made || !writePng(path, size, size, 4, iconset::shrinkRgba(full, side * scale, size))) {
      std::fprintf(stderr, "iconset: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
