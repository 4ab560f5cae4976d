#include "util/os/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace os {

namespace {

const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a directory";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

std::vector<std::string>& pendingRemovals() {
  static std::vector<std::string> paths;
  return paths;
}

void removePending() {
  std::vector<std::string>& paths = pendingRemovals();
  for (auto it = paths.rbegin(); it != paths.rend(); ++it) {
    if (::unlink(it->c_str()) != 0) ::rmdir(it->c_str());
  }
  paths.clear();
}

}  // namespace

bool processIsGone(long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

std::vector<std::string> leftoversOfGoneProcesses(const std::string& directory, const std::string& prefix,
                                                  char separator) {
  std::vector<std::string> paths;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return paths;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
    const char* digits = entry->d_name + prefix.size();
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    if (end != digits && *end == separator && processIsGone(pid)) paths.push_back(directory + "/" + entry->d_name);
  }
  ::closedir(dir);
  return paths;
}

void removeAtExit(const std::string& path) {
  // The list is made before the handler is registered, so that it is
  // destroyed after the handler has run, not before.
  std::vector<std::string>& paths = pendingRemovals();
  static bool registered = false;
  if (!registered) registered = std::atexit(removePending) == 0;
  paths.push_back(path);
}

void forgetRemoveAtExit(const std::string& path) {
  std::vector<std::string>& paths = pendingRemovals();
  paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
}

FILE* openRegularFile(const char* path, std::string* why) {
  // Non-blocking, so that a FIFO without a writer does not hold us here.
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    const int error = errno;
    if (why) *why = std::strerror(error);
    errno = error;
    return nullptr;
  }
  struct stat status {};
  int error = 0;
  if (::fstat(fd, &status) != 0) {
    error = errno;
    if (why) *why = std::strerror(error);
  } else if (!S_ISREG(status.st_mode)) {
    error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    if (why) *why = kindOf(status.st_mode);
  } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    error = errno;
    if (why) *why = std::strerror(error);
  }
  FILE* file = error == 0 ? ::fdopen(fd, "rb") : nullptr;
  if (!file) {
    if (error == 0) {
      error = errno;
      if (why) *why = std::strerror(error);
    }
    ::close(fd);
    errno = error;
  }
  return file;
}

std::string outputProblem(const std::string& path, std::string* target) {
  if (target) *target = path;
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return "";  // nothing there (or unreachable: the write will say)
  if (S_ISLNK(status.st_mode)) {
    if (::stat(path.c_str(), &status) != 0) return "is a symbolic link to nothing";
    if (!S_ISREG(status.st_mode)) return std::string("is a symbolic link to something that ") + kindOf(status.st_mode);
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::string("is a symbolic link that cannot be followed: ") + std::strerror(errno);
    if (target) *target = resolved;
    std::free(resolved);
    return "";
  }
  if (!S_ISREG(status.st_mode)) return kindOf(status.st_mode);
  return "";
}

}  // namespace os
