#include "util/texture/bmp_loader.h"

#include <cstdlib>

#include "util/data/data.h"
#include "util/texture/decoder_support.h"
#include "util/texture/texture.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

uint32_t le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

int le16(const unsigned char* p) { return p[0] | (p[1] << 8); }

// Every failure of this reader is silent; Texture::load reports it.
bool fail(FILE* file) {
  std::fclose(file);
  return false;
}

}  // namespace

bool load_bmp(const char* fileName, Texture* texture) {
  texture->imageData = nullptr;
  FILE* file = data_open_file(fileName);
  if (!file) return false;

  unsigned char fileHeader[kFileHeaderSize];
  unsigned char info[kInfoHeaderSize];
  if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader) return fail(file);
  if (std::fread(info, 1, sizeof info, file) != sizeof info) return fail(file);

  const uint32_t dataOffset = le32(fileHeader + 10);
  const int width = static_cast<int32_t>(le32(info + 4));
  const int height = static_cast<int32_t>(le32(info + 8));
  const int bitCount = le16(info + 14);
  const uint32_t compression = le32(info + 16);
  const int64_t imageSize = le32(info + 20);
  const uint32_t coloursUsed = le32(info + 32);
  const uint32_t importantColours = le32(info + 36);
  if (bitCount != 24 || compression != 0 || (coloursUsed != 0 && importantColours != 0)) {
    return fail(file);
  }
  // Top-down (negative height) and mirrored (negative width) files are not
  // read.
  if (width < 0 || height < 0) return fail(file);
  // An empty picture has no rows worth reading; one past the pixel cap is
  // never allocated.
  if (width == 0 || height == 0) {
    std::fclose(file);
    InvalidTextureBox();
    return false;
  }
  if (!imageSizeAllowed(width, height)) return fail(file);
  if (std::fseek(file, static_cast<long>(dataOffset), SEEK_SET) != 0) return fail(file);

  const int64_t rowBytes = static_cast<int64_t>(width) * 3;
  const int64_t rowSkip = (imageSize - rowBytes * height) / height;
  // An image-size field smaller than the pixels (0 included) would step
  // backwards through the file.
  if (rowSkip < 0) return fail(file);
  // Rows that cannot all be in the file fail as reading them would, before
  // the picture is allocated (an offset past the end leaves no bytes).
  const int64_t left = bytesLeft(file);
  if (left < 0 || (rowBytes + rowSkip) * (height - 1) + rowBytes > left) return fail(file);

  Picture picture;
  if (!picture.allocate(width, height)) return fail(file);
  for (int r = height - 1; r >= 0; --r) {
    int* row = picture.row(r);
    for (int x = 0; x < width; ++x) {
      int blue = std::fgetc(file);
      int green = blue == EOF ? EOF : std::fgetc(file);
      int red = green == EOF ? EOF : std::fgetc(file);
      if (red == EOF) return fail(file);
      row[x * 3 + 0] = red;
      row[x * 3 + 1] = green;
      row[x * 3 + 2] = blue;
    }
    if (std::fseek(file, static_cast<long>(rowSkip), SEEK_CUR) != 0) return fail(file);
  }
  std::fclose(file);
  return pictureToTexture(picture, texture);
}
