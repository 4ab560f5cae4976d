#include "support/test_images.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string g_dir;
pid_t g_owner = 0;

void removeDir() {
  // Death-test children share the directory; only its creator removes it.
  std::error_code ignored;
  if (!g_dir.empty() && getpid() == g_owner) std::filesystem::remove_all(g_dir, ignored);
}

}  // namespace

const std::string& testImageDir() {
  if (!g_dir.empty()) return g_dir;
  const char* source = std::getenv("KESTRUNE_SOURCE_DIR");
  if (!source) {
    ADD_FAILURE() << "KESTRUNE_SOURCE_DIR must name the source tree";
    return g_dir;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrune-images-XXXXXX";
  std::vector<char> buffer(templ.begin(), templ.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) {
    ADD_FAILURE() << "mkdtemp failed";
    return g_dir;
  }
  const std::string dir = buffer.data();
  const std::string command = std::string("python3 '") + source + "/tests/support/make_test_images.py' '" + dir + "'";
  if (std::system(command.c_str()) != 0) {
    ADD_FAILURE() << "failed: " << command;
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return g_dir;
  }
  g_dir = dir;
  g_owner = getpid();
  std::atexit(removeDir);
  return g_dir;
}

std::string testImagePath(const std::string& name) { return testImageDir() + "/" + name; }

std::string readTestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ExpectedImage expectedImage(const std::string& name) {
  ExpectedImage image;
  const std::string bytes = readTestFile(testImagePath(name + ".rgba"));
  if (bytes.size() < 8) {
    ADD_FAILURE() << "no expected pixels for " << name;
    return image;
  }
  uint32_t w, h;
  std::memcpy(&w, bytes.data(), 4);
  std::memcpy(&h, bytes.data() + 4, 4);
  image.width = static_cast<int>(w);
  image.height = static_cast<int>(h);
  image.rgba.assign(bytes.begin() + 8, bytes.end());
  if (image.rgba.size() != static_cast<size_t>(w) * h * 4) ADD_FAILURE() << "bad expected pixels for " << name;
  return image;
}
