#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "util/music/decodedsong.h"

class Music;

// Seconds of music at which the show stands at `beat`, by the music's own
// tempo and offset.
double secondsOfBeat(const Music& music, double beat);

// The show's time when it does not follow the audio device: the caller sets
// the time of each frame, and the music's (manual) position, its spectrum
// (from the decoded song) and the tick count all stand there. One at a time:
// it is the process's tick source while it lives.
class SteppedClock {
 public:
  // `startTick` is the tick count at second 0 and during construction.
  explicit SteppedClock(uint32_t startTick);
  ~SteppedClock();
  SteppedClock(const SteppedClock&) = delete;
  SteppedClock& operator=(const SteppedClock&) = delete;

  // Decodes the song whose spectrum the analyser sees; false when the
  // archive lacks it (the spectrum is then silence).
  bool loadSong(const char* name);
  bool hasSong() const { return song_.loaded(); }

  // Moves a manual music, its spectrum and the tick count to `seconds`.
  // After the song's end its position stays there; the ticks go on.
  void setTime(Music& music, double seconds);

 private:
  uint32_t startTick_;
  DecodedSong song_;
};

// Frame times of a show run at a fixed frame rate: frame n at n / fps
// seconds, plus a frame at exactly each chosen time (chosen in ascending
// order) that is not a step; the steps go on after it.
class FrameSteps {
 public:
  explicit FrameSteps(int framesPerSecond);

  // Adds a time to stop at; one earlier than the last frame drawn is taken
  // where the show stands.
  void choose(double seconds);
  bool anyChosenLeft() const { return pending_ < chosen_.size(); }

  // The next frame's time; `chosen` says whether it is a chosen one.
  double next(bool* chosen);

 private:
  double step_;
  long index_ = 0;
  double last_ = -1.0;
  std::vector<double> chosen_;
  size_t pending_ = 0;
};
