#include "steppedclock.h"

#include <algorithm>
#include <cmath>

#include "platform/ticks.h"
#include "util/music/music.h"

namespace {

uint32_t g_steppedTicks = 0;
uint32_t steppedTicks() { return g_steppedTicks; }

}  // namespace

double secondsOfBeat(const Music& music, double beat) { return (beat - music.beatOffset) * 60.0 / music.bpm; }

SteppedClock::SteppedClock(uint32_t startTick) : startTick_(startTick) {
  g_steppedTicks = startTick;
  platform::setTickSource(steppedTicks);
}

SteppedClock::~SteppedClock() { platform::setTickSource(nullptr); }

bool SteppedClock::loadSong(const char* name) { return song_.load(name); }

void SteppedClock::setTime(Music& music, double seconds) {
  g_steppedTicks = startTick_ + static_cast<uint32_t>(std::llround(seconds * 1000.0));
  const double position = song_.loaded() ? std::min(seconds, song_.seconds()) : seconds;
  music.setManualPosition(position);
  float magnitudes[DecodedSong::kBins] = {};
  if (song_.loaded()) song_.spectrum(position, magnitudes);
  music.setManualSpectrum(magnitudes);
}

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
