// flashscan: measures the flashing in a recording's PNG frames
// (kestrune --frames DIR), window by window, and says whether it keeps to
// three general and three red flashes a second.
//
//   flashscan [--fps N] [--areas COLUMNSxROWS] [--beat SECONDS] DIR
//
// Exit code 0 when it does, 1 when it does not, 2 on bad input.

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flash_scan.h"
#include "util/data/data.h"
#include "util/texture/png_loader.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: flashscan [--fps N] [--areas COLUMNSxROWS] [--beat SECONDS] FRAME_DIRECTORY\n");
  return 2;
}

bool positive(const char* text, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 1 || v > 100000) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int fps = 60, columns = 80, rows = 50;
  double beatSeconds = 0.3;
  std::string dir;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--fps" && hasValue) {
      if (!positive(argv[++i], &fps)) return usage();
    } else if (arg == "--areas" && hasValue) {
      const std::string v = argv[++i];
      const size_t x = v.find('x');
      if (x == std::string::npos || !positive(v.substr(0, x).c_str(), &columns) ||
          !positive(v.substr(x + 1).c_str(), &rows))
        return usage();
    } else if (arg == "--beat" && hasValue) {
      beatSeconds = std::atof(argv[++i]);
      if (!(beatSeconds > 0)) return usage();
    } else if (!arg.empty() && arg[0] != '-' && dir.empty()) {
      dir = arg;
    } else {
      return usage();
    }
  }
  if (dir.empty()) return usage();

  // A recording from a later beat numbers its frames from there.
  int first = -1;
  if (DIR* listing = opendir(dir.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      int n = 0;
      char tail = 0;
      if (std::sscanf(entry->d_name, "frame_%d.pn%c", &n, &tail) == 2 && tail == 'g' && n >= 0 &&
          (first < 0 || n < first))
        first = n;
    }
    closedir(listing);
  }
  if (first < 0) {
    std::fprintf(stderr, "flashscan: no frame_NNNNNN.png in %s\n", dir.c_str());
    return 2;
  }

  data_mode = DATA_MODE_DISK;
  FlashScan scan(columns, rows, fps, first);
  for (int n = first;; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06d.png", n);
    const std::string path = dir + name;
    RawPngDecoder png;
    const PngDecoder::Result result = png.decode(path.c_str());
    if (result == PngDecoder::Result::kNotPng && n > first) {
      FILE* file = std::fopen(path.c_str(), "rb");
      if (file == nullptr) break;  // the end of the recording
      std::fclose(file);
    }
    if (result != PngDecoder::Result::kDecoded || png.width < columns || png.height < rows) {
      std::fprintf(stderr, "flashscan: %s is not a usable PNG frame\n", path.c_str());
      return 2;
    }
    // The decoder leaves RGBA bottom row first; the scan takes RGB top first.
    std::string rgb(static_cast<size_t>(png.width) * png.height * 3, '\0');
    for (int y = 0; y < png.height; ++y) {
      const unsigned char* from = png.pixels + static_cast<size_t>(png.height - 1 - y) * png.width * 4;
      unsigned char* to = reinterpret_cast<unsigned char*>(&rgb[static_cast<size_t>(y) * png.width * 3]);
      for (int x = 0; x < png.width; ++x) std::memcpy(to + x * 3, from + x * 4, 3);
    }
    scan.addFrame(reinterpret_cast<const unsigned char*>(rgb.data()), png.width, png.height);
  }
  std::fputs(describeScan(scan, beatSeconds).c_str(), stdout);
  return scan.worstGeneral() <= 3.0 && scan.worstRed() <= 3.0 ? 0 : 1;
}
