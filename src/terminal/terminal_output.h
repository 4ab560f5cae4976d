#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "terminal/ansi_screen.h"
#include "terminal/link_pacer.h"
#include "util/ascii/asciiengine.h"

// Puts frames on the terminal from a thread of its own, so that a slow
// terminal never holds up the show: a frame that arrives while the writer
// is still busy replaces the one waiting, which is dropped, never queued.
// What a dropped frame changed is written with the next one. On a slow
// link (see LinkPacer) a frame may go out in parts, the rest following
// with the next frames. The writer never blocks: a terminal that takes
// nothing more holds up neither the show nor its end.
class TerminalOutput {
 public:
  // `answersCome`: the terminal's answers to queries reach answer() (the
  // keys are read from the terminal written to).
  TerminalOutput(int fd, AnsiScreen screen, bool answersCome = false);
  ~TerminalOutput();
  TerminalOutput(const TerminalOutput&) = delete;
  TerminalOutput& operator=(const TerminalOutput&) = delete;

  // Hands over the latest picture for a terminal of `size`; returns its
  // number (from 1 on).
  uint64_t post(const ScreenCells& cells, TerminalSize size);
  // Waits up to `milliseconds` for frame `number` or a later one to be
  // written whole; true when it was.
  bool waitWritten(uint64_t number, int milliseconds);
  // The terminal answered a device-attributes query.
  void answer();
  // Queries written and not answered yet.
  size_t unanswered() const;
  // Writes nothing until resume(), a frame under way given up (while the
  // process is stopped as a job, the terminal is the shell's).
  void pause();
  // Writes again; the next frame draws the whole picture.
  void resume();
  // Ends the writer within a tenth of a second, a frame under way given up;
  // nothing is written after this returns. Called again, it does nothing.
  void stop();
  // The terminal is gone (a write failed: it hung up, or another error).
  bool terminalGone() const { return gone_; }

  uint64_t framesWritten() const;
  uint64_t bytesWritten() const;
  // The pacer's window now, in bytes (SIZE_MAX when not pacing).
  size_t window() const;

 private:
  void writerLoop();
  bool readyToWrite(bool unfinished);
  enum class Sent { All, Interrupted, Failed };
  // Writes all of `bytes` unless asked to stop or pause first; Failed when
  // the terminal is gone.
  Sent send(const std::string& bytes);

  int fd_;
  int ownFd_ = -1;  // a non-blocking descriptor of the terminal, when it has one
  AnsiScreen screen_;
  LinkPacer pacer_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<ScreenCells> latest_;
  TerminalSize latestSize_;
  uint64_t posted_ = 0;
  uint64_t taken_ = 0;
  uint64_t written_ = 0;
  uint64_t bytes_ = 0;
  uint64_t framesWritten_ = 0;
  bool heldBack_ = false;  // a frame waited for the pacer
  bool writing_ = false;
  bool redraw_ = false;
  std::atomic<bool> paused_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> gone_{false};
  std::thread writer_;
};

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
