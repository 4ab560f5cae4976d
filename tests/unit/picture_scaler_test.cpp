#include "capture/picture_scaler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

// Bilinear sampling in double precision over the viewport, GL's way: pixel
// centres mapped onto the picture, texels clamped at its edges; black
// outside the viewport.
std::vector<uint8_t> ideal(const std::vector<uint8_t>& picture, int pw, int ph, int fw, int fh, int vx, int vy,
                           int vw, int vh) {
  std::vector<uint8_t> frame(static_cast<size_t>(fw) * fh * 4, 0);
  auto clamp = [](int v, int size) { return v < 0 ? 0 : v >= size ? size - 1 : v; };
  for (int y = std::max(vy, 0); y < std::min(vy + vh, fh); ++y) {
    const double sy = (y - vy + 0.5) * ph / vh - 0.5;
    const int y0 = static_cast<int>(std::floor(sy));
    const double wy = sy - y0;
    for (int x = std::max(vx, 0); x < std::min(vx + vw, fw); ++x) {
      const double sx = (x - vx + 0.5) * pw / vw - 0.5;
      const int x0 = static_cast<int>(std::floor(sx));
      const double wx = sx - x0;
      for (int c = 0; c < 4; ++c) {
        auto at = [&](int px, int py) {
          return picture[(static_cast<size_t>(clamp(py, ph)) * pw + clamp(px, pw)) * 4 + c];
        };
        const double low = at(x0, y0) * (1 - wx) + at(x0 + 1, y0) * wx;
        const double high = at(x0, y0 + 1) * (1 - wx) + at(x0 + 1, y0 + 1) * wx;
        frame[(static_cast<size_t>(y) * fw + x) * 4 + c] = static_cast<uint8_t>(std::lround(low * (1 - wy) + high * wy));
      }
    }
  }
  return frame;
}

std::vector<uint8_t> noise(int width, int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 4);
  // Hard edges, as glyphs have: mostly black or bright, some in between.
  for (uint8_t& v : picture) v = random() % 3 == 0 ? random() % 256 : (random() % 2) * 255;
  return picture;
}

// Worst channel difference, and where.
std::string worst(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, int* level) {
  *level = 0;
  size_t at = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(a[i] - b[i]);
    if (d > *level) {
      *level = d;
      at = i / 4;
    }
  }
  return "at (" + std::to_string(at % width) + "," + std::to_string(at / width) + ")";
}

// Magnifications by whole and odd factors, frames of odd widths (the last
// pixel past the SIMD pairs), letterboxes on any side and viewports reaching
// past the frame's edges: all within one level of exact bilinear sampling.
TEST(PictureScaler, MagnifiesWithinOneLevelOfExactBilinearSampling) {
  struct Case {
    int pw, ph, fw, fh, vx, vy, vw, vh;
  };
  const Case cases[] = {
      {64, 60, 128, 72, 0, 0, 128, 72},    {64, 60, 192, 108, 0, 0, 192, 108}, {64, 60, 131, 97, 0, 0, 131, 97},
      {64, 60, 150, 80, 11, 0, 128, 80},   {64, 60, 90, 131, 0, 35, 90, 61},   {31, 17, 77, 45, 3, 5, 70, 39},
      {64, 60, 100, 90, -20, -7, 140, 104}, {64, 60, 100, 90, 30, 40, 120, 90},
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    const std::vector<uint8_t> picture = noise(c.pw, c.ph, seed++);
    PictureScaler scaler(c.pw, c.ph, c.fw, c.fh, c.vx, c.vy, c.vw, c.vh);
    ASSERT_EQ(scaler.frameBytes(), static_cast<size_t>(c.fw) * c.fh * 4);
    std::vector<uint8_t> frame(scaler.frameBytes(), 77);  // garbage where nothing is written
    // Twice: nothing of the first picture may stay behind for the second.
    scaler.scale(noise(c.pw, c.ph, 1000 + seed).data(), frame.data());
    scaler.scale(picture.data(), frame.data());
    int level = 0;
    const std::string where = worst(frame, ideal(picture, c.pw, c.ph, c.fw, c.fh, c.vx, c.vy, c.vw, c.vh), c.fw, &level);
    EXPECT_LE(level, 1) << c.fw << "x" << c.fh << " from " << c.pw << "x" << c.ph << ", viewport " << c.vx << ","
                        << c.vy << " " << c.vw << "x" << c.vh << ": " << where;
  }
}

// Drawn 1:1 the frame is the picture, byte for byte, wherever it sits.
TEST(PictureScaler, OneToOneCopiesThePictureExactly) {
  const std::vector<uint8_t> picture = noise(33, 21, 7);
  for (int vx : {0, 5}) {
    PictureScaler scaler(33, 21, 40, 25, vx, 3, 33, 21);
    std::vector<uint8_t> frame(scaler.frameBytes());
    scaler.scale(picture.data(), frame.data());
    EXPECT_EQ(frame, ideal(picture, 33, 21, 40, 25, vx, 3, 33, 21)) << "viewport at x " << vx;
    for (int y = 0; y < 21; ++y) {
      EXPECT_TRUE(std::equal(picture.begin() + y * 33 * 4, picture.begin() + (y + 1) * 33 * 4,
                             frame.begin() + ((y + 3) * 40 + vx) * 4))
          << "row " << y;
    }
  }
}

}  // namespace
