#include "util/texture/jpg_loader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "util/data/data.h"
#include "util/texture/decoder_support.h"
#include "util/texture/texture.h"

namespace {

// Progressive files need a few scans; thousands of near-empty ones would each
// walk the whole image.
constexpr int kMaxScans = 100;
// What the library may allocate for its own buffers (the coefficients of a
// progressive image at the pixel cap are about 400 MB).
constexpr long kMaxLibraryMemory = 512L * 1024 * 1024;

// The standard manager, plus a way back into load_jpg: the library's own
// error exit would end the process without a box.
struct ErrorManager {
  jpeg_error_mgr base;
  jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void leaveDecoder(j_common_ptr info) {
  ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->back, 1);
}

void limitScans(j_common_ptr common) {
  j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->input_scan_number > kMaxScans) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(common->err);
    std::snprintf(manager->message, sizeof manager->message, "More than %i scans", kMaxScans);
    std::longjmp(manager->back, 1);
  }
}

// Header read: decodes every row into `picture`, one scanline at a time
// through `row`. Both are owned by the caller, which frees them even when the
// library leaves through leaveDecoder.
bool decodeRows(jpeg_decompress_struct* info, Picture* picture, JSAMPROW* row) {
  info->out_color_space = JCS_RGB;
  // Refused from the header alone, before the library sizes its buffers.
  if (!imageSizeAllowed(info->image_width, info->image_height)) return false;
  jpeg_start_decompress(info);
  const int width = static_cast<int>(info->output_width);
  const int height = static_cast<int>(info->output_height);
  if (info->output_components != 3 || !picture->allocate(width, height)) return false;
  *row = static_cast<JSAMPROW>(std::malloc(static_cast<size_t>(width) * 3));
  if (!*row) return false;
  while (info->output_scanline < info->output_height) {
    int* dst = picture->row(static_cast<int>(info->output_scanline));
    jpeg_read_scanlines(info, row, 1);
    for (int i = 0; i < width * 3; ++i) dst[i] = (*row)[i];
  }
  jpeg_finish_decompress(info);
  return true;
}

}  // namespace

bool load_jpg(const char* fileName, Texture* texture) {
  texture->imageData = nullptr;
  FILE* file = data_open_file(fileName);
  if (!file) return false;

  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = leaveDecoder;
  jpeg_progress_mgr progress;
  progress.progress_monitor = limitScans;
  Picture picture;
  JSAMPROW row = nullptr;
  bool ok = false;
  bool libraryFailed = false;
  if (setjmp(errors.back) == 0) {
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxLibraryMemory;
    info.progress = &progress;
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    ok = decodeRows(&info, &picture, &row);
  } else {
    libraryFailed = true;
  }
  std::free(row);
  jpeg_destroy_decompress(&info);
  std::fclose(file);

  // The library's own words for a corrupt file, in the decoders' plain box.
  if (libraryFailed) {
    decoderErrorBox(errors.message);
    return false;
  }
  if (!ok || picture.width == 0 || picture.height == 0) {
    InvalidTextureBox();
    return false;
  }
  return pictureToTexture(picture, texture);
}
