#include "capture/frame_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "capture/output_file.h"
#include "util/texture/png_writer.h"

namespace {

// Hidden directories are named after the recording's process, so that one
// killed outright (no chance to clean up) can be told from one still running.
const char kStagingPrefix[] = ".kestrune-frames-";

bool processGone(long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

// The frame pictures in `staging` and then the directory itself; anything
// else in it keeps it there.
void removeStaging(const std::string& staging) {
  if (DIR* dir = ::opendir(staging.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      if (std::strncmp(entry->d_name, "frame_", 6) == 0) ::unlink((staging + "/" + entry->d_name).c_str());
    }
    ::closedir(dir);
  }
  ::rmdir(staging.c_str());
}

void removeStagingOfGoneProcesses(const std::string& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return;
  std::vector<std::string> stale;
  while (dirent* entry = ::readdir(dir)) {
    const size_t prefixLength = sizeof kStagingPrefix - 1;
    if (std::strncmp(entry->d_name, kStagingPrefix, prefixLength) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name + prefixLength, &end, 10);
    if (end != entry->d_name + prefixLength && *end == '-' && processGone(pid)) stale.push_back(entry->d_name);
  }
  ::closedir(dir);
  for (const std::string& name : stale) removeStaging(directory + "/" + name);
}

}  // namespace

FrameDirectory::~FrameDirectory() { abandon(); }

bool FrameDirectory::fail(const std::string& what) {
  error_ = what;
  return false;
}

std::string FrameDirectory::fileName(int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06lld.png", static_cast<long long>(index));
  return name;
}

bool FrameDirectory::create(const std::string& directory) {
  abandon();
  directory_ = directory;
  if (::mkdir(directory.c_str(), 0777) != 0 && errno != EEXIST)
    return fail("cannot make " + directory + ": " + std::strerror(errno));
  removeStagingOfGoneProcesses(directory);
  std::string pattern = directory + "/" + kStagingPrefix + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) return fail("cannot write into " + directory + ": " + std::strerror(errno));
  staging_ = name.data();
  removeAtExit(staging_);
  return true;
}

bool FrameDirectory::write(int64_t index, int width, int height, const uint8_t* bgraBottomUp) {
  rgb_.resize(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const uint8_t* in = bgraBottomUp + static_cast<size_t>(height - 1 - y) * width * 4;
    uint8_t* out = &rgb_[static_cast<size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  const std::string name = fileName(index);
  const std::string path = staging_ + "/" + name;
  removeAtExit(path);
  names_.push_back(name);
  if (!writePng(path, width, height, 3, rgb_)) return fail("cannot write " + path + ": " + std::strerror(errno));
  return true;
}

bool FrameDirectory::commit() {
  for (const std::string& name : names_) {
    const std::string from = staging_ + "/" + name;
    if (::rename(from.c_str(), (directory_ + "/" + name).c_str()) != 0) {
      const std::string why = std::strerror(errno);
      abandon();
      return fail("cannot move " + name + " into " + directory_ + ": " + why);
    }
    forgetRemoveAtExit(from);
  }
  names_.clear();
  ::rmdir(staging_.c_str());
  forgetRemoveAtExit(staging_);
  staging_.clear();
  return true;
}

void FrameDirectory::abandon() {
  if (staging_.empty()) return;
  for (const std::string& name : names_) {
    const std::string path = staging_ + "/" + name;
    ::unlink(path.c_str());
    forgetRemoveAtExit(path);
  }
  names_.clear();
  ::rmdir(staging_.c_str());
  forgetRemoveAtExit(staging_);
  staging_.clear();
}
