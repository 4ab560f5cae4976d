#include "capture/picture_scaler.h"

#include "capture/yuv420.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// Fixed point throughout, the same arithmetic with and without SSE2:
// weights in 1/4096, a row sampled across holds 128 times its level (fits
// a signed 16-bit lane), the blend of two such rows is rounded back to a
// level. A weight of 0 copies texels exactly, so a 1:1 frame is the picture.
namespace {

constexpr int kWeightBits = 12;
constexpr int kWeightOne = 1 << kWeightBits;
constexpr int kAcrossShift = kWeightBits - 7;  // to 128 times the level
constexpr int kDownShift = kWeightBits + 7;    // back to the level

inline int16_t sampleAcross(int a, int b, int weight) {
  return static_cast<int16_t>((a * (kWeightOne - weight) + b * weight + (1 << (kAcrossShift - 1))) >> kAcrossShift);
}

inline uint8_t sampleDown(int low, int high, int weight) {
  return static_cast<uint8_t>((low * (kWeightOne - weight) + high * weight + (1 << (kDownShift - 1))) >> kDownShift);
}

}  // namespace

PictureScaler::PictureScaler(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight, int x, int y,
                             int width, int height)
    : pictureWidth_(pictureWidth),
      pictureHeight_(pictureHeight),
      frameWidth_(frameWidth),
      frameHeight_(frameHeight),
      viewX_(x),
      viewY_(y),
      firstColumn_(std::max(0, x)),
      endColumn_(std::max(firstColumn_, std::min(frameWidth, x + width))),
      firstRow_(std::max(0, y)),
      endRow_(std::max(firstRow_, std::min(frameHeight, y + height))),
      across_(taps(pictureWidth, width)),
      down_(taps(pictureHeight, height)) {
  // Room for whole SIMD blocks past the last pixel.
  for (auto& row : rows_) row.resize(static_cast<size_t>(endColumn_ - firstColumn_) * 4 + 8);
}

std::vector<PictureScaler::Tap> PictureScaler::taps(int size, int outSize) {
  // Output pixel i's centre, mapped onto the picture's texels; GL clamps
  // the texels at the edges.
  std::vector<Tap> result(static_cast<size_t>(std::max(outSize, 0)));
  auto clamped = [size](int index) { return std::min(std::max(index, 0), size - 1); };
  for (int i = 0; i < outSize; ++i) {
    const double at = (i + 0.5) * size / outSize - 0.5;
    const double low = std::floor(at);
    Tap& tap = result[static_cast<size_t>(i)];
    tap.low = clamped(static_cast<int>(low));
    tap.high = clamped(static_cast<int>(low) + 1);
    tap.weight = static_cast<int>(std::lround((at - low) * kWeightOne));
    if (tap.weight == kWeightOne) {
      tap.low = tap.high;
      tap.weight = 0;
    }
    if (tap.low == tap.high) tap.weight = 0;
  }
  return result;
}

void PictureScaler::scaleRow(const uint8_t* picture, int row, int16_t* out) const {
  const uint8_t* in = picture + static_cast<size_t>(row) * pictureWidth_ * 4;
  int x = firstColumn_;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  const __m128i rounding = _mm_set1_epi32(1 << (kAcrossShift - 1));
  auto pixel = [&](int column) {
    const Tap& tap = across_[static_cast<size_t>(column - viewX_)];
    int32_t a, b;
    std::memcpy(&a, in + tap.low * 4, 4);
    std::memcpy(&b, in + tap.high * 4, 4);
    // Each channel's two texels side by side as 16-bit pairs, weighted
    // and added pairwise.
    const __m128i pairs = _mm_unpacklo_epi8(_mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b)), zero);
    const __m128i weights = _mm_set1_epi32((tap.weight << 16) | (kWeightOne - tap.weight));
    return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), rounding), kAcrossShift);
  };
  for (; x + 2 <= endColumn_; x += 2, out += 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packs_epi32(pixel(x), pixel(x + 1)));
  }
#endif
  for (; x < endColumn_; ++x) {
    const Tap& tap = across_[static_cast<size_t>(x - viewX_)];
    for (int c = 0; c < 4; ++c) *out++ = sampleAcross(in[tap.low * 4 + c], in[tap.high * 4 + c], tap.weight);
  }
}

void PictureScaler::blendRows(const int16_t* low, const int16_t* high, int weight, uint8_t* out, size_t bytes) {
  size_t i = 0;
#ifdef __SSE2__
  const __m128i weights = _mm_set1_epi32((weight << 16) | (kWeightOne - weight));
  const __m128i rounding = _mm_set1_epi32(1 << (kDownShift - 1));
  for (; i + 16 <= bytes; i += 16) {
    __m128i result[2];
    for (int half = 0; half < 2; ++half) {
      const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low + i + 8 * half));
      const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high + i + 8 * half));
      const __m128i first = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(l, h), weights), rounding),
                                           kDownShift);
      const __m128i second = _mm_srai_epi32(
          _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(l, h), weights), rounding), kDownShift);
      result[half] = _mm_packs_epi32(first, second);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(result[0], result[1]));
  }
#endif
  for (; i < bytes; ++i) out[i] = sampleDown(low[i], high[i], weight);
}

void PictureScaler::sampledRows(const uint8_t* picture, int low, int high, const int16_t** lowRow,
                                const int16_t** highRow) {
  // Frame rows come in order (rising or falling), so most frame rows find
  // both picture rows sampled already; a new one takes the slot the other
  // row does not need.
  auto slotOf = [this](int row) { return rowIndex_[0] == row ? 0 : rowIndex_[1] == row ? 1 : -1; };
  int lowSlot = slotOf(low);
  if (lowSlot < 0) {
    lowSlot = slotOf(high) == 0 ? 1 : 0;
    scaleRow(picture, low, rows_[lowSlot].data());
    rowIndex_[lowSlot] = low;
  }
  int highSlot = slotOf(high);
  if (highSlot < 0) {
    highSlot = 1 - lowSlot;
    scaleRow(picture, high, rows_[highSlot].data());
    rowIndex_[highSlot] = high;
  }
  *lowRow = rows_[lowSlot].data();
  *highRow = rows_[highSlot].data();
}

void PictureScaler::fill(uint8_t* out, int pixels, const uint8_t (&pixel)[4]) {
  for (int x = 0; x < pixels; ++x) std::memcpy(out + static_cast<size_t>(x) * 4, pixel, 4);
}

void PictureScaler::frameRow(const uint8_t* picture, int y, uint8_t* out, const uint8_t (&black)[4]) {
  const size_t visibleBytes = static_cast<size_t>(endColumn_ - firstColumn_) * 4;
  if (y < firstRow_ || y >= endRow_ || visibleBytes == 0) {
    fill(out, frameWidth_, black);
    return;
  }
  fill(out, firstColumn_, black);
  fill(out + static_cast<size_t>(endColumn_) * 4, frameWidth_ - endColumn_, black);
  const Tap& tap = down_[static_cast<size_t>(y - viewY_)];
  const int16_t* low = nullptr;
  const int16_t* high = nullptr;
  sampledRows(picture, tap.low, tap.high, &low, &high);
  blendRows(low, high, tap.weight, out + static_cast<size_t>(firstColumn_) * 4, visibleBytes);
}

void PictureScaler::scale(const uint8_t* picture, uint8_t* frame) {
  // Rows sampled across belong to one picture only.
  rowIndex_[0] = rowIndex_[1] = -1;
  static const uint8_t kBlack[4] = {0, 0, 0, 0};
  for (int y = 0; y < frameHeight_; ++y)
    frameRow(picture, y, frame + static_cast<size_t>(y) * frameWidth_ * 4, kBlack);
}

void PictureScaler::scaleToYuv420(const uint8_t* picture, uint8_t* const planes[3], const int strides[3]) {
  // Converted first: the picture has fewer pixels than a magnified frame,
  // and bilinear sampling is linear, so the result differs from converting
  // the frame by the rounding only.
  converted_.resize(static_cast<size_t>(pictureWidth_) * pictureHeight_ * 4);
  bgraToYuvPixels(picture, converted_.size() / 4, converted_.data());
  scaleYuvPixelsToYuv420(converted_.data(), planes, strides);
}

void PictureScaler::scaleYuvPixelsToYuv420(const uint8_t* picture, uint8_t* const planes[3], const int strides[3]) {
  static const uint8_t kBlack[4] = {16, 128, 128, 0};
  rowIndex_[0] = rowIndex_[1] = -1;
  const size_t rowBytes = static_cast<size_t>(frameWidth_) * 4;
  rowPair_.resize(2 * rowBytes);
  for (int top = 0; top + 1 < frameHeight_; top += 2) {
    uint8_t* upper = rowPair_.data();
    uint8_t* lower = upper + rowBytes;
    frameRow(picture, frameHeight_ - 1 - top, upper, kBlack);
    frameRow(picture, frameHeight_ - 2 - top, lower, kBlack);
    yuvRowsToYuv420(upper, lower, frameWidth_, planes[0] + static_cast<size_t>(top) * strides[0],
                     planes[0] + static_cast<size_t>(top + 1) * strides[0],
                     planes[1] + static_cast<size_t>(top / 2) * strides[1],
                     planes[2] + static_cast<size_t>(top / 2) * strides[2]);
  }
}
