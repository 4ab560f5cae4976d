#include "capture/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<std::string>& pendingRemovals() {
  static std::vector<std::string> paths;
  return paths;
}

void removePending() {
  // Directories are listed after the files inside them.
  std::vector<std::string>& paths = pendingRemovals();
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    if (::unlink(it->c_str()) != 0) ::rmdir(it->c_str());
  }
  paths.clear();
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

std::string directoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void removeAtExit(const std::string& path) {
  static bool registered = false;
  if (!registered) registered = std::atexit(removePending) == 0;
  pendingRemovals().push_back(path);
}

void forgetRemoveAtExit(const std::string& path) {
  std::vector<std::string>& paths = pendingRemovals();
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::fail(const std::string& what) {
  error_ = what;
  return false;
}

bool OutputFile::create(const std::string& path) {
  abandon();
  path_ = path;
  const std::string directory = directoryOf(path);
  if (baseNameOf(path).empty()) return fail(path + " names a directory, not a file");
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return fail(path + " is a directory");

  // An unnamed file cannot be left behind, however the process ends.
  fd_ = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd_ >= 0) {
    writable_ = "/proc/self/fd/" + std::to_string(fd_);
    if (::access(writable_.c_str(), W_OK) == 0) return true;
    ::close(fd_);  // no /proc to reach it by: fall back to a named file
    fd_ = -1;
    errno = EOPNOTSUPP;
  }
  // A missing or read-only directory fails here already; other errors mean
  // the file system has no unnamed files, so a named one is made instead.
  if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS)
    return fail("cannot write into " + directory + ": " + errnoText());
  std::string pattern = directory + "/." + baseNameOf(path) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) return fail("cannot write into " + directory + ": " + errnoText());
  // mkstemp makes the file private; the finished file gets the usual mode.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  namedTemp_ = name.data();
  writable_ = namedTemp_;
  removeAtExit(namedTemp_);
  return true;
}

bool OutputFile::commit() {
  if (fd_ < 0) return fail("no file to complete");
  if (::fsync(fd_) != 0) {
    const std::string why = errnoText();
    abandon();
    return fail("cannot write " + path_ + ": " + why);
  }
  if (namedTemp_.empty()) {
    // Link the unnamed file under a fresh hidden name, then rename that over
    // the target: rename replaces an existing file in one step.
    const std::string directory = directoryOf(path_);
    for (int attempt = 0; attempt < 100 && namedTemp_.empty(); ++attempt) {
      const std::string candidate = directory + "/." + baseNameOf(path_) + "." + std::to_string(::getpid()) + "." +
                                    std::to_string(attempt);
      if (::linkat(AT_FDCWD, writable_.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        namedTemp_ = candidate;
        removeAtExit(namedTemp_);
      } else if (errno != EEXIST) {
        const std::string why = errnoText();
        abandon();
        return fail("cannot name " + path_ + ": " + why);
      }
    }
    if (namedTemp_.empty()) {
      abandon();
      return fail("cannot name " + path_ + ": no free temporary name");
    }
  }
  if (::rename(namedTemp_.c_str(), path_.c_str()) != 0) {
    const std::string why = errnoText();
    abandon();
    return fail("cannot name " + path_ + ": " + why);
  }
  forgetRemoveAtExit(namedTemp_);
  namedTemp_.clear();
  ::close(fd_);
  fd_ = -1;
  writable_.clear();
  return true;
}

void OutputFile::abandon() {
  if (!namedTemp_.empty()) {
    ::unlink(namedTemp_.c_str());
    forgetRemoveAtExit(namedTemp_);
    namedTemp_.clear();
  }
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  writable_.clear();
}
