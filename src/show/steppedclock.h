#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>


class Music;

// Seconds of music at which the show stands at `beat`, by the music's own
// tempo and offset.
double secondsOfBeat(const Music& music, double beat);

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
