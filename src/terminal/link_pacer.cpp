#include "terminal/link_pacer.h"

#include <algorithm>

bool LinkPacer::mayWrite(Clock::time_point now) {
  if (!querying_) return true;
  if (!queries_.empty()) {
    const auto waited = now - queries_.front().sentAt;
    if (!answeredOnce_ && waited > kFirstAnswerWait) {
      querying_ = false;
      forgetQueries();
    } else if (answeredOnce_ && waited > kLostAnswer) {
      forgetQueries();
    }
  }
  return queries_.empty() || inFlight_ + kMinFrame <= window_;
}

size_t LinkPacer::budget() const {
  if (!querying_) return SIZE_MAX;
  return std::max(window_ > inFlight_ ? window_ - inFlight_ : 0, kMinFrame);
}

void LinkPacer::sent(size_t bytes, bool heldBack, Clock::time_point now) {
  if (!querying_) return;
  queries_.push_back(Query{now, bytes, heldBack});
  inFlight_ += bytes;
}

void LinkPacer::answered(Clock::time_point now) {
  // A late answer after giving up: the terminal does answer after all.
  querying_ = true;
  answeredOnce_ = true;
  if (queries_.empty()) return;
  const Query query = queries_.front();
  queries_.pop_front();
  inFlight_ -= std::min(inFlight_, query.bytes);
  const auto lag = now - query.sentAt;
  if (lag > kTargetLag) {
    // Once per round trip: the answers behind this one were sent before the cut.
    if (query.sentAt >= lastCut_) {
      window_ = std::max(kMinWindow, window_ / 2);
      lastCut_ = now;
    }
  } else if (lag < kTargetLag / 2 && query.heldBack) {
    window_ = std::min(kMaxWindow, window_ + query.bytes);
  }
}

void LinkPacer::forgetQueries() {
  queries_.clear();
  inFlight_ = 0;
}
