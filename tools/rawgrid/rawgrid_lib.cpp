#include "rawgrid_lib.h"

#include <cmath>
#include <cstdio>

namespace rawgrid {

namespace {

int elementValue(char c) {
  if (c == '.') return 0;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string describeChar(char c) {
  char buf[16];
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7f) std::snprintf(buf, sizeof buf, "'%c'", c);
  else std::snprintf(buf, sizeof buf, "byte 0x%02X", u);
  return buf;
}

}  // namespace

bool parseGrid(const std::string& text, int width, int height, Grid& out, std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "picture size must be positive";
    return false;
  }
  Grid grid;
  grid.width = width;
  grid.height = height;
  grid.cells.reserve(static_cast<size_t>(width) * height);

  int rows = 0;
  int lineNumber = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') continue;
    if (rows == height) {
      // Nothing but empty lines may follow the last picture row.
      if (line.empty()) continue;
      error = "line " + std::to_string(lineNumber) + ": more than " + std::to_string(height) +
              " picture rows";
      return false;
    }
    if (static_cast<int>(line.size()) != width) {
      error = "line " + std::to_string(lineNumber) + ": " + std::to_string(line.size()) +
              " elements, expected " + std::to_string(width);
      return false;
    }
    for (int column = 0; column < width; ++column) {
      const int value = elementValue(line[column]);
      if (value < 0) {
        error = "line " + std::to_string(lineNumber) + ", column " + std::to_string(column + 1) +
                ": bad element " + describeChar(line[column]) +
                " (use 0-9, A-F or '.')";
        return false;
      }
      grid.cells.push_back(static_cast<uint8_t>(value));
    }
    ++rows;
  }
  if (rows != height) {
    error = std::to_string(rows) + " picture rows, expected " + std::to_string(height);
    return false;
  }
  out = std::move(grid);
  return true;
}

uint8_t paletteToFile(uint8_t index) {
  return static_cast<uint8_t>((index & 0xAu) | ((index & 1u) << 2) | ((index & 4u) >> 2));
}

std::vector<uint8_t> toRaw(const Grid& grid) {
  std::vector<uint8_t> raw;
  raw.reserve(grid.cells.size());
  for (uint8_t index : grid.cells) raw.push_back(paletteToFile(index));
  return raw;
}

void paletteRgb(uint8_t index, uint8_t rgb[3]) {
  static const uint8_t table[16][3] = {
      {0, 0, 0},       {0, 0, 128},     {0, 128, 0},     {0, 128, 128},
      {128, 0, 0},     {128, 0, 128},   {128, 128, 0},   {192, 192, 192},
      {128, 128, 128}, {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
      {255, 0, 0},     {255, 0, 255},   {255, 255, 0},   {255, 255, 255}};
  for (int i = 0; i < 3; ++i) rgb[i] = table[index & 15][i];
}

std::vector<uint8_t> renderPreview(const Grid& grid, int scale, bool checker) {
  const int outWidth = grid.width * scale;
  const int outHeight = grid.height * scale;
  std::vector<uint8_t> pixels(static_cast<size_t>(outWidth) * outHeight * 3);
  for (int y = 0; y < outHeight; ++y) {
    for (int x = 0; x < outWidth; ++x) {
      const uint8_t index = grid.cells[static_cast<size_t>(y / scale) * grid.width + x / scale];
      uint8_t* px = &pixels[(static_cast<size_t>(y) * outWidth + x) * 3];
      if (index == 0 && checker) {
        const uint8_t shade = (((x / 4) + (y / 4)) & 1) ? 40 : 24;
        px[0] = px[1] = px[2] = shade;
      } else {
        paletteRgb(index, px);
      }
    }
  }
  return pixels;
}

std::vector<uint8_t> renderAlpha(const Grid& grid, int scale, int glow) {
  const int outWidth = grid.width * scale;
  const int outHeight = grid.height * scale;
  auto opaqueAt = [&](int x, int y) {
    return grid.cells[static_cast<size_t>(y / scale) * grid.width + x / scale] != 0;
  };
  std::vector<uint8_t> pixels(static_cast<size_t>(outWidth) * outHeight * 4, 0);
  for (int y = 0; y < outHeight; ++y) {
    for (int x = 0; x < outWidth; ++x) {
      uint8_t* px = &pixels[(static_cast<size_t>(y) * outWidth + x) * 4];
      if (opaqueAt(x, y)) {
        paletteRgb(grid.cells[static_cast<size_t>(y / scale) * grid.width + x / scale], px);
        px[3] = 255;
        continue;
      }
      // Nearest opaque pixel within the halo's reach.
      int best = glow * glow + 1;
      for (int dy = -glow; dy <= glow; ++dy) {
        const int sy = y + dy;
        if (sy < 0 || sy >= outHeight) continue;
        for (int dx = -glow; dx <= glow; ++dx) {
          const int sx = x + dx;
          const int d2 = dx * dx + dy * dy;
          if (d2 < best && sx >= 0 && sx < outWidth && opaqueAt(sx, sy)) best = d2;
        }
      }
      if (glow > 0 && best <= glow * glow) {
        const double fall = 1.0 - std::sqrt(static_cast<double>(best)) / (glow + 1);
        px[3] = static_cast<uint8_t>(160.0 * fall + 0.5);
      }
    }
  }
  return pixels;
}

}  // namespace rawgrid
