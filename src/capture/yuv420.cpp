#include "capture/yuv420.h"

#include <cstring>

namespace {

// BT.709 weights scaled to the studio ranges (219 luma and 224 colour
// levels for 255), in 1/2^15.
constexpr int kShift = 15;
constexpr int kYr = 5983, kYg = 20127, kYb = 2032;       // 0.1826, 0.6142, 0.0620
constexpr int kUr = -3298, kUg = -11094, kUb = 14392;    // -0.1006, -0.3386, 0.4392 (sum 0: greys stay grey)
constexpr int kVr = 14392, kVg = -13072, kVb = -1320;    // 0.4392, -0.3989, -0.0403
constexpr int kLumaOffset = (16 << kShift) + (1 << (kShift - 1));
// Colour samples come from sums of four pixels: two more bits to drop.
constexpr int kColourOffset = (128 << (kShift + 2)) + (1 << (kShift + 1));
constexpr int kPixelColourOffset = (128 << kShift) + (1 << (kShift - 1));

inline uint8_t luma(const uint8_t* p) {
  return static_cast<uint8_t>((kYr * p[2] + kYg * p[1] + kYb * p[0] + kLumaOffset) >> kShift);
}

}  // namespace

void bgraRowsToYuv420(const uint8_t* upper, const uint8_t* lower, int width, uint8_t* lumaUpper, uint8_t* lumaLower,
                      uint8_t* blueDifference, uint8_t* redDifference) {
  for (int x = 0; x < width; x += 2) {
    const uint8_t* a = upper + x * 4;
    const uint8_t* b = lower + x * 4;
    lumaUpper[x] = luma(a);
    lumaUpper[x + 1] = luma(a + 4);
    lumaLower[x] = luma(b);
    lumaLower[x + 1] = luma(b + 4);
    const int blue = a[0] + a[4] + b[0] + b[4];
    const int green = a[1] + a[5] + b[1] + b[5];
    const int red = a[2] + a[6] + b[2] + b[6];
    blueDifference[x / 2] = static_cast<uint8_t>((kUr * red + kUg * green + kUb * blue + kColourOffset) >> (kShift + 2));
    redDifference[x / 2] = static_cast<uint8_t>((kVr * red + kVg * green + kVb * blue + kColourOffset) >> (kShift + 2));
  }
}

void bgraPixelToYuv(const uint8_t* bgra, uint8_t* yuv) {
  const int b = bgra[0], g = bgra[1], r = bgra[2];
  yuv[0] = luma(bgra);
  yuv[1] = static_cast<uint8_t>((kUr * r + kUg * g + kUb * b + kPixelColourOffset) >> kShift);
  yuv[2] = static_cast<uint8_t>((kVr * r + kVg * g + kVb * b + kPixelColourOffset) >> kShift);
  yuv[3] = 0;
}

void bgraToYuvPixels(const uint8_t* bgra, size_t count, uint8_t* yuv) {
  // A picture of text holds few colours, in every order: each colour is
  // converted once and then found again in a small table (24-bit colours
  // as keys, so that the empty entries' key matches none).
  constexpr int kSlots = 1024;
  uint32_t keys[kSlots];
  uint32_t values[kSlots];
  std::memset(keys, 0xff, sizeof keys);
  for (size_t i = 0; i < count; ++i, bgra += 4, yuv += 4) {
    const uint32_t colour = static_cast<uint32_t>(bgra[0]) | static_cast<uint32_t>(bgra[1]) << 8 |
                            static_cast<uint32_t>(bgra[2]) << 16;
    const uint32_t slot = (colour * 2654435761u) >> 22;
    if (keys[slot] != colour) {
      keys[slot] = colour;
      bgraPixelToYuv(bgra, reinterpret_cast<uint8_t*>(&values[slot]));
    }
    std::memcpy(yuv, &values[slot], 4);
  }
}

void yuvRowsToYuv420(const uint8_t* upper, const uint8_t* lower, int width, uint8_t* lumaUpper, uint8_t* lumaLower,
                     uint8_t* blueDifference, uint8_t* redDifference) {
  for (int x = 0; x < width; x += 2) {
    const uint8_t* a = upper + x * 4;
    const uint8_t* b = lower + x * 4;
    lumaUpper[x] = a[0];
    lumaUpper[x + 1] = a[4];
    lumaLower[x] = b[0];
    lumaLower[x + 1] = b[4];
    blueDifference[x / 2] = static_cast<uint8_t>((a[1] + a[5] + b[1] + b[5] + 2) >> 2);
    redDifference[x / 2] = static_cast<uint8_t>((a[2] + a[6] + b[2] + b[6] + 2) >> 2);
  }
}
