#include "capture/yuv420.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <random>
#include <vector>

#include "capture/picture_scaler.h"

namespace {

// Studio-range BT.709 in double precision.
double lumaOf(double r, double g, double b) { return 16.0 + 219.0 / 255.0 * (0.2126 * r + 0.7152 * g + 0.0722 * b); }
double blueDifferenceOf(double r, double g, double b) {
  return 128.0 + 224.0 / 255.0 * (b - (0.2126 * r + 0.7152 * g + 0.0722 * b)) / 1.8556;
}
double redDifferenceOf(double r, double g, double b) {
  return 128.0 + 224.0 / 255.0 * (r - (0.2126 * r + 0.7152 * g + 0.0722 * b)) / 1.5748;
}

int largestDifference(const std::vector<uint8_t>& expected, const uint8_t* actual) {
  int largest = 0;
  for (size_t i = 0; i < expected.size(); ++i) largest = std::max(largest, std::abs(expected[i] - actual[i]));
  return largest;
}

// Within one level of the exact conversion for any colours, each colour
// sample from the mean of its 2 x 2 pixels; black, white and greys exactly
// where the studio range puts them, with no colour.
TEST(Yuv420, ConvertsBt709StudioRangeWithinOneLevel) {
  constexpr int kWidth = 64;
  std::mt19937 random(5);
  std::vector<uint8_t> upper(kWidth * 4), lower(kWidth * 4);
  for (uint8_t& v : upper) v = static_cast<uint8_t>(random());
  for (uint8_t& v : lower) v = static_cast<uint8_t>(random());
  upper[0] = upper[1] = upper[2] = 0;        // black
  upper[4] = upper[5] = upper[6] = 255;      // white
  for (int x = 2; x < 4; ++x)                // a grey block
    for (auto* row : {&upper, &lower})
      for (int c = 0; c < 3; ++c) (*row)[x * 4 + c] = 77;
  std::vector<uint8_t> y0(kWidth), y1(kWidth), u(kWidth / 2), v(kWidth / 2);
  bgraRowsToYuv420(upper.data(), lower.data(), kWidth, y0.data(), y1.data(), u.data(), v.data());

  EXPECT_EQ(16, y0[0]);
  EXPECT_EQ(235, y0[1]);
  EXPECT_EQ(128, u[1]);
  EXPECT_EQ(128, v[1]);
  for (int x = 0; x < kWidth; ++x) {
    for (int row = 0; row < 2; ++row) {
      const uint8_t* p = (row == 0 ? upper : lower).data() + x * 4;
      EXPECT_NEAR(lumaOf(p[2], p[1], p[0]), (row == 0 ? y0 : y1)[x], 0.51) << "x " << x << " row " << row;
    }
    if (x % 2 != 0) continue;
    double r = 0, g = 0, b = 0;
    for (const uint8_t* p : {&upper[x * 4], &upper[x * 4 + 4], &lower[x * 4], &lower[x * 4 + 4]}) {
      b += p[0] / 4.0;
      g += p[1] / 4.0;
      r += p[2] / 4.0;
    }
    EXPECT_NEAR(blueDifferenceOf(r, g, b), u[x / 2], 0.51) << "x " << x;
    EXPECT_NEAR(redDifferenceOf(r, g, b), v[x / 2], 0.51) << "x " << x;
  }
}

// The scaler's 4:2:0 output is its frame, turned upright, converted: within
// a level of it (the picture is converted before it is scaled), black
// around the viewport as well, padding of the planes left alone.
TEST(Yuv420, ScalerWritesTheUprightFrameIntoThePlanes) {
  constexpr int kPw = 40, kPh = 30, kFw = 98, kFh = 64;
  std::mt19937 random(9);
  std::vector<uint8_t> picture(kPw * kPh * 4);
  for (uint8_t& v : picture) v = static_cast<uint8_t>(random() % 2 * 255);
  PictureScaler scaler(kPw, kPh, kFw, kFh, 3, 1, 90, 61);
  std::vector<uint8_t> frame(scaler.frameBytes());
  scaler.scale(picture.data(), frame.data());

  const int strides[3] = {kFw + 6, kFw / 2 + 5, kFw / 2 + 3};
  std::vector<uint8_t> planes[3] = {std::vector<uint8_t>(strides[0] * kFh, 1),
                                    std::vector<uint8_t>(strides[1] * kFh / 2, 1),
                                    std::vector<uint8_t>(strides[2] * kFh / 2, 1)};
  uint8_t* const pointers[3] = {planes[0].data(), planes[1].data(), planes[2].data()};
  scaler.scaleToYuv420(picture.data(), pointers, strides);

  std::vector<uint8_t> y0(kFw), y1(kFw), u(kFw / 2), v(kFw / 2);
  for (int top = 0; top < kFh; top += 2) {
    // Frame rows are kept bottom row first.
    bgraRowsToYuv420(&frame[(kFh - 1 - top) * kFw * 4], &frame[(kFh - 2 - top) * kFw * 4], kFw, y0.data(), y1.data(),
                     u.data(), v.data());
    EXPECT_LE(largestDifference(y0, planes[0].data() + top * strides[0]), 1) << "luma row " << top;
    EXPECT_LE(largestDifference(y1, planes[0].data() + (top + 1) * strides[0]), 1) << "luma row " << top + 1;
    EXPECT_LE(largestDifference(u, planes[1].data() + top / 2 * strides[1]), 1) << "Cb row " << top / 2;
    EXPECT_LE(largestDifference(v, planes[2].data() + top / 2 * strides[2]), 1) << "Cr row " << top / 2;
    EXPECT_EQ(1, planes[0][top * strides[0] + kFw]) << "padding of luma row " << top;
  }
}

}  // namespace
