#include "util/texture/jpg_loader.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>
#include <jerror.h>

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
  void (*standardMessage)(j_common_ptr, int);
  jmp_buf back;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void leaveDecoder(j_common_ptr info) {
  ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->back, 1);
}

// Data that ends before the picture does is a damaged file: the library would
// otherwise invent every missing row, so a few hundred bytes could claim
// millions of pixels of decoding. Other warnings keep the standard handling.
void watchWarnings(j_common_ptr info, int level) {
  const int code = info->err->msg_code;
  if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) leaveDecoder(info);
  reinterpret_cast<ErrorManager*>(info->err)->standardMessage(info, level);
}

void limitScans(j_common_ptr common) {
  j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->input_scan_number > kMaxScans) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(common->err);
    std::snprintf(manager->message, sizeof manager->message, "More than %i scans", kMaxScans);
    std::longjmp(manager->back, 1);
  }
}

// Header read: decodes the rows straight into `*pixels` (RGBA, bottom row
// first), one scanline at a time through `*row`. Both are malloc'd here and
// owned by the caller, which frees them even when the library leaves through
// leaveDecoder.
bool decodeRows(jpeg_decompress_struct* info, unsigned char** pixels, JSAMPROW* row) {
  info->out_color_space = JCS_RGB;
  // Refused from the header alone, before the library sizes its buffers.
  if (!imageSizeAllowed(info->image_width, info->image_height)) return false;
  jpeg_start_decompress(info);
  const int64_t width = info->output_width;
  const int64_t height = info->output_height;
  if (info->output_components != 3 || !imageSizeAllowed(width, height)) return false;
  *pixels = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(width * height * 4)));
  *row = static_cast<JSAMPROW>(std::malloc(static_cast<size_t>(width) * 3));
  if (!*pixels || !*row) return false;
  while (info->output_scanline < info->output_height) {
    unsigned char* dst = *pixels + (height - 1 - info->output_scanline) * width * 4;
    jpeg_read_scanlines(info, row, 1);
    for (int64_t x = 0; x < width; ++x) {
      dst[x * 4 + 0] = (*row)[x * 3 + 0];
      dst[x * 4 + 1] = (*row)[x * 3 + 1];
      dst[x * 4 + 2] = (*row)[x * 3 + 2];
      dst[x * 4 + 3] = 255;
    }
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
  errors.standardMessage = errors.base.emit_message;
  errors.base.emit_message = watchWarnings;
  jpeg_progress_mgr progress;
  progress.progress_monitor = limitScans;
  unsigned char* pixels = nullptr;
  JSAMPROW row = nullptr;
  bool ok = false;
  bool libraryFailed = false;
  if (setjmp(errors.back) == 0) {
    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxLibraryMemory;
    info.progress = &progress;
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    ok = decodeRows(&info, &pixels, &row);
  } else {
    libraryFailed = true;
  }
  std::free(row);
  const int width = static_cast<int>(info.output_width);
  const int height = static_cast<int>(info.output_height);
  jpeg_destroy_decompress(&info);
  std::fclose(file);

  // The library's own words for a corrupt file, in the decoders' plain box.
  if (libraryFailed) {
    std::free(pixels);
    decoderErrorBox(errors.message);
    return false;
  }
  if (!ok || width == 0 || height == 0) {
    std::free(pixels);
    InvalidTextureBox();
    return false;
  }
  texture->imageData = pixels;
  texture->bpp = 32;
  texture->width = width;
  texture->height = height;
  texture->format = GL_RGBA;
  return true;
}
