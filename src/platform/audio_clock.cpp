#include "platform/audio_clock.h"

#include <algorithm>
#include <cmath>

namespace platform {
namespace audio {

namespace {

// Steady gains: the phase averages about twenty hand-overs, the rate
// follows a device clock that runs a little fast or slow (critically damped).
constexpr double kAlpha = 0.05;
constexpr double kBeta = kAlpha * kAlpha / (2.0 - kAlpha);
// Until this many hand-overs the phase is a plain running mean and the rate
// stays nominal: a server's first requests come in a burst.
constexpr int kWarmUp = 8;
constexpr double kMaxDrift = 0.02;
// A hand-over this far off the line means the device stalled or skipped:
// start the line again.
constexpr double kRelockSeconds = 0.1;
// A small change of the delay is taken in at 5 % of the elapsed time, so the
// position slows or hurries a little instead of jumping; a larger one (the
// server ran dry on a busy machine, or has just brought its latency down
// from seconds) is taken at once: a short hold or skip beats seconds off.
constexpr double kDelaySlew = 0.05;
constexpr double kDelayJumpSeconds = 0.015;
constexpr int64_t kDelayWindowNs = 250000000;

}  // namespace

PlaybackClock::PlaybackClock(double framesPerSecond) : rate_(framesPerSecond) {}

double PlaybackClock::handedLine(int64_t ns) const {
  return lineFrames_ + rate_ * (1.0 + drift_) * ((ns - lineNs_) * 1e-9);
}

void PlaybackClock::handed(int64_t ns, uint64_t handedFrames) {
  handed_ = handedFrames;
  moveLine(ns, static_cast<double>(handedFrames));
}

void PlaybackClock::follow(int64_t ns, double heardFrames) {
  moveLine(ns, heardFrames);
  heardAt(ns, heardFrames);
}

void PlaybackClock::moveLine(int64_t ns, double handedFrames) {
  if (locked_) {
    const double dt = (ns - lineNs_) * 1e-9;
    const double predicted = handedLine(ns);
    const double error = handedFrames - predicted;
    if (std::fabs(error) <= kRelockSeconds * rate_) {
      ++updates_;
      lineFrames_ = predicted + std::max(kAlpha, 1.0 / updates_) * error;
      lineNs_ = ns;
      if (updates_ > kWarmUp && dt > 0)
        drift_ = std::clamp(drift_ + kBeta * error / (dt * rate_), -kMaxDrift, kMaxDrift);
      return;
    }
  }
  locked_ = true;
  updates_ = 1;
  lineNs_ = ns;
  lineFrames_ = handedFrames;
  drift_ = 0;
}

void PlaybackClock::setEstimatedDelay(double frames) {
  estimate_ = frames;
  if (measuredCount_ == 0) delay_ = frames;
}

void PlaybackClock::heardAt(int64_t ns, double frames) {
  if (!locked_) return;
  samples_[measuredCount_ % kDelaySamples] = {ns, handedLine(ns) - frames};
  ++measuredCount_;
  // The largest delay of the last quarter second's answers: a server that
  // moves its read index a whole quantum at a time (PipeWire) is ahead of
  // the listener by up to a quantum between its steps and exact just
  // before one; no honest answer is behind what is heard.
  target_ = samples_[(measuredCount_ - 1) % kDelaySamples].delay;
  for (int i = 0; i < std::min(measuredCount_, kDelaySamples); ++i)
    if (samples_[i].ns >= ns - kDelayWindowNs) target_ = std::max(target_, samples_[i].delay);
  // The first measurement replaces the estimate at once: it is far better.
  if (measuredCount_ == 1) {
    delay_ = target_;
    delayNs_ = ns;
  }
}

double PlaybackClock::audible(int64_t ns) {
  if (!locked_) return reported_;
  if (ns > delayNs_) {
    const double target = measuredCount_ > 0 ? target_ : estimate_;
    const double step = kDelaySlew * rate_ * ((ns - delayNs_) * 1e-9);
    if (std::fabs(target - delay_) > kDelayJumpSeconds * rate_) delay_ = target;
    else delay_ += std::clamp(target - delay_, -step, step);
    delayNs_ = ns;
  }
  const double heard = std::min(handedLine(ns) - delay_, static_cast<double>(handed_));
  reported_ = std::max(reported_, heard);
  return reported_;
}

}  // namespace audio
}  // namespace platform
