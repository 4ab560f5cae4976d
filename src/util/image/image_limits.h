#pragma once

#include <cstdint>
#include <cstdio>

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
