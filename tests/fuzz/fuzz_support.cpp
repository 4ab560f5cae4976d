#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "fuzz_target.h"
#include "util/boxes.h"

namespace fuzz {
namespace {

class ThrowingPresenter : public BoxPresenter {
 public:
  void message(const char* title, const char* text) override {
    if (std::getenv("KESTRUNE_FUZZ_VERBOSE")) std::fprintf(stderr, "box: %s\n%s\n", title, text);
    if (std::strncmp(title, "Error", 5) == 0) throw FatalReport{text};
  }
  bool askOkCancel(const char*, const char* text) override { throw FatalReport{text}; }
};

std::string scratchPath() {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/kestrune-fuzz-" + std::to_string(getpid()) + ".bin";
}

void removeScratchFile() { std::remove(scratchPath().c_str()); }

}  // namespace

void catchFatalReports() {
  static ThrowingPresenter presenter;
  static bool installed = false;
  if (installed) return;
  setBoxPresenter(&presenter);
  installed = true;
}

const char* writeScratchFile(const uint8_t* data, size_t size) {
  static const std::string path = scratchPath();
  static bool registered = false;
  if (!registered) {
    std::atexit(removeScratchFile);
    registered = true;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  return path.c_str();
}

std::string readFixture(const char* name) {
  const std::string path = std::string(KESTRUNE_FUZZ_DIR) + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "missing fuzz fixture %s\n", path.c_str());
    std::abort();
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace fuzz
