#include "terminal/terminal_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

bool writeFully(int fd, const char* bytes, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n > 0) {
      bytes += n;
      size -= static_cast<size_t>(n);
    } else if (n < 0 && errno == EAGAIN) {
      pollfd wait{fd, POLLOUT, 0};
      ::poll(&wait, 1, 100);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

TerminalOutput::TerminalOutput(int fd, AnsiScreen screen)
    : fd_(fd), screen_(std::move(screen)), latest_(new ScreenCells()) {
  writer_ = std::thread([this] { writerLoop(); });
}

TerminalOutput::~TerminalOutput() { stop(); }

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

void TerminalOutput::writerLoop() {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  std::string bytes;
  for (;;) {
    uint64_t number;
    TerminalSize size;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stopping_ || posted_ > taken_; });
      if (stopping_) return;
      std::swap(cells, latest_);
      size = latestSize_;
      number = taken_ = posted_;
    }
    bytes.clear();
    screen_.compose(*cells, size, &bytes);
    // A terminal that is gone (a closed SSH session) takes nothing more;
    // the show ends on the hangup signal.
    const bool ok = writeFully(fd_, bytes.data(), bytes.size());
    std::lock_guard<std::mutex> lock(mutex_);
    written_ = number;
    bytes_ += bytes.size();
    ++framesWritten_;
    changed_.notify_all();
    if (!ok) {
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
