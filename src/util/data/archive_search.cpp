#include "util/data/archive_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#ifndef KESTRUNE_DATA_DIR_FROM_BINDIR
#error "the build gives the installed data directory, relative to the program's directory"
#endif

namespace fs = std::filesystem;

namespace {

// The form a place is shown and compared in: absolute, without "." and "..".
std::string absolutePlace(const std::string& place) {
  std::error_code error;
  fs::path path = fs::absolute(place, error);
  if (error) path = place;
  return path.lexically_normal().string();
}

constexpr int kNotRegular = -1;

// 0 when `path` opens for reading as a regular file, else the errno that
// says why not (kNotRegular for a FIFO, device or socket). Opened without
// blocking: a FIFO of that name must not hold the program up.
int openFault(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return errno;
  struct stat status;
  const int fault = fstat(fd, &status) != 0     ? errno
                    : S_ISDIR(status.st_mode)   ? EISDIR
                    : !S_ISREG(status.st_mode)  ? kNotRegular
                                                : 0;
  close(fd);
  return fault;
}

}  // namespace

std::vector<std::string> archivePlaces(const std::string& name, const std::string& programDir) {
  std::vector<std::string> candidates = {name};
  if (!programDir.empty()) {
    candidates.push_back((fs::path(programDir) / name).string());
    candidates.push_back((fs::path(programDir) / KESTRUNE_DATA_DIR_FROM_BINDIR / name).string());
  }

  std::vector<std::string> places, seen;
  for (const std::string& candidate : candidates) {
    const std::string absolute = absolutePlace(candidate);
    if (std::find(seen.begin(), seen.end(), absolute) != seen.end()) continue;
    seen.push_back(absolute);
    // Beyond the working directory the tidy absolute form is what gets opened.
    places.push_back(places.empty() ? candidate : absolute);
  }
  return places;
}

ArchiveSearch searchArchive(const std::vector<std::string>& places) {
  ArchiveSearch search;
  for (const std::string& place : places) {
    const int fault = openFault(place);
    if (fault == 0) {
      search.found = place;
      return search;
    }
    search.report += absolutePlace(place) + ": " + (fault == kNotRegular ? "not a regular file" : std::strerror(fault)) + "\n";
  }
  return search;
}

std::string programDirectory() {
  std::error_code error;
  const fs::path program = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : program.parent_path().string();
}
