#pragma once

#include <cstdint>

namespace platform {
namespace audio {

// Where the listener is in the stream of frames handed to the audio device.
//
// The device takes its buffers at uneven times (a sound server asks in its
// own quanta, a resampler in odd sizes), so the frames handed so far, read
// at the moment of each hand-over, make a jagged line. An alpha-beta filter
// (a small phase-locked loop) follows that line with a steady one. What is
// heard lags it by the delay of the device and the server behind it: given
// by the caller as an estimate, or measured by comparing the line with what
// a sound server reports as heard (the largest of the last few answers, as
// a server may tell what it has taken rather than what has been heard). Frames are at the stream's own rate, the
// times monotonic nanoseconds. Not thread-safe.
class PlaybackClock {
 public:
  explicit PlaybackClock(double framesPerSecond);

  // The device took a buffer and has now been handed `handedFrames` in all.
  void handed(int64_t ns, uint64_t handedFrames);

  // For a device that says what is heard but takes its audio in bursts (a
  // sound server's deep queue): the line runs through what is heard, and the
  // hand-overs only bound it (setHanded()).
  void follow(int64_t ns, double heardFrames);
  void setHanded(uint64_t handedFrames) { handed_ = handedFrames; }

  // The delay to use while nothing has been measured.
  void setEstimatedDelay(double frames);

  // A sound server says that by `ns` the listener had heard `frames` frames.
  void heardAt(int64_t ns, double frames);

  // Frames heard by `ns`: never more than handed, never fewer than an
  // earlier answer gave, growing smoothly between hand-overs.
  double audible(int64_t ns);

  // The delay in use, in frames, and whether a server measured it.
  double delayFrames() const { return delay_; }
  bool delayMeasured() const { return measuredCount_ > 0; }

  // Where the listener is by `ns` before the bounds of audible(): behind
  // the start while a sink still plays what it held before.
  double heardLine(int64_t ns) const { return handedLine(ns) - delay_; }

  // The steady line through the hand-overs, extended to `ns`.
  double handedLine(int64_t ns) const;

 private:
  void moveLine(int64_t ns, double frames);

  static constexpr int kDelaySamples = 32;  // a quarter second of answers and more
  struct DelaySample {
    int64_t ns;
    double delay;
  };

  double rate_;           // frames per second, nominal
  bool locked_ = false;
  int updates_ = 0;       // hand-overs since the line was (re)started
  int64_t lineNs_ = 0;    // the line passes through lineFrames_ at lineNs_
  double lineFrames_ = 0;
  double drift_ = 0;      // relative rate error of the device's clock
  uint64_t handed_ = 0;
  double estimate_ = 0;   // delay while none is measured
  double target_ = 0;     // largest of the recent measured delays
  double delay_ = 0;      // delay in use, slewed toward target_
  int64_t delayNs_ = 0;   // when delay_ was last moved
  DelaySample samples_[kDelaySamples] = {};
  int measuredCount_ = 0;
  double reported_ = 0;   // highest answer of audible()
};

}  // namespace audio
}  // namespace platform
