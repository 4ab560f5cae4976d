#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace os {

// Opens `path` for binary reading when it is a regular file (a symbolic link
// to one counts). A FIFO, device, socket or directory is refused without
// ever waiting: opening a FIFO for reading would block until a writer came.
// Null on failure, with `why` (when given) set to the reason and errno to
// the system's error (EISDIR for a directory, EINVAL for other kinds).
FILE* openRegularFile(const char* path, std::string* why = nullptr);

// Whether a new file may be put at `path`: nothing is there, or a regular
// file that may be replaced. Anything else (a directory, FIFO, device,
// socket) is refused, since replacing it would destroy what the program did
// not make. A symbolic link is followed: the file goes where it points,
// and the link stays; a link to nothing is refused, as its target is no
// place anyone chose. `target` receives the path to write (the link's
// target, or `path` itself). Returns "" when allowed, else the reason.
std::string outputProblem(const std::string& path, std::string* target = nullptr);

// True when no process `pid` runs any more (hidden work files carry their
// process id, so that those of a process killed outright can be cleared).
bool processIsGone(long pid);

// Entries of `directory` named "<prefix><pid><separator>..." whose process
// is gone, as paths.
std::vector<std::string> leftoversOfGoneProcesses(const std::string& directory, const std::string& prefix,
                                                  char separator);

// Removes `path` at process exit unless forgotten first: fatal errors end
// the process through exit() without unwinding. Directories are listed
// before the files inside them and removed after them.
void removeAtExit(const std::string& path);
void forgetRemoveAtExit(const std::string& path);

}  // namespace os
