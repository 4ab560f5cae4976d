#pragma once

// Helpers shared by the archive, coder and tvl tests: files, child processes.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "support/test_archive.h"

namespace data_test {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// How a child process ended: its exit code, or 128 + the signal.
struct Outcome {
  int code = -1;
  bool signalled = false;
  std::string out;
  std::string err;
};

inline Outcome decodeStatus(int status) {
  Outcome outcome;
  if (WIFEXITED(status)) {
    outcome.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signalled = true;
    outcome.code = 128 + WTERMSIG(status);
  }
  return outcome;
}

// Runs `body` in a forked child with its output captured; the child ends with
// exit code 0 when `body` returns. Much cheaper than a death test per case.
inline Outcome runInChild(const std::function<void()>& body) {
  std::fflush(stdout);
  std::fflush(stderr);
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(out), 1);
    dup2(fileno(err), 2);
    body();
    std::exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  Outcome outcome = decodeStatus(status);
  for (auto [file, text] : {std::pair{out, &outcome.out}, std::pair{err, &outcome.err}}) {
    std::rewind(file);
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, got);
    std::fclose(file);
  }
  return outcome;
}

// Runs a shell command with its output captured.
inline Outcome runCommand(const std::string& command) {
  std::string dir = makeTestTempDir("kestrune-cmd");
  std::string outPath = dir + "/out", errPath = dir + "/err";
  int status = std::system((command + " >" + outPath + " 2>" + errPath).c_str());
  Outcome outcome = decodeStatus(status);
  outcome.out = readFile(outPath);
  outcome.err = readFile(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  rmdir(dir.c_str());
  return outcome;
}

inline std::string quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// The source tree, from the test environment; empty when not run by ctest.
inline std::string sourceDir() {
  const char* dir = std::getenv("KESTRUNE_SOURCE_DIR");
  return dir ? dir : "";
}

inline std::string referenceScript() {
  return sourceDir().empty() ? "" : sourceDir() + "/tests/support/tvl_reference.py";
}

// The fatal report of the data module, as printed without a display: the
// plain text, and a regular expression for death tests.
constexpr const char* kDataErrorText = "Error in file src\\util\\data\\data.cpp:";
constexpr const char* kDataErrorPattern = "Error in file src\\\\util\\\\data\\\\data\\.cpp:[0-9]+\n";

}  // namespace data_test
