#include "util/ascii/plasma.h"

#include <cmath>

#include "util/ascii/asciiengine.h"

Plasma::Shared& Plasma::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {
// Eight bands of 32: dark blue, blue, dark cyan, cyan, white, light grey,
// dark grey, black.
constexpr unsigned char kBands[8] = {1, 9, 3, 11, 15, 7, 8, 0};
}  // namespace

Plasma::Plasma(AsciiEngine* engine)
    : engine(engine), p1(0), p2(0), p3(0), p4(0), i1(0), i2(0), i3(0), i4(0) {
  for (int i = 0; i < 512; ++i) sine[i] = static_cast<int32_t>(std::sin(i * 0.703125 * 0.0174532) * 1024.0);
  for (int i = 0; i < 256; ++i) colours[i] = kBands[i / 32];
}

void Plasma::drawAndAdvance(uint32_t now) {
  for (int row = 0; row < AsciiEngine::kRows; ++row) {
    const int y = 10 * row + 9;
    i3 = (p3 + y) & 511;
    i4 = (p4 + 3 * y) & 511;
    const int32_t rowPart = sine[i3] + sine[i4];
    for (int column = 0; column < AsciiEngine::kColumns; ++column) {
      const int x = 10 * column + 9;
      i1 = (p1 + 5 + 5 * x) & 511;
      i2 = (p2 + 3 + 3 * x) & 511;
      const int32_t value = sine[i1] + sine[i2] + rowPart;
      engine->setCell(column, row, kLightShade, colours[((value >> 4) + 128) & 255], 0);
    }
  }
  shared(*engine).step.catchUp(now, kTickMs, [this] {
    p1 -= 10;
    p3 += 5;
  });
}
