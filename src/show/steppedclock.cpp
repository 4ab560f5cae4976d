#include "show/steppedclock.h"

#include <algorithm>
#include <cmath>

#include "util/music/music.h"

double secondsOfBeat(const Music& music, double beat) { return (beat - music.beatOffset) * 60.0 / music.bpm; }

FrameSteps::FrameSteps(int framesPerSecond) : step_(1.0 / (framesPerSecond < 1 ? 1 : framesPerSecond)) {}

void FrameSteps::choose(double seconds) { chosen_.push_back(seconds); }

double FrameSteps::next(bool* chosen) {
  for (;;) {
    const double step = index_ * step_;
    if (pending_ < chosen_.size() && step >= chosen_[pending_]) {
      last_ = std::max(chosen_[pending_++], last_);
      *chosen = true;
      return last_;
    }
    ++index_;
    if (step > last_) {
      last_ = step;
      *chosen = false;
      return step;
    }
  }
}
