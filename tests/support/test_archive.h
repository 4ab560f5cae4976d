#pragma once

#include <initializer_list>
#include <string>
#include <vector>

// Serves test files to code under test exactly as the show does: from a real
// archive, in archive mode, through data_open_file / data_load_file.
//
//   TestArchive archive({{"data/textdance/dance1.raw", rawBytes},
//                        {"data/common/music/song.mid", midiBytes}});
//   FILE* f = data_open_file("data/textdance/dance1.raw");  // from the archive
//
// The constructor
//   1. writes each file, under its name, into a fresh temporary directory,
//   2. packs them in the given order through the data module's pack mode
//      (one data_open_file per file, so every entry holds the bytes exactly as
//      given: add the trailing 0 yourself where a terminated text is wanted),
//   3. removes the loose files again, chdirs into the directory (which now
//      holds only data.tvl), sets archive mode and calls data_open_archive().
// Pack-mode log lines are kept off standard output meanwhile.
//
// The destructor goes back to the previous working directory, deletes the
// directory, frees every entry (data_clear_entries) and restores disk mode.
//
// Rules: one TestArchive at a time; at least one file; names are relative
// paths; file contents must not be empty (pack mode refuses empty files); a
// repeated name keeps its first contents. Fatal errors while packing end the test process like
// any other ErrorBox.
struct TestArchiveFile {
  std::string name;
  std::string bytes;
};

// Select the constructor that opens a copy of an existing archive; both
// spellings work: TestArchive(CopyOfArchive{}, path) and
// TestArchive(ExistingArchive{path}).
struct CopyOfArchive {};
struct ExistingArchive {
  std::string path;
};

class TestArchive {
 public:
  explicit TestArchive(const std::vector<TestArchiveFile>& files);
  // The same for a braced list: TestArchive archive({{"a.raw", "xy"}});
  TestArchive(std::initializer_list<TestArchiveFile> files)
      : TestArchive(std::vector<TestArchiveFile>(files)) {}
  // Copies an existing archive (e.g. getenv("KESTRUNE_DATA_TVL")) into a
  // fresh temporary directory and opens it there the same way:
  //   TestArchive show(CopyOfArchive{}, path);
  TestArchive(CopyOfArchive, const std::string& path);
  explicit TestArchive(const ExistingArchive& archive) : TestArchive(CopyOfArchive{}, archive.path) {}
  ~TestArchive();

  TestArchive(const TestArchive&) = delete;
  TestArchive& operator=(const TestArchive&) = delete;

  // The temporary directory, which is the working directory meanwhile.
  const std::string& dir() const { return dir_; }
  // dir() + "/data.tvl".
  std::string archivePath() const { return dir_ + "/data.tvl"; }

 private:
  void enter();
  std::string previousDir_;
  std::string dir_;
};

// Makes a fresh empty directory under $TMPDIR (or /tmp) and returns its path.
// Remove it when done; whatever is left is removed when the process that
// made it exits (also through a fatal report inside a death test).
std::string makeTestTempDir(const char* prefix = "kestrune-test");
