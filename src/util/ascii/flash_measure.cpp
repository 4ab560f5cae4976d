#include "util/ascii/flash_measure.h"

#include <cmath>

namespace {

struct LinearTable {
  float levels[256];
  LinearTable() {
    for (int i = 0; i < 256; ++i) {
      const double v = i / 255.0;
      levels[i] = static_cast<float>(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
  }
};

}  // namespace

float linearLevel(int level) {
  static const LinearTable table;
  return table.levels[level < 0 ? 0 : level > 255 ? 255 : level];
}

float relativeLuminance(float r, float g, float b) { return 0.2126f * r + 0.7152f * g + 0.0722f * b; }

float redLevel(float r, float g, float b) {
  const float sum = r + g + b;
  if (sum <= 0.0f || r < 0.8f * sum) return 0.0f;
  const float excess = r - g - b;
  return excess > 0.0f ? excess * 320.0f : 0.0f;
}

bool SwingTracker::feed(float value, float swing, float darkerBelow) {
  if (!started_) {
    started_ = true;
    low_ = high_ = from_ = extreme_ = value;
    return false;
  }
  if (trend_ == 0) {
    if (value < low_) low_ = value;
    if (value > high_) high_ = value;
    if (value - low_ >= swing) {
      trend_ = 1;
      from_ = low_;
    } else if (high_ - value >= swing) {
      trend_ = -1;
      from_ = high_;
    } else {
      return false;
    }
    extreme_ = value;
    counted_ = false;
  } else if (trend_ > 0) {
    if (value > extreme_) {
      extreme_ = value;
    } else if (extreme_ - value >= swing) {
      trend_ = -1;
      from_ = extreme_;
      extreme_ = value;
      counted_ = false;
    }
  } else {
    if (value < extreme_) {
      extreme_ = value;
    } else if (value - extreme_ >= swing) {
      trend_ = 1;
      from_ = extreme_;
      extreme_ = value;
      counted_ = false;
    }
  }
  if (trend_ == 0 || counted_) return false;
  const float darker = from_ < extreme_ ? from_ : extreme_;
  if (!(darker < darkerBelow)) return false;
  counted_ = true;
  return true;
}

void TransitionLog::add(int64_t time) {
  // One transition per area and frame: a frame drawn twice counts once.
  if (count_ > 0 && times_[(next_ + kKept - 1) % kKept] == time) return;
  times_[next_] = time;
  next_ = (next_ + 1) % kKept;
  if (count_ < kKept) ++count_;
}

int TransitionLog::countAfter(int64_t since) const {
  // Newest first, up to the first one that is too old.
  int n = 0;
  while (n < count_ && times_[(next_ + kKept - 1 - n) % kKept] > since) ++n;
  return n;
}
