#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "terminal/ansi_screen.h"
#include "util/ascii/asciiengine.h"

// Puts frames on the terminal from a thread of its own, so that a slow
// terminal never holds up the show: each frame goes out in one write, and a
// frame that arrives while the writer is still busy replaces the one
// waiting, which is dropped, never queued. What a dropped frame changed is
// written with the next one.
class TerminalOutput {
 public:
  TerminalOutput(int fd, AnsiScreen screen);
  ~TerminalOutput();
  TerminalOutput(const TerminalOutput&) = delete;
  TerminalOutput& operator=(const TerminalOutput&) = delete;

  // Hands over the latest picture for a terminal of `size`; returns its
  // number (from 1 on).
  uint64_t post(const ScreenCells& cells, TerminalSize size);
  // Waits up to `milliseconds` for frame `number` or a later one to be
  // written; true when it was.
  bool waitWritten(uint64_t number, int milliseconds);
  // Ends the writer after the write under way; nothing is written after
  // this returns. Called again, it does nothing.
  void stop();

  uint64_t framesWritten() const;
  uint64_t bytesWritten() const;

 private:
  void writerLoop();

  int fd_;
  AnsiScreen screen_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<ScreenCells> latest_;
  TerminalSize latestSize_;
  uint64_t posted_ = 0;
  uint64_t taken_ = 0;
  uint64_t written_ = 0;
  uint64_t bytes_ = 0;
  uint64_t framesWritten_ = 0;
  bool stopping_ = false;
  std::thread writer_;
};

// Writes all of `bytes` to `fd`, going on after interruptions; false when
// the terminal is gone (or another write error).
bool writeFully(int fd, const char* bytes, size_t size);

// The ScreenRenderer of the terminal: keeps the screen each scene presents,
// the last one of a frame winning (two scenes share a frame only at the
// beat where one slot ends and the next begins).
class TerminalRenderer : public ScreenRenderer {
 public:
  void present(const AsciiEngine& engine) override;
  // Whether a scene presented since the last call.
  bool takeFrame();
  const ScreenCells& cells() const { return *cells_; }

 private:
  std::unique_ptr<ScreenCells> cells_{new ScreenCells()};
  bool presented_ = false;
};
