#include "util/ascii/rawloader.h"

#include <cstdlib>
#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/error.h"

const unsigned char kRawRemap[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

void readRawFile(std::FILE* stream, const char* fileName, unsigned char* out, int width, int height) {
  const long count = static_cast<long>(width) * height;
  for (long i = 0; i < count; ++i) {
    const int b = std::fgetc(stream);
    if (b == EOF) {
      std::fclose(stream);
      ErrorBox("File %s ends after %li of %li bytes", fileName, i, count);
    }
    if (b > 15) {
      std::fclose(stream);
      ErrorBox("File %s holds colour %i at byte %li; colours are 0..15", fileName, b, i);
    }
    out[i] = kRawRemap[b];
  }
  const bool longer = std::fgetc(stream) != EOF;
  std::fclose(stream);
  if (longer) ErrorBox("File %s is longer than %i x %i bytes", fileName, width, height);
}

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
