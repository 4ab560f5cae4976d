#include "util/texture/jpg_loader.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "util/data/data.h"
#include "util/texture/decoder_support.h"
#include "util/texture/texture.h"

bool load_jpg(const char* fileName, Texture* texture) {
  texture->imageData = nullptr;
  FILE* file = data_open_file(fileName);
  if (!file) return false;

  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);

  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  const int components = info.output_components;
  Picture picture;
  // A picture this program could never hold (or an RGB output that is not
  // three components) is refused before the rows are allocated.
  bool ok = components == 3 && picture.allocate(width, height);
  JSAMPARRAY rows = nullptr;
  if (ok && height > 0) {
    rows = static_cast<JSAMPARRAY>(std::calloc(height, sizeof(JSAMPROW)));
    ok = rows != nullptr;
    for (int r = 0; ok && r < height; ++r) {
      rows[r] = static_cast<JSAMPROW>(std::malloc(static_cast<size_t>(width) * components));
      ok = rows[r] != nullptr;
    }
  }
  if (ok) {
    while (info.output_scanline < info.output_height) {
      jpeg_read_scanlines(&info, rows + info.output_scanline, info.output_height - info.output_scanline);
    }
    for (int r = 0; r < height; ++r) {
      int* dst = picture.row(r);
      for (int i = 0; i < width * 3; ++i) dst[i] = rows[r][i];
    }
    jpeg_finish_decompress(&info);
  }
  if (rows) {
    for (int r = 0; r < height; ++r) std::free(rows[r]);
    std::free(rows);
  }
  jpeg_destroy_decompress(&info);
  std::fclose(file);

  if (!ok || width == 0 || height == 0) {
    InvalidTextureBox();
    return false;
  }
  return pictureToTexture(picture, texture);
}
