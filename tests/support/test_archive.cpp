#include "support/test_archive.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "util/data/data.h"

namespace fs = std::filesystem;

namespace {

// Directories made by makeTestTempDir, with the process that made them. A
// process that ends through exit (a fatal report inside a death test, say)
// removes its own at exit; a forked child never touches its parent's.
struct OwnedDir {
  std::string path;
  pid_t owner;
  dev_t device;  // identify the directory itself: once removed, its name
  ino_t inode;   // may be given to someone else's
};

std::vector<OwnedDir>& ownedDirs() {
  static auto* dirs = new std::vector<OwnedDir>;  // outlives static destruction
  return *dirs;
}

void removeOwnedDirs() {
  for (const OwnedDir& dir : ownedDirs()) {
    struct stat now {};
    if (dir.owner != getpid() || lstat(dir.path.c_str(), &now) != 0) continue;
    if (now.st_dev != dir.device || now.st_ino != dir.inode) continue;
    std::error_code ignored;
    fs::remove_all(dir.path, ignored);
  }
}

}  // namespace

std::string makeTestTempDir(const char* prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "-XXXXXX";
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back('\0');
  if (!mkdtemp(path.data())) {
    ADD_FAILURE() << "cannot make a temporary directory from " << pattern;
    return {};
  }
  static bool registered = std::atexit(removeOwnedDirs) == 0;
  (void)registered;
  struct stat made {};
  lstat(path.data(), &made);
  ownedDirs().push_back(OwnedDir{path.data(), getpid(), made.st_dev, made.st_ino});
  return path.data();
}

namespace {

std::string currentDir() {
  std::error_code error;
  return fs::current_path(error).string();
}

}  // namespace

TestArchive::TestArchive(const std::vector<TestArchiveFile>& files)
    : previousDir_(currentDir()), dir_(makeTestTempDir("kestrune-archive")) {
  const fs::path loose = fs::path(dir_) / "loose";
  EXPECT_FALSE(files.empty()) << "an archive needs at least one file";
  fs::create_directories(loose);
  for (const TestArchiveFile& file : files) {
    EXPECT_FALSE(file.bytes.empty()) << file.name << ": pack mode refuses empty files";
    fs::path target = loose / file.name;
    fs::create_directories(target.parent_path());
    std::ofstream(target, std::ios::binary).write(file.bytes.data(), std::streamsize(file.bytes.size()));
  }

  FILE* log = data_log_output;
  data_log_output = nullptr;
  data_clear_entries();
  data_mode = DATA_MODE_PACK;
  fs::current_path(loose);
  for (const TestArchiveFile& file : files) {
    FILE* stream = data_open_file(file.name.c_str());
    EXPECT_NE(stream, nullptr) << "cannot pack " << file.name;
    if (stream) std::fclose(stream);
  }
  data_write_archive();
  data_log_output = log;
  fs::rename(loose / "data.tvl", fs::path(dir_) / "data.tvl");
  fs::current_path(dir_);
  fs::remove_all(loose);
  enter();
}

TestArchive::TestArchive(CopyOfArchive, const std::string& path)
    : previousDir_(currentDir()), dir_(makeTestTempDir("kestrune-archive")) {
  fs::copy_file(path, fs::path(dir_) / "data.tvl");
  enter();
}

void TestArchive::enter() {
  fs::current_path(dir_);
  data_clear_entries();
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
}

TestArchive::~TestArchive() {
  std::error_code error;
  fs::current_path(previousDir_, error);
  fs::remove_all(dir_, error);
  data_clear_entries();
  data_mode = DATA_MODE_DISK;
}
