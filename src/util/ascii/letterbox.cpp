#include "util/ascii/letterbox.h"

Letterbox computeLetterbox(int width, int height, float aspect) {
  Letterbox box{};
  // Double precision: the stored float aspect is slightly above the exact
  // ratio, so a window of exactly that ratio keeps its width and loses a row.
  const double ratio = static_cast<double>(width) / (height != 0 ? height : 1);
  if (ratio > aspect) {
    box.width = static_cast<int>(height * static_cast<double>(aspect));
    box.height = height;
  } else {
    box.width = width;
    box.height = static_cast<int>(width / static_cast<double>(aspect));
  }
  box.x = (width - box.width) / 2;
  box.y = (height - box.height) / 2;
  return box;
}
