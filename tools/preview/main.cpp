// preview: the show's text screen at chosen beats, as PNG files.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "show.h"

namespace {

// out/ in the program's own folder, so that a run from the project root
// leaves its files in the build tree; "preview-out" where that folder
// cannot be found.
std::string defaultOutDir() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "preview-out";
  const std::string program(path, static_cast<size_t>(length));
  return program.substr(0, program.rfind('/') + 1) + "out";
}

}  // namespace

int main(int argc, char** argv) {
  PreviewOptions options;
  std::string error;
  bool help = false;
  if (!parsePreviewArgs(argc, argv, options, error, help)) {
    std::fprintf(stderr, "preview: %s\n\n%s", error.c_str(), previewUsage().c_str());
    return 2;
  }
  if (help) {
    std::fputs(previewUsage().c_str(), stdout);
    return 0;
  }
  if (options.outDir.empty()) options.outDir = defaultOutDir();
  return runPreview(options);
}
