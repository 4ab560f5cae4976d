#pragma once

#include <cstdint>
#include <cstdio>

#include "util/image/image_limits.h"

class Texture;

// Helpers shared by the image decoders. Decoders report in plain, non-fatal
// boxes and hand failure back to Texture::load, which stops the program.

// The plain box titled "ERROR at <source>:<line>" with the text
// "Invalid texture information".
void invalidTextureBoxAt(const char* file, int line);
#define InvalidTextureBox() invalidTextureBoxAt(__FILE__, __LINE__)

// A plain box titled "ERROR".
void decoderErrorBox(const char* text);

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
