#pragma once

#include <string>
#include <vector>

// Pictures made by tests/support/make_test_images.py (Python's zlib and
// ImageMagick, never the decoders under test), written once per test process
// into a temporary directory that the process removes when it exits.

// The directory; generates the pictures on first use. Fails the current test
// (and returns "") when the script cannot run.
const std::string& testImageDir();
std::string testImagePath(const std::string& name);

// Whole file as bytes ("" when missing).
std::string readTestFile(const std::string& path);

// What a decoder must deliver for NAME (from NAME.rgba): RGBA, top row first.
struct ExpectedImage {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgba;
  const unsigned char* pixel(int x, int y) const { return rgba.data() + (static_cast<size_t>(y) * width + x) * 4; }
};
ExpectedImage expectedImage(const std::string& name);
