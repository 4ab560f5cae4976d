#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Puts the show's text picture into a recording's frame on the CPU, as the
// renderer's quad would on the GPU: bilinear samples of the picture over a
// viewport, black around it. Lets the drawing thread stop at the small
// picture while the encoding side does the magnification.
//
// Pictures and frames are 4 bytes a pixel (any channel order, every channel
// scaled alike), the bottom row first, as OpenGL reads them back. Only
// magnification or 1:1 is exact to GL's result: a smaller viewport would
// need GL's mipmaps.
class PictureScaler {
 public:
  // A picture of pictureWidth x pictureHeight into a frame of frameWidth x
  // frameHeight, filling the viewport (x, y, width, height), y counted from
  // the bottom row as glViewport does. The viewport may reach outside the frame.
  PictureScaler(int pictureWidth, int pictureHeight, int frameWidth, int frameHeight, int x, int y, int width,
                int height);

  // True when the viewport is at least the picture's size on both sides.
  static bool magnifies(int pictureWidth, int pictureHeight, int width, int height) {
    return width >= pictureWidth && height >= pictureHeight;
  }

  size_t frameBytes() const { return static_cast<size_t>(frameWidth_) * frameHeight_ * 4; }

  // Writes the whole frame: frameBytes() bytes.
  void scale(const uint8_t* picture, uint8_t* frame);

  // The frame straight into 4:2:0 planes (see yuv420.h), top row first, as
  // video encoders take it; saves the full frame's trip through memory.
  // The picture is converted before it is scaled: within a level of
  // converting scale()'s frame. The frame's width and height must be even.
  void scaleToYuv420(const uint8_t* picture, uint8_t* const planes[3], const int strides[3]);
  // The same from a picture already converted by bgraToYuvPixels.
  void scaleYuvPixelsToYuv420(const uint8_t* picture, uint8_t* const planes[3], const int strides[3]);

 private:
  // For an output column or row: the two picture texels it lies between
  // and the weight of the second in 1/4096.
  struct Tap {
    int low, high;
    int weight;
  };
  static std::vector<Tap> taps(int size, int outSize);
  // The picture's row `row` sampled across the visible part of the viewport.
  void scaleRow(const uint8_t* picture, int row, int16_t* out) const;
  // `bytes` levels between two sampled rows, `weight` of the way to `high`.
  static void blendRows(const int16_t* low, const int16_t* high, int weight, uint8_t* out, size_t bytes);
  // Frame row y (from the bottom), frameWidth * 4 bytes, `black` around the
  // viewport; rows in rising or falling order within one picture.
  void frameRow(const uint8_t* picture, int y, uint8_t* out, const uint8_t (&black)[4]);
  static void fill(uint8_t* out, int pixels, const uint8_t (&pixel)[4]);
  // The two picture rows a frame row blends, sampled across.
  void sampledRows(const uint8_t* picture, int low, int high, const int16_t** lowRow, const int16_t** highRow);

  int pictureWidth_, pictureHeight_, frameWidth_, frameHeight_;
  int viewX_, viewY_;
  int firstColumn_, endColumn_, firstRow_, endRow_;  // the viewport's part inside the frame
  std::vector<Tap> across_, down_;
  // Two picture rows sampled across, 128 times their level, and which
  // rows they are (-1: none yet).
  std::vector<int16_t> rows_[2];
  int rowIndex_[2] = {-1, -1};
  std::vector<uint8_t> rowPair_;    // two frame rows on their way to 4:2:0
  std::vector<uint8_t> converted_;  // the picture in Y, Cb, Cr
};
