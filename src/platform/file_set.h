#pragma once

#include <set>
#include <string>
#include <vector>

namespace platform {

// A hidden work directory beside a set of outputs, named
// "<prefix><pid>-XXXXXX" so that one left by a process killed outright can
// be told from one in use: create() clears those first, after putting back
// the old files such a run had moved aside (see FileSetMove). Files are written
// into it flat, by the names given to add(); remove() (and the destructor,
// and the process exit) takes them and the directory away.
class StagingDirectory {
 public:
  StagingDirectory() = default;
  ~StagingDirectory() { remove(); }
  StagingDirectory(const StagingDirectory&) = delete;
  StagingDirectory& operator=(const StagingDirectory&) = delete;

  // False with `error` set when `parent` takes no new directory.
  bool create(const std::string& parent, const std::string& prefix, std::string& error);
  const std::string& path() const { return path_; }
  bool exists() const { return !path_.empty(); }

  // The path of a new file `name` inside, removed with the directory.
  std::string add(const std::string& name);
  // `name` was moved out: it is no longer the directory's to remove.
  void forget(const std::string& name);
  void remove();

 private:
  std::string path_;
  std::set<std::string> names_;
};

// Moves a set of finished files into place as one: every file it replaces
// or removes is first moved aside into a staging directory on the same file
// system, so that a failure part-way puts everything back (rollback), and
// only finish() lets the old files go. Only regular files are ever moved
// aside; a name held by anything else is refused, links included (a link
// could lead out of the directory the set belongs in).
class FileSetMove {
 public:
  explicit FileSetMove(StagingDirectory* aside) : aside_(aside) {}
  ~FileSetMove() { rollback(); }
  FileSetMove(const FileSetMove&) = delete;
  FileSetMove& operator=(const FileSetMove&) = delete;

  // "" when a new file may be placed at `to`: nothing is there or a regular
  // file (not a link); else why not.
  static std::string problem(const std::string& to);

  // Moves `from` to `to`, the file there aside first; makes missing parent
  // directories (removed again by rollback). Existing parents are taken as
  // they are, links to directories included: a caller that must stay inside
  // one directory checks the parts below it first. False with error() set.
  bool place(const std::string& from, const std::string& to);
  // Takes the regular file `path` away (aside until finish()).
  bool remove(const std::string& path);

  // Undoes every step, newest first.
  void rollback();
  // Keeps the new set; the old files go.
  void finish();

  const std::string& error() const { return error_; }

 private:
  struct Step {
    std::string to;       // the name in the set
    std::string aside;    // where the old file waits; empty when there was none
    std::string asideName;
    bool placed = false;  // a new file is at `to`
    bool madeDirectory = false;  // `to` is a directory this set made
  };
  bool fail(const std::string& what);
  bool makeParents(const std::string& path);
  bool moveAside(const std::string& path, Step& step);

  StagingDirectory* aside_;
  std::vector<Step> steps_;
  std::string error_;
  int asideCount_ = 0;
};

}  // namespace platform
