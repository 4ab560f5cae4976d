#pragma once

// Helpers of the text-effect and scene tests: a hand-driven tick count,
// pictures made in code, raw file bytes and screen snapshots.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "support/test_ticks.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/rawpicture.h"

// The tick count the code under test reads, set by the test. The effect
// clocks are process-wide and never reset, so tests place `now` relative to
// them rather than at fixed values.
class ManualTicks {
 public:
  explicit ManualTicks(uint32_t start) { now = start; }
  static inline uint32_t& now = testTicks();
};

using PixelFn = std::function<int(int x, int y)>;

// Fills `picture` in memory (palette indices) without going through a file.
inline void makePicture(RawPicture& picture, AsciiEngine* engine, int width, int height, PixelFn fn) {
  picture.engine = engine;
  picture.width = width;
  picture.height = height;
  std::free(picture.data);
  picture.data = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(width) * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.data[y * width + x] = static_cast<unsigned char>(fn(x, y));
}

// ".raw" file bytes (red in bit 0, blue in bit 2) of palette indices fn(x, y).
inline std::string rawFile(int width, int height, PixelFn fn) {
  std::string bytes;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int v = fn(x, y);
      bytes.push_back(static_cast<char>((v & 0xA) | ((v & 1) << 2) | ((v & 4) >> 2)));
    }
  }
  return bytes;
}

struct Screen {
  unsigned char chars[AsciiEngine::kCells];
  unsigned char fg[AsciiEngine::kCells];
  unsigned char bg[AsciiEngine::kCells];

  explicit Screen(const AsciiEngine& e) {
    std::memcpy(chars, e.chars, sizeof chars);
    std::memcpy(fg, e.fg, sizeof fg);
    std::memcpy(bg, e.bg, sizeof bg);
  }
  bool operator==(const Screen& o) const {
    return std::memcmp(chars, o.chars, sizeof chars) == 0 && std::memcmp(fg, o.fg, sizeof fg) == 0 &&
           std::memcmp(bg, o.bg, sizeof bg) == 0;
  }
};

inline int cellIndex(int column, int row) { return row * AsciiEngine::kColumns + column; }

// Every cell set to a marker no effect writes: character 1, colours 3 on 5.
inline void markScreen(AsciiEngine& e) {
  std::memset(e.chars, 1, sizeof e.chars);
  std::memset(e.fg, 3, sizeof e.fg);
  std::memset(e.bg, 5, sizeof e.bg);
}

inline bool isMarked(const AsciiEngine& e, int column, int row) {
  const int i = cellIndex(column, row);
  return e.chars[i] == 1 && e.fg[i] == 3 && e.bg[i] == 5;
}

// Counts the presents handed to the renderer.
class CountingRenderer : public ScreenRenderer {
 public:
  void present(const AsciiEngine&) override { ++frames; }
  int frames = 0;
};
