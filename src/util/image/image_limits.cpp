#include "util/image/image_limits.h"

bool imageSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImagePixels && height <= kMaxImagePixels &&
         width * height <= kMaxImagePixels;
}

int64_t bytesLeft(FILE* file) {
  long here = std::ftell(file);
  if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
  long end = std::ftell(file);
  if (std::fseek(file, here, SEEK_SET) != 0 || end < 0) return -1;
  // A position past the end (a seek beyond it succeeds) has nothing left.
  return end > here ? end - here : 0;
}
