// preview: the show's text screen at chosen beats, as PNG files.

#include <cstdio>
#include <string>

#include "show.h"

int main(int argc, char** argv) {
  PreviewOptions options;
  std::string error;
  bool help = false;
  if (!parsePreviewArgs(argc, argv, options, error, help)) {
    std::fprintf(stderr, "preview: %s\n\n%s", error.c_str(), previewUsage());
    return 2;
  }
  if (help) {
    std::fputs(previewUsage(), stdout);
    return 0;
  }
  return runPreview(options);
}
