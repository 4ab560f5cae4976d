#include "util/texture/tga_loader.h"

#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>

#include "platform/messagebox.h"
#include "util/data/data.h"
#include "util/texture/decoder_support.h"
#include "util/texture/texture.h"

namespace {

const unsigned char kUncompressedHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const unsigned char kCompressedHeader[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Fails the load: shows the box (if any), frees the buffer, closes the file.
bool fail(FILE* file, Texture* texture, const char* text) {
  if (text) decoderErrorBox(text);
  std::free(texture->imageData);
  texture->imageData = nullptr;
  if (file) std::fclose(file);
  return false;
}

// Swaps B, G, R(, A) into R, G, B(, A).
void swapRedBlue(unsigned char* pixels, int64_t count, int bytesPerPixel) {
  for (int64_t i = 0; i < count; ++i) {
    unsigned char* p = pixels + i * bytesPerPixel;
    unsigned char t = p[0];
    p[0] = p[2];
    p[2] = t;
  }
}

bool readUncompressed(FILE* file, Texture* texture, int64_t size) {
  // A file too short for the image fails like the read itself would, before
  // a buffer of the declared size is asked for.
  int64_t left = bytesLeft(file);
  if (left >= 0 && left < size) return fail(file, texture, "Could not read image data");
  texture->imageData = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
  if (!texture->imageData) return fail(file, texture, "Could not allocate memory for image");
  if (std::fread(texture->imageData, 1, static_cast<size_t>(size), file) != static_cast<size_t>(size)) {
    return fail(file, texture, "Could not read image data");
  }
  swapRedBlue(texture->imageData, size / (texture->bpp / 8), texture->bpp / 8);
  return true;
}

// The buffer grows with the pixels actually decoded, so a header that
// promises more than the file holds never costs its full size.
bool ensureCapacity(Texture* texture, int64_t needed, int64_t* capacity, int64_t size) {
  if (needed <= *capacity) return true;
  int64_t grown = *capacity;
  while (grown < needed) grown *= 2;
  if (grown > size) grown = size;
  void* p = std::realloc(texture->imageData, static_cast<size_t>(grown));
  if (!p) return false;
  texture->imageData = static_cast<unsigned char*>(p);
  *capacity = grown;
  return true;
}

bool readCompressed(FILE* file, Texture* texture, int64_t pixelCount) {
  const int bytesPerPixel = texture->bpp / 8;
  const int64_t size = pixelCount * bytesPerPixel;
  int64_t capacity = size < (1 << 16) ? size : (1 << 16);
  texture->imageData = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(capacity)));
  if (!texture->imageData) return fail(file, texture, "Could not allocate memory for image");

  unsigned char pixel[4];
  int64_t stored = 0;
  while (stored < pixelCount) {
    int header = std::fgetc(file);
    if (header == EOF) return fail(file, texture, "Could not read RLE header");
    const bool run = header >= 128;
    const int64_t count = run ? header - 127 : header + 1;
    if (stored + count > pixelCount) return fail(file, texture, "Too many pixels read");
    if (!ensureCapacity(texture, (stored + count) * bytesPerPixel, &capacity, size)) {
      return fail(file, texture, "Could not allocate memory for image");
    }
    if (run) {
      if (std::fread(pixel, 1, bytesPerPixel, file) != static_cast<size_t>(bytesPerPixel)) {
        return fail(file, texture, "Could not read from file");
      }
      swapRedBlue(pixel, 1, bytesPerPixel);
      for (int64_t i = 0; i < count; ++i, ++stored) {
        std::memcpy(texture->imageData + stored * bytesPerPixel, pixel, bytesPerPixel);
      }
    } else {
      for (int64_t i = 0; i < count; ++i, ++stored) {
        if (std::fread(pixel, 1, bytesPerPixel, file) != static_cast<size_t>(bytesPerPixel)) {
          return fail(file, texture, "Could not read image data");
        }
        swapRedBlue(pixel, 1, bytesPerPixel);
        std::memcpy(texture->imageData + stored * bytesPerPixel, pixel, bytesPerPixel);
      }
    }
  }
  return true;
}

}  // namespace

bool load_tga(const char* fileName, Texture* texture) {
  texture->imageData = nullptr;
  FILE* file = data_open_file(fileName);
  if (!file) return fail(nullptr, texture, "Could not open texture file");

  unsigned char header[12];
  if (std::fread(header, 1, sizeof header, file) != sizeof header) {
    return fail(file, texture, "Could not read file header");
  }
  const bool compressed = std::memcmp(header, kCompressedHeader, sizeof header) == 0;
  if (!compressed && std::memcmp(header, kUncompressedHeader, sizeof header) != 0) {
    std::fclose(file);
    showMessageBox("Invalid Image", "TGA file be type 2 or type 10 ");
    return false;
  }

  unsigned char info[6];
  if (std::fread(info, 1, sizeof info, file) != sizeof info) {
    return fail(file, texture, "Could not read info header");
  }
  const int width = info[0] | (info[1] << 8);
  const int height = info[2] | (info[3] << 8);
  const int bits = info[4];
  // The pixel cap of every decoder, before any buffer is sized.
  if (!imageSizeAllowed(width, height) || (bits != 24 && bits != 32)) {
    std::fclose(file);
    InvalidTextureBox();
    return false;
  }
  texture->width = width;
  texture->height = height;
  texture->bpp = bits;
  texture->format = bits == 24 ? GL_RGB : GL_RGBA;

  const int64_t pixelCount = static_cast<int64_t>(width) * height;
  const bool ok = compressed ? readCompressed(file, texture, pixelCount)
                             : readUncompressed(file, texture, pixelCount * (bits / 8));
  if (!ok) return false;
  std::fclose(file);
  return true;
}
