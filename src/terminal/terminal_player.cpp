#include "terminal/terminal_player.h"

#include <langinfo.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/messagebox.h"
#include "show_archive.h"
#include "show/show_core.h"
#include "show_driver.h"
#include "terminal/ansi_screen.h"
#include "terminal/colour_choice.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_output.h"
#include "terminal/terminal_session.h"
#include "util/ascii/reference_renderer.h"
#include "util/error.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kInput = STDIN_FILENO;
constexpr int kOutput = STDOUT_FILENO;
constexpr int kFramesPerSecond = 60;
// A lone Escape byte is the Escape key once nothing follows it this long.
constexpr auto kEscapeWait = std::chrono::milliseconds(30);
// How long the end waits for the terminal's answers to the last queries.
constexpr auto kAnswerWait = std::chrono::milliseconds(500);

// Fatal errors are told in the terminal, never in a box on some display,
// and the terminal is given back first, so that the message stays readable
// on the normal screen.
class TerminalBoxPresenter : public BoxPresenter {
 public:
  void setOutput(TerminalOutput* output) { output_ = output; }
  void message(const char*, const char* text) override {
    giveBack();
    std::fprintf(stderr, "%s\n", text);
  }
  bool askOkCancel(const char*, const char* text) override {
    giveBack();
    std::fprintf(stderr, "%s\n", text);
    return true;
  }

 private:
  void giveBack() {
    if (output_) output_->stop();
    terminal_session::leave();
  }
  TerminalOutput* output_ = nullptr;
};

// The running show: the frame loop with keys, resizes and holds.
class Player : private ShowOutput {
 public:
  Player(Show* show, TerminalRenderer* renderer, TerminalOutput* output, FrameHold* hold, bool paced)
      : show_(show), renderer_(renderer), output_(output), hold_(hold), paced_(paced),
        size_(terminal_session::size(kOutput)) {}

  // The signal that ended the show, or 0 after Escape. A terminal that is
  // gone ends it as its hangup signal would.
  int run() {
    driveShow(*show_, *this);
    if (interrupted_) return SIGINT;
    if (terminal_session::quitSignal) return terminal_session::quitSignal;
    if (hungUp_ || output_->terminalGone()) return SIGHUP;
    return 0;
  }

  // Reads the answers to the queries still under way (for a short while),
  // so that none reaches the shell's prompt after the show.
  void collectAnswers() {
    const Clock::time_point deadline = Clock::now() + kAnswerWait;
    while (inputOpen_ && !hungUp_ && output_->unanswered() > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return;
      pollfd input{kInput, POLLIN, 0};
      if (::poll(&input, 1, static_cast<int>(left)) <= 0) continue;
      if (input.revents & POLLNVAL) return;
      char bytes[256];
      const ssize_t n = ::read(kInput, bytes, sizeof bytes);
      if (n <= 0) return;
      std::vector<int> keys;
      parser_.feed(bytes, static_cast<size_t>(n), &keys);
      for (int key : keys)
        if (key == terminal_keys::kDeviceAnswer) output_->answer();
    }
  }

 private:
  bool leaving() const {
    return show_->finished() || interrupted_ || hungUp_ || terminal_session::quitSignal || output_->terminalGone();
  }

  // Keys and resizes are read between frames, until the next is due.
  bool beginFrame(FrameOutput& picture) override {
    if (!started_) {
      started_ = true;
      next_ = Clock::now();
    } else if (paced_) {
      // A late frame is not caught up: the next one shows the music's time.
      next_ += std::chrono::microseconds(1000000 / kFramesPerSecond);
      if (next_ < Clock::now()) next_ = Clock::now();
      readInputUntil(next_);
    } else {
      next_ = Clock::now();
      readInputUntil(next_);
    }
    picture.renderer = renderer_;
    return !leaving();
  }

  bool endFrame(const ShownFrame&) override {
    if (renderer_->takeFrame()) {
      hasFrame_ = true;
      lastPosted_ = output_->post(renderer_->cells(), size_);
    }
    return true;
  }

  // Announces the held frame once it is on the terminal, then keeps it
  // there (redrawn on resizes) until released.
  bool stopped(double beat) override {
    while (!leaving() && !output_->waitWritten(lastPosted_, 50)) readInputUntil(Clock::now());
    if (leaving()) return false;
    return hold_->hold(beat, stderr, [this] {
      readInputUntil(Clock::now() + std::chrono::milliseconds(20));
      return !leaving();
    });
  }

  // Steps aside as a stopped job and takes the terminal back once continued
  // (or only takes it back, after a stop it was not asked about).
  void suspend(bool stopNow) {
    output_->pause();
    if (stopNow) {
      collectAnswers();
      terminal_session::suspend();
    } else {
      terminal_session::retake();
    }
    terminal_session::continued = 0;
    size_ = terminal_session::size(kOutput);
    output_->resume();
    if (hasFrame_) lastPosted_ = output_->post(renderer_->cells(), size_);
  }

  // Reads keys and follows resizes until `deadline`, looking at the input at
  // least once even when the deadline has passed; returns at once when the
  // show is to end.
  void readInputUntil(Clock::time_point deadline) {
    for (bool first = true;; first = false) {
      if (terminal_session::suspendAsked || suspendKey_) {
        terminal_session::suspendAsked = 0;
        suspendKey_ = false;
        suspend(true);
      } else if (terminal_session::continued) {
        suspend(false);
      }
      if (terminal_session::resized) {
        terminal_session::resized = 0;
        size_ = terminal_session::size(kOutput);
        if (hasFrame_) lastPosted_ = output_->post(renderer_->cells(), size_);
      }
      if (leaving()) return;
      const Clock::time_point now = Clock::now();
      if (parser_.pending() && now - lastInput_ >= kEscapeWait) {
        std::vector<int> keys;
        parser_.flush(&keys);
        handleKeys(keys);
        continue;
      }
      if (now >= deadline && !first) return;
      Clock::time_point wake = deadline;
      if (parser_.pending() && lastInput_ + kEscapeWait < wake) wake = lastInput_ + kEscapeWait;
      const long long waitMs =
          wake <= now ? 0
                      : std::chrono::duration_cast<std::chrono::milliseconds>(wake - now + std::chrono::microseconds(999))
                            .count();
      pollfd input{kInput, POLLIN, 0};
      const int ready = inputOpen_ ? ::poll(&input, 1, static_cast<int>(waitMs)) : ::poll(nullptr, 0, static_cast<int>(waitMs));
      if (ready <= 0) continue;
      // A closed descriptor (`<&-`) answers at once, forever: no keys from it.
      if (input.revents & POLLNVAL) inputOpen_ = false;
      else if (input.revents & (POLLIN | POLLHUP | POLLERR)) readKeys();
    }
  }

  void readKeys() {
    char bytes[256];
    const ssize_t n = ::read(kInput, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n < 0 && errno == EIO) {
      hungUp_ = true;  // the terminal is gone, though no hangup signal came
      return;
    }
    if (n <= 0) {
      inputOpen_ = false;  // no more keys to come
      return;
    }
    lastInput_ = Clock::now();
    std::vector<int> keys;
    parser_.feed(bytes, static_cast<size_t>(n), &keys);
    handleKeys(keys);
  }

  void handleKeys(const std::vector<int>& keys) {
    for (int key : keys) {
      if (key == terminal_keys::kDeviceAnswer) {
        output_->answer();
        continue;
      }
      if (key == terminal_keys::kSuspend) {
        suspendKey_ = true;
        continue;
      }
      if (key == terminal_keys::kInterrupt) {
        interrupted_ = true;
        return;
      }
      // No releases come from a terminal: each press is a tap, which the
      // scenes see down for the next frame.
      show_->keyEvent(key, true);
      show_->keyEvent(key, false);
    }
  }

  Show* show_;
  TerminalRenderer* renderer_;
  TerminalOutput* output_;
  FrameHold* hold_;
  bool paced_;
  bool started_ = false;
  Clock::time_point next_;  // when the next frame is due
  TerminalSize size_;
  TerminalKeyParser parser_;
  Clock::time_point lastInput_;
  bool inputOpen_ = true;
  bool interrupted_ = false;
  bool hungUp_ = false;
  bool suspendKey_ = false;
  bool hasFrame_ = false;
  uint64_t lastPosted_ = 0;
};

}  // namespace

namespace {

// Whether the keys come from the terminal the show is written to, so that
// its answers to queries come back to the show.
bool inputIsOutputTerminal() {
  struct stat in, out;
  return ::isatty(kInput) && ::isatty(kOutput) && ::fstat(kInput, &in) == 0 && ::fstat(kOutput, &out) == 0 &&
         in.st_rdev == out.st_rdev;
}

}  // namespace

int playInTerminal(const TerminalPlayOptions& options) {
  RequestedLocale locale = requestedLocale();
  locale.installed = std::setlocale(LC_CTYPE, "") != nullptr;
  const char* term = std::getenv("TERM");
  const std::string refusal = terminalRefusal(::isatty(kOutput) == 1, term, nl_langinfo(CODESET), locale);
  if (!refusal.empty()) {
    std::fprintf(stderr, "kestrune: %s\n", refusal.c_str());
    return 2;
  }
  const ColourMode colours =
      options.colours ? *options.colours : chooseColourMode(std::getenv("COLORTERM"), term, readTerminfo(term));

  TerminalBoxPresenter presenter;
  BoxPresenter* const earlierPresenter = boxPresenter();
  setBoxPresenter(&presenter);
  const ShowArchive archive;
  ChartPixels chart;
  if (!loadChartPixels(AsciiEngine::kChartFile, &chart)) ErrorBox("Failed to load texture!");
  const std::array<uint8_t, 256> ink = glyphInk(chart);
  TerminalRenderer renderer;
  // The stepped clock of a frame rate, as the window's: no sound.
  std::unique_ptr<Show> show(new Show(requestedShow(options.frameRate, options.holdBeats, options.reduceFlashing)));
  FrameHold hold;

  TerminalOutput output(kOutput, AnsiScreen(colours, ink), inputIsOutputTerminal());
  presenter.setOutput(&output);
  terminal_session::enter(kInput, kOutput);

  show->start();
  Player player(show.get(), &renderer, &output, &hold, options.frameRate == 0);
  const int signal = player.run();

  output.stop();
  player.collectAnswers();
  terminal_session::leave();
  setBoxPresenter(earlierPresenter);
  show.reset();
  return signal ? 128 + signal : 0;
}
