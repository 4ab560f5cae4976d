#include "capture/frame_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/output_file.h"
#include "util/texture/png_writer.h"

namespace {

// Hidden directories are named after the recording's process, so that one
// killed outright (no chance to clean up) can be told from one still running.
const char kStagingPrefix[] = ".kestrune-frames-";

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

bool FrameDirectory::isFrameName(const char* name) {
  if (std::strncmp(name, "frame_", 6) != 0) return false;
  const char* digits = name + 6;
  const char* end = digits;
  while (*end >= '0' && *end <= '9') ++end;
  return end - digits >= 6 && std::strcmp(end, ".png") == 0;
}

// The frame pictures already in the directory, by name. `problem` is set
// when one of those names is held by anything but a regular file.
std::vector<std::string> FrameDirectory::earlierFrames(std::string& problem) const {
  std::vector<std::string> names;
  DIR* dir = ::opendir(directory_.c_str());
  if (!dir) return names;
  while (dirent* entry = ::readdir(dir)) {
    if (!isFrameName(entry->d_name)) continue;
    const std::string why = platform::FileSetMove::problem(directory_ + "/" + entry->d_name);
    if (!why.empty() && problem.empty()) problem = directory_ + "/" + entry->d_name + " " + why;
    names.push_back(entry->d_name);
  }
  ::closedir(dir);
  return names;
}

bool FrameDirectory::create(const std::string& directory) {
  abandon();
  directory_ = directory;
  if (::mkdir(directory.c_str(), 0777) == 0) {
    // Made for this recording: it goes again unless the recording succeeds.
    madeDirectory_ = true;
    removeAtExit(directory_);
  } else if (errno != EEXIST) {
    return fail("cannot make " + directory + ": " + std::strerror(errno));
  }
  std::string problem;
  earlierFrames(problem);
  if (!problem.empty()) {
    abandon();
    return fail(problem + ": refusing to replace it");
  }
  if (!staging_.create(directory, kStagingPrefix, error_)) {
    abandon();
    return false;
  }
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
  const std::string path = staging_.add(name);
  names_.push_back(name);
  if (!writePng(path, width, height, 3, rgb_)) return fail("cannot write " + path + ": " + std::strerror(errno));
  return true;
}

bool FrameDirectory::moveIn() {
  if (!staging_.exists()) return fail("no frames to move into " + directory_);
  // Every name is checked before anything moves.
  std::string problem;
  std::vector<std::string> earlier = earlierFrames(problem);
  if (!problem.empty()) {
    const std::string why = problem + ": refusing to replace it";
    abandon();
    return fail(why);
  }
  std::sort(earlier.begin(), earlier.end());
  std::vector<std::string> fresh = names_;
  std::sort(fresh.begin(), fresh.end());
  std::vector<std::string> stale;
  std::set_difference(earlier.begin(), earlier.end(), fresh.begin(), fresh.end(), std::back_inserter(stale));

  move_.reset(new platform::FileSetMove(&staging_));
  bool ok = true;
  for (const std::string& name : stale) {
    if (!(ok = move_->remove(directory_ + "/" + name))) break;
  }
  for (size_t i = 0; ok && i < names_.size(); ++i) {
    const std::string& name = names_[i];
    if ((ok = move_->place(staging_.path() + "/" + name, directory_ + "/" + name))) staging_.forget(name);
  }
  if (!ok) {
    const std::string why = move_->error();
    move_->rollback();
    abandon();
    return fail(why);
  }
  return true;
}

void FrameDirectory::keep() {
  if (move_) move_->finish();
  move_.reset();
  names_.clear();
  staging_.remove();
  if (madeDirectory_) forgetRemoveAtExit(directory_);
  madeDirectory_ = false;
}

void FrameDirectory::putBack() {
  if (move_) move_->rollback();
  move_.reset();
  abandon();
}

bool FrameDirectory::commit() {
  if (!moveIn()) return false;
  keep();
  return true;
}

void FrameDirectory::abandon() {
  if (move_) move_->rollback();
  move_.reset();
  names_.clear();
  staging_.remove();
  if (madeDirectory_) {
    ::rmdir(directory_.c_str());
    forgetRemoveAtExit(directory_);
    madeDirectory_ = false;
  }
}
