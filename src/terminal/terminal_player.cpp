#include "terminal/terminal_player.h"

#include <langinfo.h>
#include <poll.h>
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
#include "platform/layer_song_player.h"
#include "show/show_core.h"
#include "terminal/ansi_screen.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_output.h"
#include "terminal/terminal_session.h"
#include "util/ascii/reference_renderer.h"
#include "util/data/data.h"
#include "util/error.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kInput = STDIN_FILENO;
constexpr int kOutput = STDOUT_FILENO;
constexpr int kFramesPerSecond = 60;
// A lone Escape byte is the Escape key once nothing follows it this long.
constexpr auto kEscapeWait = std::chrono::milliseconds(30);
constexpr const char* kChartFile = "data/common/images/asciichart.png";

volatile std::sig_atomic_t g_holdReleased = 0;
void releaseHold(int) { g_holdReleased = 1; }

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
class Player {
 public:
  Player(Show* show, TerminalRenderer* renderer, TerminalOutput* output, bool paced)
      : show_(show), renderer_(renderer), output_(output), paced_(paced),
        size_(terminal_session::size(kOutput)) {
    picture_.renderer = renderer;
  }

  // The signal that ended the show, or 0 after Escape.
  int run() {
    Clock::time_point next = Clock::now();
    while (!leaving()) {
      const ShownFrame frame = show_->advance(picture_);
      if (renderer_->takeFrame()) {
        hasFrame_ = true;
        lastPosted_ = output_->post(renderer_->cells(), size_);
      }
      if (frame.stopped) hold(frame.stopBeat);
      if (paced_) {
        // A late frame is not caught up: the next one shows the music's time.
        next += std::chrono::microseconds(1000000 / kFramesPerSecond);
        if (next < Clock::now()) next = Clock::now();
      } else {
        next = Clock::now();
      }
      readInputUntil(next);
    }
    return interrupted_ ? SIGINT : terminal_session::quitSignal;
  }

 private:
  bool leaving() const { return show_->finished() || interrupted_ || terminal_session::quitSignal; }

  // Announces the held frame once it is on the terminal, then keeps it
  // there (redrawn on resizes) until released.
  void hold(double beat) {
    while (!leaving() && !output_->waitWritten(lastPosted_, 50)) readInputUntil(Clock::now());
    if (leaving()) return;
    std::fprintf(stderr, "held at beat %g\n", beat);
    std::fflush(stderr);
    while (!g_holdReleased && !leaving()) readInputUntil(Clock::now() + std::chrono::milliseconds(20));
    g_holdReleased = 0;
  }

  // Reads keys and follows resizes until `deadline`; returns at once when
  // the show is to end.
  void readInputUntil(Clock::time_point deadline) {
    for (;;) {
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
      if (now >= deadline) return;
      Clock::time_point wake = deadline;
      if (parser_.pending() && lastInput_ + kEscapeWait < wake) wake = lastInput_ + kEscapeWait;
      const long long waitMs =
          std::chrono::duration_cast<std::chrono::milliseconds>(wake - now + std::chrono::microseconds(999)).count();
      pollfd input{kInput, POLLIN, 0};
      const int ready = inputOpen_ ? ::poll(&input, 1, static_cast<int>(waitMs)) : ::poll(nullptr, 0, static_cast<int>(waitMs));
      if (ready > 0 && (input.revents & (POLLIN | POLLHUP | POLLERR))) readKeys();
    }
  }

  void readKeys() {
    char bytes[256];
    const ssize_t n = ::read(kInput, bytes, sizeof bytes);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
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
  FrameOutput picture_;
  TerminalOutput* output_;
  bool paced_;
  TerminalSize size_;
  TerminalKeyParser parser_;
  Clock::time_point lastInput_;
  bool inputOpen_ = true;
  bool interrupted_ = false;
  bool hasFrame_ = false;
  uint64_t lastPosted_ = 0;
};

}  // namespace

int playInTerminal(const TerminalPlayOptions& options) {
  std::setlocale(LC_CTYPE, "");
  const std::string refusal = terminalRefusal(::isatty(kOutput) == 1, std::getenv("TERM"), nl_langinfo(CODESET));
  if (!refusal.empty()) {
    std::fprintf(stderr, "kestrune: %s\n", refusal.c_str());
    return 2;
  }

  TerminalBoxPresenter presenter;
  BoxPresenter* const earlierPresenter = boxPresenter();
  setBoxPresenter(&presenter);
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  ChartPixels chart;
  if (!loadChartPixels(kChartFile, &chart)) ErrorBox("Failed to load texture!");
  const std::array<uint8_t, 256> ink = glyphInk(chart);
  TerminalRenderer renderer;
  // The stepped clock of a frame rate, as the window's: no sound.
  ShowOptions showOptions;
  showOptions.steppedFps = options.frameRate;
  showOptions.stopBeats = options.holdBeats;
  showOptions.reduceFlashing = options.reduceFlashing;
  showOptions.player = &platform::songPlayer();
  std::unique_ptr<Show> show(new Show(showOptions));
  std::signal(SIGUSR1, releaseHold);

  TerminalOutput output(kOutput, AnsiScreen(colourModeFromEnvironment(std::getenv("COLORTERM")), ink));
  presenter.setOutput(&output);
  terminal_session::enter(kInput, kOutput);

  show->start();
  Player player(show.get(), &renderer, &output, options.frameRate == 0);
  const int signal = player.run();

  output.stop();
  terminal_session::leave();
  setBoxPresenter(earlierPresenter);
  show.reset();
  data_remove_temp_files();
  return signal ? 128 + signal : 0;
}
