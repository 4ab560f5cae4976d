#include "iconset_lib.h"

#include <algorithm>
#include <cmath>

namespace iconset {

bool cropGrid(const rawgrid::Grid& grid, int x, int y, int side, rawgrid::Grid& out) {
  if (x < 0 || y < 0 || side <= 0 || x + side > grid.width || y + side > grid.height) return false;
  out.width = out.height = side;
  out.cells.clear();
  for (int row = y; row < y + side; ++row) {
    const auto first = grid.cells.begin() + static_cast<long>(row) * grid.width + x;
    out.cells.insert(out.cells.end(), first, first + side);
  }
  return true;
}

namespace {

// Box-filter weights: how much of source pixel s falls into target pixel t,
// as a list per target pixel, for one axis.
struct Tap {
  int source;
  double weight;
};

std::vector<std::vector<Tap>> axisTaps(int side, int newSide) {
  const double step = static_cast<double>(side) / newSide;
  std::vector<std::vector<Tap>> taps(static_cast<size_t>(newSide));
  for (int t = 0; t < newSide; ++t) {
    const double from = t * step, to = (t + 1) * step;
    for (int s = static_cast<int>(from); s < side && s < to; ++s) {
      const double covered = std::min<double>(s + 1, to) - std::max<double>(s, from);
      if (covered > 1e-9) taps[static_cast<size_t>(t)].push_back({s, covered / step});
    }
  }
  return taps;
}

}  // namespace

std::vector<uint8_t> shrinkRgba(const std::vector<uint8_t>& pixels, int side, int newSide) {
  const std::vector<std::vector<Tap>> taps = axisTaps(side, newSide);
  std::vector<uint8_t> out(static_cast<size_t>(newSide) * newSide * 4);
  for (int ty = 0; ty < newSide; ++ty) {
    for (int tx = 0; tx < newSide; ++tx) {
      double sum[4] = {0, 0, 0, 0};  // alpha-weighted colour, then alpha
      for (const Tap& row : taps[static_cast<size_t>(ty)]) {
        for (const Tap& column : taps[static_cast<size_t>(tx)]) {
          const uint8_t* px = &pixels[(static_cast<size_t>(row.source) * side + column.source) * 4];
          const double weight = row.weight * column.weight;
          const double alpha = px[3] / 255.0;
          for (int c = 0; c < 3; ++c) sum[c] += px[c] * alpha * weight;
          sum[3] += alpha * weight;
        }
      }
      uint8_t* target = &out[(static_cast<size_t>(ty) * newSide + tx) * 4];
      for (int c = 0; c < 3; ++c) {
        target[c] = sum[3] > 0 ? static_cast<uint8_t>(std::lround(std::min(255.0, sum[c] / sum[3]))) : 0;
      }
      target[3] = static_cast<uint8_t>(std::lround(std::min(255.0, sum[3] * 255.0)));
    }
  }
  return out;
}

}  // namespace iconset
