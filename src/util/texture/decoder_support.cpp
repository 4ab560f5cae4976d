#include "util/texture/decoder_support.h"

#include <epoxy/gl.h>

#include <cstdlib>

#include "platform/messagebox.h"
#include "util/error.h"
#include "util/texture/texture.h"

void invalidTextureBoxAt(const char* file, int line) {
  const LocationCaption caption = formatLocationCaption("ERROR at", file, line);
  showMessageBox(caption.text, "Invalid texture information");
}

void decoderErrorBox(const char* text) { showMessageBox("ERROR", text); }

Picture::~Picture() { std::free(pixels); }

bool Picture::allocate(int w, int h) {
  std::free(pixels);
  pixels = nullptr;
  width = height = 0;
  if (w < 0 || h < 0) return false;
  const int64_t count = static_cast<int64_t>(w) * h;
  if (count > 0 && !imageSizeAllowed(w, h)) return false;
  if (count > 0) {
    pixels = static_cast<int*>(std::malloc(static_cast<size_t>(count) * 3 * sizeof(int)));
    if (!pixels) return false;
  }
  width = w;
  height = h;
  return true;
}

bool pictureToTexture(const Picture& picture, Texture* texture) {
  const int w = picture.width;
  const int h = picture.height;
  unsigned char* buffer = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(w) * h * 4));
  if (!buffer) return false;
  for (int r = 0; r < h; ++r) {
    const int* src = picture.pixels + static_cast<int64_t>(r) * w * 3;
    unsigned char* dst = buffer + static_cast<int64_t>(h - 1 - r) * w * 4;
    for (int x = 0; x < w; ++x) {
      dst[x * 4 + 0] = static_cast<unsigned char>(src[x * 3 + 0]);
      dst[x * 4 + 1] = static_cast<unsigned char>(src[x * 3 + 1]);
      dst[x * 4 + 2] = static_cast<unsigned char>(src[x * 3 + 2]);
      dst[x * 4 + 3] = 255;
    }
  }
  texture->imageData = buffer;
  texture->bpp = 32;
  texture->width = w;
  texture->height = h;
  texture->format = GL_RGBA;
  return true;
}
