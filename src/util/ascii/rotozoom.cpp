#include "util/ascii/rotozoom.h"

#include <cmath>
#include <cstdio>

#include "util/ascii/asciiengine.h"
#include "util/ascii/rawloader.h"
#include "util/data/data.h"
#include "util/error.h"

Rotozoom::Shared& Rotozoom::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {
constexpr int kSize = 256;
constexpr uint32_t kStepMs = 20;
}  // namespace

Rotozoom::Rotozoom(AsciiEngine* engine_, const char* fileName) : engine(engine_) {
  std::FILE* stream = data_open_file(fileName);
  if (stream == nullptr) ErrorBox("Failed to load file %s!", fileName);
  readRawFile(stream, fileName, texels, kSize, kSize);

  for (int i = 0; i < kSize; ++i) {
    const double s = std::sin(i * 1.41176 * 0.0174532);
    directionTable[i] = static_cast<int>((s + 0.8) * 4096);
    zoomTable[i] = static_cast<int>(s * 2.0 * 4096.0);
  }
  angleIndex = 0;
  zoomIndex = 0;
  mirror = 0;
}

void Rotozoom::stepVector(int* a, int* b) const {
  const int p = directionTable[angleIndex & 255];
  const int q = directionTable[(angleIndex + 128) & 255];
  const int z = 10 * zoomTable[zoomIndex & 255];
  *a = (p * z) >> 12;
  *b = (q * z) >> 12;
}

void Rotozoom::drawAndAdvance(uint32_t now) {
  int a, b;
  stepVector(&a, &b);

  // Where (x, y) lands on the screen: flip the row and/or the column.
  const bool flipRows = mirror == 1 || mirror == 3;
  const bool flipColumns = mirror == 2 || mirror == 3;
  for (int y = 0; y < AsciiEngine::kRows; ++y) {
    int u = -y * b;
    int v = y * a;
    const int row = flipRows ? AsciiEngine::kRows - 1 - y : y;
    unsigned char* chars = engine->chars + row * AsciiEngine::kColumns;
    unsigned char* fg = engine->fg + row * AsciiEngine::kColumns;
    unsigned char* bg = engine->bg + row * AsciiEngine::kColumns;
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int column = flipColumns ? AsciiEngine::kColumns - 1 - x : x;
      chars[column] = kFullBlock;
      fg[column] = texels[((v >> 12) & 255) * kSize + ((u >> 12) & 255)];
      bg[column] = 0;
      u += a;
      v += b;
    }
  }

  shared(*engine).step.start(now, 1);
  const uint32_t steps = shared(*engine).step.takeDue(now, kStepMs);
  if (steps > 0) {
    const int turn = static_cast<int>(steps & 255u);
    angleIndex = (angleIndex - turn) & 255;
    zoomIndex = (zoomIndex + turn) & 255;
  }
}
