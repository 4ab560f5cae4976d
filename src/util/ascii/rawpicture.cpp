#include "util/ascii/rawpicture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/ascii/rawloader.h"
#include "util/data/data.h"
#include "util/error.h"

RawPicture::RawPicture() : engine(nullptr), width(0), height(0), remap{}, data(nullptr) {}

RawPicture::~RawPicture() { std::free(data); }

RawPicture* RawPicture::load(AsciiEngine* engine_, int width_, int height_, const char* fileName) {
  engine = engine_;
  width = width_;
  height = height_;
  std::memcpy(remap, kRawRemap, sizeof remap);

  // Pictures are at most a few screens; anything else is a caller's mistake.
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
    ErrorBox("Invalid picture size %i x %i for %s", width, height, fileName);
  }
  std::free(data);
  const long count = static_cast<long>(width) * height;
  data = static_cast<unsigned char*>(std::malloc(count));
  if (data == nullptr) ErrorBox("Out of memory loading %s", fileName);

  std::FILE* stream = data_open_file(fileName);
  if (stream == nullptr) ErrorBox("Failed to load file %s", fileName);
  readRawFile(stream, fileName, data, width, height);
  return this;
}

void RawPicture::draw(int character, int offsetX, int offsetY) {
  // 64-bit bounds: no offset, however large, can overflow them.
  const long long firstColumn = offsetX < 0 ? -static_cast<long long>(offsetX) : 0;
  const long long firstRow = offsetY < 0 ? -static_cast<long long>(offsetY) : 0;
  long long endColumn = static_cast<long long>(width) - offsetX;
  long long endRow = static_cast<long long>(height) - offsetY;
  if (endColumn > AsciiEngine::kColumns) endColumn = AsciiEngine::kColumns;
  if (endRow > AsciiEngine::kRows) endRow = AsciiEngine::kRows;

  for (long long r = firstRow; r < endRow; ++r) {
    const unsigned char* row = data + (r + offsetY) * width + offsetX;
    for (long long c = firstColumn; c < endColumn; ++c) {
      const unsigned char v = row[c];
      if (v != 0) engine->setCell(static_cast<int>(c), static_cast<int>(r), character, v, 0);
    }
  }
}

namespace {

// A truncated coordinate as an index below `limit`, or -1 when it lies
// outside 0..limit-1 (also for NaN and values beyond the int range).
long indexBelow(double truncated, long limit) {
  if (!(truncated >= 0.0) || !(truncated < static_cast<double>(limit))) return -1;
  return static_cast<long>(truncated);
}

long clampBelow(double truncated, long limit) {
  if (!(truncated > 0.0)) return 0;  // also NaN
  if (truncated > static_cast<double>(limit - 1)) return limit - 1;
  return static_cast<long>(truncated);
}

int screenWidthOf(int width) { return width < AsciiEngine::kColumns ? width : AsciiEngine::kColumns; }
int screenHeightOf(int height) { return height < AsciiEngine::kRows ? height : AsciiEngine::kRows; }

// Walks the screen area of `picture` turned by `angle` about its centre and
// scaled; `sample` maps the picture coordinates (u, v) of each cell to a
// value, and non-zero values are drawn.
template <typename Sample>
void drawTurned(RawPicture& picture, double angle, double scaleX, double scaleY, Sample sample) {
  const int areaWidth = screenWidthOf(picture.width);
  const int areaHeight = screenHeightOf(picture.height);
  const int cx = picture.width / 2;
  const int cy = picture.height / 2;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  for (int Y = 0; Y < areaHeight; ++Y) {
    const double y = Y - cy;
    for (int X = 0; X < areaWidth; ++X) {
      const double x = X - cx;
      const unsigned char value =
          sample(cx + std::trunc((x * c + y * s) * scaleX), cy + std::trunc((y * c - x * s) * scaleY));
      if (value != 0) picture.engine->setCell(X, Y, kFullBlock, value, 0);
    }
  }
}

}  // namespace

void RawPicture::drawRotated(double angle, double scaleX, double scaleY) {
  drawTurned(*this, angle, scaleX, scaleY, [this](double fu, double fv) -> unsigned char {
    const long u = indexBelow(fu, width);
    const long v = indexBelow(fv, height);
    return u < 0 || v < 0 ? 0 : data[v * width + u];
  });
}

void RawPicture::drawRotatedClamped(double angle) {
  drawTurned(*this, angle, 1.0, 1.0, [this](double fu, double fv) -> unsigned char {
    return data[clampBelow(fv, height) * width + clampBelow(fu, width)];
  });
}

void RawPicture::drawRowWave(double phase, double amplitude, double frequency) {
  // Meant for full-screen pictures; rows and columns the picture does not
  // have are left alone rather than read past its end.
  const int rows = screenHeightOf(height);
  const long columns = screenWidthOf(width);
  for (int r = 0; r < rows; ++r) {
    const double shift = amplitude * std::sin(r * frequency + phase);
    for (int c = 0; c < AsciiEngine::kColumns; ++c) {
      const long u = indexBelow(std::trunc(c + shift), columns);
      if (u < 0) continue;
      engine->setCell(c, r, kFullBlock, data[static_cast<long>(width) * r + u], 0);
    }
  }
}

void RawPicture::drawColumnWave(int offsetX, double phase, double amplitude, double frequency) {
  for (int c = 0; c < AsciiEngine::kColumns; ++c) {
    const long long u = static_cast<long long>(c) + offsetX;
    if (u < 0 || u >= width) continue;
    const double shift = amplitude * std::sin(c * frequency + phase);
    for (int r = 0; r < AsciiEngine::kRows; ++r) {
      const long v = indexBelow(std::trunc(r + shift), height);
      if (v < 0) continue;
      const unsigned char value = data[v * width + u];
      if (value != 0) engine->setCell(c, r, kFullBlock, value, 0);
    }
  }
}
