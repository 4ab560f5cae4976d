// One image decoder (FUZZ_DECODER: load_png, load_tga, load_bmp or load_jpg)
// on arbitrary file contents: it either delivers a picture or fails through
// its own path, within the decoders' pixel cap.
#include <cstdlib>

#include "fuzz_target.h"
#include "util/texture/bmp_loader.h"
#include "util/texture/jpg_loader.h"
#include "util/texture/png_loader.h"
#include "util/texture/texture.h"
#include "util/texture/tga_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::catchFatalReports();
  Texture texture;
  if (FUZZ_DECODER(fuzz::writeScratchFile(data, size), &texture)) {
    if (!texture.imageData || texture.width <= 0 || texture.height <= 0) std::abort();
  } else if (texture.imageData) {
    std::abort();  // a failed load leaves no pixels behind
  }
  std::free(texture.imageData);
  return 0;
}
