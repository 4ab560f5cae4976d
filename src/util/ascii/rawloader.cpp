#include "util/ascii/rawloader.h"

#include <cstdlib>
#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/error.h"

const unsigned char kRawRemap[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

RawReadResult readRawColours(std::FILE* stream, unsigned char* out, long count) {
  RawReadResult result{RawReadResult::kOk, 0, 0};
  for (long i = 0; i < count; ++i) {
    const int b = std::fgetc(stream);
    if (b == EOF) {
      result.status = RawReadResult::kShort;
      result.position = i;
      return result;
    }
    if (b > 15) {
      result.status = RawReadResult::kBadColour;
      result.position = i;
      result.value = b;
      return result;
    }
    out[i] = kRawRemap[b];
  }
  if (std::fgetc(stream) != EOF) {
    result.status = RawReadResult::kLong;
    result.position = count;
  }
  return result;
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
  const RawReadResult read = readRawColours(stream, data, count);
  std::fclose(stream);
  switch (read.status) {
    case RawReadResult::kShort:
      ErrorBox("File %s ends after %li of %li bytes", fileName, read.position, count);
    case RawReadResult::kLong:
      ErrorBox("File %s is longer than %i x %i bytes", fileName, width, height);
    case RawReadResult::kBadColour:
      ErrorBox("File %s holds colour %i at byte %li; colours are 0..15", fileName, read.value,
               read.position);
    case RawReadResult::kOk:
      break;
  }
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
