#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

// Keeps the picture in step with the music on a slow link (SSH over a busy
// network, say), where the bytes of frames can wait in buffers for a long
// time without any write ever blocking. Each frame goes out followed by a
// device-attributes query; the terminal answers it in its input once it
// has shown everything before it. The pacer keeps what is written but not
// yet shown under a window of bytes, cut in half when an answer comes back
// later than the lag it aims at and widened when answers come quickly
// while frames were held back by it. A terminal that never answers gets
// every frame as it comes.
class LinkPacer {
 public:
  using Clock = std::chrono::steady_clock;

  // The lag aimed at, between a frame written and the terminal showing it.
  static constexpr auto kTargetLag = std::chrono::milliseconds(250);
  static constexpr size_t kInitialWindow = 8 * 1024;
  static constexpr size_t kMinWindow = 2 * 1024;
  static constexpr size_t kMaxWindow = 1024 * 1024;
  // A frame is not cut smaller than this.
  static constexpr size_t kMinFrame = 1024;
  // No answer to the first query in this long: this terminal does not answer.
  static constexpr auto kFirstAnswerWait = std::chrono::seconds(3);
  // An answer missing this long is taken as lost.
  static constexpr auto kLostAnswer = std::chrono::seconds(2);

  explicit LinkPacer(bool answersCome) : querying_(answersCome) {}

  // Whether frames go out with a query.
  bool querying() const { return querying_; }
  // Whether a frame may go out now.
  bool mayWrite(Clock::time_point now);
  // How many bytes the next frame may take.
  size_t budget() const;
  // A frame of `bytes` (its query included) went out; `heldBack` when the
  // window cut it or made it wait.
  void sent(size_t bytes, bool heldBack, Clock::time_point now);
  // The terminal answered the oldest query.
  void answered(Clock::time_point now);
  // Forgets the queries under way (the picture is drawn anew).
  void forgetQueries();

  size_t window() const { return window_; }
  size_t inFlight() const { return inFlight_; }
  size_t unanswered() const { return queries_.size(); }

 private:
  struct Query {
    Clock::time_point sentAt;
    size_t bytes;
    bool heldBack;
  };

  bool querying_;
  bool answeredOnce_ = false;
  size_t window_ = kInitialWindow;
  size_t inFlight_ = 0;
  std::deque<Query> queries_;
  Clock::time_point lastCut_;
};
