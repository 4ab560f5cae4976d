#include "capture/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/os/files.h"

namespace {

std::string errnoText() { return std::strerror(errno); }

// Hidden names of an unfinished `base`: ".<base>.unfinished-<pid>." and a
// suffix, so that those of a process killed outright can be told from live
// ones (and from anything a person would name a file).
std::string hiddenPrefix(const std::string& base) { return "." + base + ".unfinished-"; }

// Unfinished files of `base` in `directory` whose process is gone (killed
// before it could clean up).
void removeLeftoversOfGoneProcesses(const std::string& directory, const std::string& base) {
  for (const std::string& path : os::leftoversOfGoneProcesses(directory, hiddenPrefix(base), '.')) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) ::unlink(path.c_str());
  }
}

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

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::fail(const std::string& what) {
  error_ = what;
  return false;
}

bool OutputFile::create(const std::string& path) {
  abandon();
  if (baseNameOf(path).empty()) return fail(path + " names a directory, not a file");
  // Only a regular file is ever replaced; through a link, the file it points to.
  const std::string problem = os::outputProblem(path, &path_);
  if (!problem.empty()) return fail(path + " " + problem + ": refusing to replace it");
  const std::string directory = directoryOf(path_);
  removeLeftoversOfGoneProcesses(directory, baseNameOf(path_));

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
  std::string pattern = directory + "/" + hiddenPrefix(baseNameOf(path_)) + std::to_string(::getpid()) + ".XXXXXX";
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

bool OutputFile::check() {
  if (fd_ < 0) return fail("no file to complete");
  const std::string problem = os::outputProblem(path_);
  return problem.empty() || fail(path_ + " " + problem + ": refusing to replace it");
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
      const std::string candidate = directory + "/" + hiddenPrefix(baseNameOf(path_)) + std::to_string(::getpid()) +
                                    "." + std::to_string(attempt);
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
  // Whatever took the name since create() is checked again: only a regular
  // file is replaced.
  const std::string problem = os::outputProblem(path_);
  if (!problem.empty()) {
    abandon();
    return fail(path_ + " " + problem + ": refusing to replace it");
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
