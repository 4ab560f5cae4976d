#pragma once

// A second, separately written model of the text screen and its effects,
// used to check the scenes cell by cell. It shares no code with src/util/ascii:
// pictures, blits, stars, rotozoom, fire and the random sequence are all
// computed here again from their descriptions, so that a misreading in one
// of the two shows up as a differing cell.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class AsciiEngine;

namespace audit {

constexpr int kCols = 80;
constexpr int kRows = 50;
constexpr int kCells = kCols * kRows;

// The expected text screen.
struct Screen {
  unsigned char ch[kCells];
  unsigned char fg[kCells];
  unsigned char bg[kCells];

  Screen() { clear(); }
  void clear();
  void fillWhite();
  // Dropped outside columns 0..79 and rows 0..49.
  void set(int column, int row, int character, int foreground, int background);
  // One character per cell to the right; blanks leave their cell.
  void text(int column, int row, const char* s, int foreground, int background);
};

// The classic runtime generator (seed 1 until seeded), kept apart from the
// program's own sequence so the model can run beside a scene.
struct Rand {
  uint32_t state = 1;
  void seed(uint32_t s) { state = s; }
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// A picture as palette indices, row 0 at the top.
struct Pic {
  int w = 0, h = 0;
  std::vector<unsigned char> v;
  unsigned char at(int x, int y) const { return v[static_cast<size_t>(y) * w + x]; }
};

// File colour numbers (red in bit 0, blue in bit 2) of fileColour(x, y); the
// bytes go into a test archive, `pic` holds what loading them must give.
struct PicFile {
  std::string bytes;
  Pic pic;
};
PicFile makePic(int w, int h, const std::function<int(int, int)>& fileColour);

// A busy pattern of file colours with some transparent (0) elements; `salt`
// makes pictures of one scene differ from each other.
std::function<int(int, int)> busyPattern(int salt);

void blit(Screen& s, const Pic& p, int character, int offsetX, int offsetY);
void rotated(Screen& s, const Pic& p, double angle, double scaleX, double scaleY);
void rotatedClamped(Screen& s, const Pic& p, double angle);
void rowWave(Screen& s, const Pic& p, double phase, double amplitude, double frequency);
void columnWave(Screen& s, const Pic& p, int offsetX, double phase, double amplitude, double frequency);

// The 30 stars of a starfield.
struct Stars {
  int x[30], y[30], speed[30];
  void build(Rand& r);
  void step(Rand& r);
  void draw(Screen& s) const;
};

// A class-wide step clock of the model.
struct Clock {
  bool started = false;
  uint32_t time = 0;
};

// Starfield::update: catch up (clock strictly before now), then draw.
void starsUpdate(Stars& stars, Clock& clock, uint32_t now, Rand& r, Screen& s);

struct Roto {
  int angle = 0, zoom = 0, mirror = 0;
  int dir[256], zt[256];
  Pic tex;
  explicit Roto(const Pic& texture);
  void draw(Screen& s) const;
  void advance(Clock& clock, uint32_t now);
};

struct Fire {
  int sparks = 25, width = 80, height = 50;
  double cooling = 0.5, target = 0.25, rate = 0.002;
  int stopped = 0;
  std::vector<unsigned char> heat;  // one buffer, updated in place
  Fire() : heat(240 * 100, 0) {}
  unsigned char& at(int y, int x) { return heat[static_cast<size_t>(y) * 240 + x]; }
  void drift();
  void tick(Rand& r);
  // `tickAt` gives the tick count read for each sample of the flow.
  void tickShaded(Rand& r, uint32_t tickAt, bool f8, bool f9);
  void draw(Screen& s, int character);
};

// Compares the engine's three planes with the model; names at most a few
// differing cells.
::testing::AssertionResult sameScreen(const AsciiEngine& engine, const Screen& expected);

}  // namespace audit
