#pragma once

#include <string>

#include "util/os/files.h"

// A file that appears under its name only when it is complete. It is
// written as an unnamed file in the target's directory (a named hidden one
// where the file system cannot do that, removed on failure and at exit),
// and committing gives it the asked-for name in one step, replacing what
// was there. Abandoned or never committed, nothing is left behind and an
// existing file of that name is untouched. Only a regular file is ever
// replaced: a directory, FIFO, device or socket of that name is refused, and
// a symbolic link is written through (the file it points to is replaced,
// the link stays). Hidden files that a killed run left beside the target
// are cleared by the next create() for that name.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False with error() set when the directory does not take a new file or
  // the name is taken by something that is not a regular file.
  bool create(const std::string& path);

  // A path through which libraries can open, write, reopen and read the
  // unfinished file.
  const std::string& writablePath() const { return writable_; }

  // False with error() set when the name has been taken since create() by
  // something commit() would refuse to replace (nothing is abandoned).
  bool check();

  // Flushes the file to disk and names it. False with error() set, and the
  // file abandoned, on failure.
  bool commit();

  // Drops the unfinished file.
  void abandon();

  const std::string& error() const { return error_; }

 private:
  bool fail(const std::string& what);

  std::string path_;
  std::string writable_;
  std::string namedTemp_;  // empty for an unnamed file
  int fd_ = -1;
  std::string error_;
};

// Directory of `path` ("." when it has none) and the name within it.
std::string directoryOf(const std::string& path);
std::string baseNameOf(const std::string& path);

// Shared with the frame pictures and the tools.
using os::forgetRemoveAtExit;
using os::processIsGone;
using os::removeAtExit;
