#include "util/ascii/rawloader.h"

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
  // Bytes past width x height belong to no picture element and are ignored.
  std::fclose(stream);
}
