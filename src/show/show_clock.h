#pragma once

#include <cstdint>
#include <memory>

#include "scenes/frame_time.h"
#include "show/steppedclock.h"

class Music;
class SongAnalysis;

// Where a show's time comes from. Each frame the show asks its clock once,
// and the answer is everything the frame's scenes may know about time: the
// beat, the tick count and the spectrum heard then. Nothing else in the
// show reads a clock.
class ShowClock {
 public:
  virtual ~ShowClock() = default;
  // The tick count now: the random seed and the scenes' init read it
  // through the show.
  virtual uint32_t ticks() const = 0;
  // Moves the music to the next frame and reads the frame's time. `stopped`
  // says whether the frame is one chosen with stopAt().
  virtual FrameTime nextFrame(Music& music, bool* stopped) = 0;
  // A frame at `seconds` of music given by the caller, where the clock lets
  // it choose (stepped: never back before the last frame); else the next.
  virtual FrameTime frameAt(Music& music, double seconds) {
    (void)seconds;
    bool stopped = false;
    return nextFrame(music, &stopped);
  }
  // A frame at exactly `seconds` of music, when the clock can step there.
  virtual void stopAt(double seconds) { (void)seconds; }
  virtual bool nextFrameStops() const { return false; }
};

// The song as the listener hears it: the music plays on the sound system,
// its position rules, and the tick count is the system's monotonic clock.
class LiveClock : public ShowClock {
 public:
  uint32_t ticks() const override;
  FrameTime nextFrame(Music& music, bool* stopped) override;

 private:
  float spectrum_[512] = {};
};

// Frames at a fixed rate without sound: frame n stands at exactly n / fps
// seconds, the music's (manual) position, the tick count and the spectrum
// of `song` (none: silence) all moved there.
class SteppedShowClock : public ShowClock {
 public:
  // `startTick` is the tick count at second 0 and before the first frame.
  SteppedShowClock(int framesPerSecond, uint32_t startTick, std::unique_ptr<SongAnalysis> song);
  ~SteppedShowClock() override;

  uint32_t ticks() const override { return ticks_; }
  FrameTime nextFrame(Music& music, bool* stopped) override;
  FrameTime frameAt(Music& music, double seconds) override;
  void stopAt(double seconds) override { steps_.choose(seconds); }
  bool nextFrameStops() const override;
  bool hasSong() const { return song_ != nullptr; }

 private:
  FrameSteps steps_;
  uint32_t startTick_;
  uint32_t ticks_;
  std::unique_ptr<SongAnalysis> song_;
  float spectrum_[512] = {};
  double last_ = 0.0;  // seconds of the latest frame

  FrameTime standAt(Music& music, double seconds);
};
