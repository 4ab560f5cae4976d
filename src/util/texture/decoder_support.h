#pragma once

#include <cstdint>
#include <cstdio>

class Texture;

// Helpers shared by the image decoders. Decoders report in plain, non-fatal
// boxes and hand failure back to Texture::load, which stops the program.

// The plain box titled "ERROR at <source>:<line>" with the text
// "Invalid texture information".
void invalidTextureBoxAt(const char* file, int line);
#define InvalidTextureBox() invalidTextureBoxAt(__FILE__, __LINE__)

// A plain box titled "ERROR".
void decoderErrorBox(const char* text);

// Most pixels any decoder accepts: 2^26 (8192 x 8192, 256 MB of RGBA). Every
// decoder checks the declared size against it before allocating, so a small
// hostile header can never ask for gigabytes; the show's pictures are far
// smaller.
constexpr int64_t kMaxImagePixels = int64_t{1} << 26;
// Longest side a PNG may declare (the most TGA and JPEG can hold as well).
constexpr uint32_t kMaxImageSide = 65535;

// True when a declared width x height is positive and within kMaxImagePixels.
bool imageSizeAllowed(int64_t width, int64_t height);

// Bytes left between the stream's position and its end (-1 when unknown).
int64_t bytesLeft(FILE* file);

// A decoded picture, top row first, three ints (red, green, blue) per pixel.
struct Picture {
  int width = 0;
  int height = 0;
  int* pixels = nullptr;  // malloc'd, width * height * 3

  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  // Allocates the pixel rows; false when the size is negative, too large or
  // the memory cannot be had.
  bool allocate(int width, int height);
  int* row(int r) { return pixels + static_cast<int64_t>(r) * width * 3; }
};

// Hands the picture to the texture as a 32-bit RGBA buffer, bottom row first,
// alpha 255. False when the buffer cannot be allocated.
bool pictureToTexture(const Picture& picture, Texture* texture);
