#include "util/texture/png_loader.h"

#include <epoxy/gl.h>

#include "util/texture/decoder_support.h"
#include "util/texture/texture.h"

bool load_png(const char* fileName, Texture* texture) {
  texture->imageData = nullptr;
  RawPngDecoder decoder;
  const PngDecoder::Result result = decoder.decode(fileName);
  if (result == PngDecoder::Result::kNotPng) return false;
  if (result == PngDecoder::Result::kCorrupt || decoder.width == 0 || decoder.height == 0) {
    InvalidTextureBox();
    return false;
  }
  texture->imageData = decoder.pixels;
  decoder.pixels = nullptr;
  texture->bpp = 32;
  texture->width = decoder.width;
  texture->height = decoder.height;
  texture->format = GL_RGBA;
  return true;
}
