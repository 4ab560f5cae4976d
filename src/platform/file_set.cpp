#include "platform/file_set.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/os/files.h"

namespace platform {

namespace {

std::string errnoText() { return std::strerror(errno); }

std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Regular files directly inside `directory`, then the directory itself;
// anything else in it keeps it there.
void removeFlatDirectory(const std::string& directory) {
  if (DIR* dir = ::opendir(directory.c_str())) {
    std::vector<std::string> files;
    while (dirent* entry = ::readdir(dir)) {
      const std::string path = directory + "/" + entry->d_name;
      struct stat status {};
      if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) files.push_back(path);
    }
    ::closedir(dir);
    for (const std::string& file : files) ::unlink(file.c_str());
  }
  ::rmdir(directory.c_str());
}

// Beside each old file that waits aside, a note of the absolute path it
// was moved from: a run killed outright while its set was half in place
// leaves the next run the way to put the user's files back.
const char kFromNote[] = ".from";

bool isAsideName(const std::string& name) { return name.compare(0, 6, "aside-") == 0; }

std::string absolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* here = ::getcwd(nullptr, 0);
  const std::string absolute = here ? std::string(here) + "/" + path : path;
  std::free(here);
  return absolute;
}

bool writeNote(const std::string& note, const std::string& text) {
  FILE* file = std::fopen(note.c_str(), "wbx");
  if (!file) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

std::string readNote(const std::string& note) {
  std::string text;
  if (FILE* file = std::fopen(note.c_str(), "rb")) {
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    std::fclose(file);
  }
  return text;
}

// Puts every old file a dead run left aside back where its note says it
// came from (over the new file placed there, if any). True when none is
// left, so the directory may go; an old file without a note, or one that
// cannot go back, keeps it.
bool restoreAsideFiles(const std::string& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return false;
  std::vector<std::string> asides;
  while (dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (isAsideName(name) && name.find('.') == std::string::npos) asides.push_back(name);
  }
  ::closedir(dir);
  bool allBack = true;
  for (const std::string& name : asides) {
    const std::string aside = directory + "/" + name;
    const std::string from = readNote(aside + kFromNote);
    struct stat status {};
    const bool placeFree = ::lstat(from.c_str(), &status) != 0 ? errno == ENOENT : S_ISREG(status.st_mode);
    if (from.empty() || !placeFree || ::rename(aside.c_str(), from.c_str()) != 0) allBack = false;
  }
  return allBack;
}

void removeStagingOfGoneProcesses(const std::string& parent, const std::string& prefix) {
  for (const std::string& path : os::leftoversOfGoneProcesses(parent, prefix, '-')) {
    if (restoreAsideFiles(path)) removeFlatDirectory(path);
  }
}

}  // namespace

bool StagingDirectory::create(const std::string& parent, const std::string& prefix, std::string& error) {
  remove();
  removeStagingOfGoneProcesses(parent, prefix);
  std::string pattern = parent + "/" + prefix + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (::mkdtemp(name.data()) == nullptr) {
    error = "cannot write into " + parent + ": " + errnoText();
    return false;
  }
  path_ = name.data();
  os::removeAtExit(path_);
  return true;
}

std::string StagingDirectory::add(const std::string& name) {
  const std::string path = path_ + "/" + name;
  os::removeAtExit(path);
  names_.insert(name);
  return path;
}

void StagingDirectory::forget(const std::string& name) {
  os::forgetRemoveAtExit(path_ + "/" + name);
  names_.erase(name);
}

void StagingDirectory::remove() {
  if (path_.empty()) return;
  for (const std::string& name : names_) {
    const std::string path = path_ + "/" + name;
    ::unlink(path.c_str());
    os::forgetRemoveAtExit(path);
  }
  names_.clear();
  ::rmdir(path_.c_str());
  os::forgetRemoveAtExit(path_);
  path_.clear();
}

std::string FileSetMove::problem(const std::string& to) {
  struct stat status {};
  if (::lstat(to.c_str(), &status) != 0) return errno == ENOENT ? "" : errnoText();
  if (S_ISLNK(status.st_mode)) return "is a symbolic link";
  if (S_ISDIR(status.st_mode)) return "is a directory";
  if (!S_ISREG(status.st_mode)) return "is not a regular file";
  return "";
}

bool FileSetMove::fail(const std::string& what) {
  error_ = what;
  return false;
}

bool FileSetMove::makeParents(const std::string& path) {
  const std::string parent = parentOf(path);
  struct stat status {};
  if (::stat(parent.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return true;
    return fail("cannot make " + parent + ": something that is not a directory is in the way");
  }
  if (parent == path || !makeParents(parent)) return error_.empty() ? fail("cannot make " + parent) : false;
  if (::mkdir(parent.c_str(), 0777) != 0) return fail("cannot make " + parent + ": " + errnoText());
  Step step;
  step.to = parent;
  step.madeDirectory = true;
  steps_.push_back(step);
  return true;
}

bool FileSetMove::moveAside(const std::string& path, Step& step) {
  const std::string why = problem(path);
  if (!why.empty()) return fail(path + " " + why + ": refusing to replace it");
  if (::access(path.c_str(), F_OK) != 0) return true;  // nothing there
  step.asideName = "aside-" + std::to_string(asideCount_++);
  step.aside = aside_->add(step.asideName);
  const std::string note = aside_->add(step.asideName + kFromNote);
  if (!writeNote(note, absolutePath(path))) {
    const std::string reason = errnoText();
    aside_->forget(step.asideName);
    step.aside.clear();
    return fail("cannot write into " + aside_->path() + ": " + reason);
  }
  if (::rename(path.c_str(), step.aside.c_str()) != 0) {
    const std::string reason = errnoText();
    aside_->forget(step.asideName);
    step.aside.clear();
    return fail("cannot move " + path + " aside: " + reason);
  }
  return true;
}

bool FileSetMove::place(const std::string& from, const std::string& to) {
  if (!makeParents(to)) return false;
  Step step;
  step.to = to;
  if (!moveAside(to, step)) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) {
    const std::string reason = errnoText();
    steps_.push_back(step);  // the old file goes back with the rest
    return fail("cannot move " + to + " into place: " + reason);
  }
  step.placed = true;
  steps_.push_back(step);
  return true;
}

bool FileSetMove::remove(const std::string& path) {
  Step step;
  step.to = path;
  if (!moveAside(path, step)) return false;
  steps_.push_back(step);
  return true;
}

void FileSetMove::rollback() {
  for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
    if (it->madeDirectory) {
      ::rmdir(it->to.c_str());
      continue;
    }
    if (it->placed) ::unlink(it->to.c_str());
    if (it->aside.empty()) continue;
    // Should the way back fail too, the old file stays where it waits
    // rather than going with the staging directory.
    ::rename(it->aside.c_str(), it->to.c_str());
    aside_->forget(it->asideName);
  }
  steps_.clear();
}

void FileSetMove::finish() {
  for (const Step& step : steps_) {
    if (step.aside.empty()) continue;
    ::unlink(step.aside.c_str());
    aside_->forget(step.asideName);
  }
  steps_.clear();
}

}  // namespace platform
