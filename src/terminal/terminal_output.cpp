#include "terminal/terminal_output.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>

#include "terminal/terminal_session.h"
#include "util/error.h"

namespace {

using Clock = LinkPacer::Clock;

// Primary device attributes: every VT100 descendant answers "CSI ? ... c".
constexpr char kQuery[] = "\x1b[c";
// How often a writer waiting on the terminal looks whether to stop.
constexpr int kStopCheckMs = 100;
// A blocking descriptor gets no more at a time than a pipe takes whole once
// poll() says it is writable.
constexpr size_t kBlockingChunk = 4096;

}  // namespace

TerminalOutput::TerminalOutput(int fd, AnsiScreen screen, bool answersCome)
    : fd_(fd), ownFd_(openNonBlockingOutput(fd)), screen_(std::move(screen)), pacer_(answersCome),
      latest_(new ScreenCells()) {
  try {
    writer_ = std::thread([this] { writerLoop(); });
  } catch (const std::system_error& error) {
    ErrorBox("Cannot start the thread that writes to the terminal: %s", error.what());
  }
}

TerminalOutput::~TerminalOutput() {
  stop();
  if (ownFd_ >= 0) ::close(ownFd_);
}

uint64_t TerminalOutput::post(const ScreenCells& cells, TerminalSize size) {
  std::lock_guard<std::mutex> lock(mutex_);
  *latest_ = cells;
  latestSize_ = size;
  ++posted_;
  changed_.notify_all();
  return posted_;
}

bool TerminalOutput::waitWritten(uint64_t number, int milliseconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                           [&] { return written_ >= number || stopping_; }) &&
         written_ >= number;
}

void TerminalOutput::answer() {
  std::lock_guard<std::mutex> lock(mutex_);
  pacer_.answered(Clock::now());
  changed_.notify_all();
}

size_t TerminalOutput::unanswered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pacer_.unanswered();
}

void TerminalOutput::pause() {
  std::unique_lock<std::mutex> lock(mutex_);
  paused_ = true;
  changed_.wait_for(lock, std::chrono::seconds(1), [this] { return !writing_; });
}

void TerminalOutput::resume() {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = false;
  redraw_ = true;
  pacer_.forgetQueries();
  changed_.notify_all();
}

void TerminalOutput::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  if (writer_.joinable()) writer_.join();
}

uint64_t TerminalOutput::framesWritten() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return framesWritten_;
}

uint64_t TerminalOutput::bytesWritten() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

size_t TerminalOutput::window() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pacer_.querying() ? pacer_.window() : SIZE_MAX;
}

TerminalOutput::Sent TerminalOutput::send(const std::string& bytes) {
  const int fd = ownFd_ >= 0 ? ownFd_ : fd_;
  size_t done = 0;
  bool writable = ownFd_ >= 0;  // a non-blocking write just tries
  while (done < bytes.size()) {
    if (stopping_ || paused_) return Sent::Interrupted;
    if (!writable) {
      pollfd wait{fd, POLLOUT, 0};
      const int ready = ::poll(&wait, 1, kStopCheckMs);
      if (ready < 0 && errno != EINTR) return Sent::Failed;
      if (ready <= 0) continue;
      if (wait.revents & POLLNVAL) return Sent::Failed;
      writable = true;  // POLLERR and POLLHUP: the write tells what happened
    }
    size_t size = bytes.size() - done;
    if (ownFd_ < 0) size = std::min(size, kBlockingChunk);
    const ssize_t n = ::write(fd, bytes.data() + done, size);
    if (n > 0) {
      done += static_cast<size_t>(n);
      writable = ownFd_ >= 0;
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      writable = false;
    } else {
      return Sent::Failed;
    }
  }
  return Sent::All;
}

bool TerminalOutput::readyToWrite(bool unfinished) {
  if (paused_ || !(posted_ > taken_ || unfinished)) return false;
  if (pacer_.mayWrite(Clock::now())) return true;
  heldBack_ = true;
  return false;
}

void TerminalOutput::writerLoop() {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  std::string bytes;
  TerminalSize size;
  uint64_t number = 0;
  bool unfinished = false;  // the cells taken are not all written yet
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Waits with a timeout: a lost answer frees the pacer only with time.
    changed_.wait_for(lock, std::chrono::milliseconds(kStopCheckMs),
                      [&] { return stopping_ || readyToWrite(unfinished); });
    if (stopping_) return;
    if (!readyToWrite(unfinished)) continue;
    if (posted_ > taken_) {
      std::swap(cells, latest_);
      size = latestSize_;
      number = taken_ = posted_;
    }
    if (redraw_) screen_.invalidate();
    redraw_ = false;
    const size_t budget = pacer_.budget();
    const bool querying = pacer_.querying();
    writing_ = true;
    lock.unlock();

    bytes.clear();
    const bool whole = screen_.compose(*cells, size, &bytes, budget);
    if (querying) bytes.append(kQuery);
    // Counted before it goes: a quick terminal answers before send() returns.
    lock.lock();
    pacer_.sent(bytes.size(), heldBack_ || !whole, Clock::now());
    heldBack_ = false;
    lock.unlock();
    const Sent sent = send(bytes);

    lock.lock();
    writing_ = false;
    unfinished = !whole;
    if (sent == Sent::All) {
      if (whole) written_ = number;
      bytes_ += bytes.size();
      ++framesWritten_;
    } else {
      pacer_.forgetQueries();  // that query never went out whole
      redraw_ = true;          // nor did the frame
    }
    changed_.notify_all();
    if (sent == Sent::Failed) {
      // A terminal that is gone (a closed SSH session) takes nothing more.
      gone_ = true;
      stopping_ = true;
      return;
    }
  }
}

void TerminalRenderer::present(const AsciiEngine& engine) {
  cells_->copyFrom(engine);
  presented_ = true;
}

bool TerminalRenderer::takeFrame() {
  const bool presented = presented_;
  presented_ = false;
  return presented;
}
