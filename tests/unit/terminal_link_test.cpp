// The terminal output on slow and stalled links: the pacer on a simulated
// link, the writer on a pseudo-terminal that takes nothing or hangs up.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <future>
#include <random>

#include "terminal/link_pacer.h"
#include "terminal/terminal_output.h"

namespace {

using Clock = LinkPacer::Clock;
using std::chrono::milliseconds;

// A link of `bytesPerSecond` with `oneWayMs` of delay each way, stepped by
// the millisecond, between a writer that has a new frame every 1/60 s and
// a terminal that answers each query once it has shown what came before.
struct LinkRun {
  double worstAgeMs = 0;  // after 3 s, the oldest frame a written byte came from, when it arrived
  int partsCut = 0;       // writes that left part of their frame for later, after 3 s
};

LinkRun simulate(double bytesPerSecond, int oneWayMs, int seconds, bool terminalAnswers = true) {
  std::mt19937 random(9);
  LinkPacer pacer(true);
  const Clock::time_point start{};
  struct Chunk {
    double bytes;
    int postedMs;
    bool query;
  };
  std::deque<Chunk> line;              // written, not yet shown
  std::deque<int> answers;             // times the answers arrive at the writer
  int postedMs = -1;                   // the frame waiting to be written
  double remaining = 0;                // its bytes not written yet
  bool heldBack = false;
  LinkRun run;
  for (int now = 0; now < seconds * 1000; ++now) {
    const Clock::time_point time = start + milliseconds(now);
    if (now % 17 == 0) {
      // Mostly small changes, a redraw of the whole screen now and then.
      remaining = random() % 40 == 0 ? 60000 : 500 + random() % 4000;
      postedMs = now;
    }
    while (!answers.empty() && answers.front() <= now) {
      pacer.answered(time);
      answers.pop_front();
    }
    if (remaining > 0) {
      if (pacer.mayWrite(time)) {
        const double part = std::min<double>(remaining, pacer.budget());
        remaining -= part;
        if (remaining > 0 && now > 3000) ++run.partsCut;
        line.push_back({part, postedMs, false});
        line.push_back({3, postedMs, true});
        pacer.sent(static_cast<size_t>(part + 3), heldBack || remaining > 0, time);
        heldBack = false;
      } else {
        heldBack = true;
      }
    }
    // The link carries its bytes after the delay.
    double capacity = bytesPerSecond / 1000;
    while (!line.empty() && capacity > 0) {
      Chunk& chunk = line.front();
      const double taken = std::min(capacity, chunk.bytes);
      chunk.bytes -= taken;
      capacity -= taken;
      if (chunk.bytes > 0) break;
      if (now > 3000) run.worstAgeMs = std::max(run.worstAgeMs, double(now + oneWayMs - chunk.postedMs));
      if (chunk.query && terminalAnswers) answers.push_back(now + 2 * oneWayMs);
      line.pop_front();
    }
  }
  return run;
}

TEST(LinkPacerTest, OnASlowLinkThePictureStaysWithinHalfASecondOfTheShow) {
  for (double rate : {20000.0, 50000.0, 100000.0}) {
    const LinkRun run = simulate(rate, 20, 30);
    EXPECT_LT(run.worstAgeMs, 500) << rate << " bytes/s";
    EXPECT_GT(run.partsCut, 0) << "no frame was cut at " << rate << " bytes/s";
  }
}

TEST(LinkPacerTest, OnAFastLinkFramesGoOutWholeOnceTheWindowHasGrown) {
  const LinkRun run = simulate(5e6, 1, 10);
  EXPECT_LT(run.worstAgeMs, 100);
  EXPECT_LE(run.partsCut, 2);
}

TEST(LinkPacerTest, ATerminalThatNeverAnswersGetsEveryFrame) {
  LinkPacer pacer(true);
  const Clock::time_point start{};
  pacer.sent(60000, false, start);
  EXPECT_FALSE(pacer.mayWrite(start + milliseconds(100)));
  EXPECT_TRUE(pacer.mayWrite(start + LinkPacer::kFirstAnswerWait + milliseconds(1)));
  EXPECT_FALSE(pacer.querying());
  EXPECT_EQ(SIZE_MAX, pacer.budget());
  // A late answer: it does answer after all.
  pacer.answered(start + std::chrono::seconds(4));
  EXPECT_TRUE(pacer.querying());
}

std::array<uint8_t, 256> plainInk() {
  std::array<uint8_t, 256> ink;
  ink.fill(128);
  ink[0] = ink[32] = ink[255] = 0;
  return ink;
}

ScreenCells noisyCells(std::mt19937& random) {
  ScreenCells cells;
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    cells.chars[i] = static_cast<unsigned char>('A' + random() % 26);
    cells.fg[i] = static_cast<unsigned char>(random() % 16);
    cells.bg[i] = static_cast<unsigned char>(random() % 16);
  }
  return cells;
}

// A pseudo-terminal whose other end nobody reads: it takes a few kilobytes,
// then nothing more.
struct StalledTerminal {
  int master = -1, slave = -1;
  StalledTerminal() { EXPECT_EQ(0, ::openpty(&master, &slave, nullptr, nullptr, nullptr)); }
  ~StalledTerminal() {
    if (master >= 0) ::close(master);
    ::close(slave);
  }
};

TEST(TerminalOutputTest, AStalledTerminalHoldsUpNeitherTheShowNorItsEnd) {
  StalledTerminal terminal;
  std::mt19937 random(1);
  auto output = std::make_unique<TerminalOutput>(terminal.slave, AnsiScreen(ColourMode::TrueColour, plainInk()));
  for (int frame = 0; frame < 50; ++frame) output->post(noisyCells(random), {80, 50});
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_LT(output->bytesWritten(), 50u * 80 * 50) << "the terminal took every frame";
  const auto started = Clock::now();
  auto stopped = std::async(std::launch::async, [&] { output->stop(); });
  if (stopped.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
    ADD_FAILURE() << "stop() waits for a terminal that takes nothing";
    ::close(terminal.master);  // the write fails, the writer ends
    terminal.master = -1;
  }
  stopped.wait();
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(1));
  EXPECT_FALSE(output->terminalGone());
}

TEST(TerminalOutputTest, ATerminalThatHungUpIsToldAsGone) {
  StalledTerminal terminal;
  std::mt19937 random(2);
  TerminalOutput output(terminal.slave, AnsiScreen(ColourMode::Ansi16, plainInk()));
  ::close(terminal.master);
  terminal.master = -1;
  for (int frame = 0; frame < 20 && !output.terminalGone(); ++frame) {
    output.post(noisyCells(random), {80, 50});
    std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_TRUE(output.terminalGone());
}

}  // namespace
