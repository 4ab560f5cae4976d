#pragma once

#include <cstdio>
#include <functional>
#include <vector>

#include "show/show_core.h"

// The show a viewer or a tool asks for, the same rule for every output:
// `frameRate` 0 is the live clock with sound; above 0 the stepped clock,
// frame n at n / frameRate seconds, stopping at `stopBeats`.
ShowOptions requestedShow(int frameRate, std::vector<double> stopBeats = {}, bool reduceFlashing = false,
                          float aspect = ShowOptions().aspect);

// One output of the show (the window, the recorder, the preview, the
// terminal) as the driver loop sees it: what happens around each frame.
class ShowOutput {
 public:
  virtual ~ShowOutput() = default;
  // Before each frame: takes the input due and says where the frame goes
  // (an empty `picture` advances the show without one). False ends the show
  // before this frame.
  virtual bool beginFrame(FrameOutput& picture) = 0;
  // After each frame: shows, posts or writes it. False ends the show after it.
  virtual bool endFrame(const ShownFrame& frame) = 0;
  // The frame just ended stood at one of the chosen stop beats. False ends
  // the show.
  virtual bool stopped(double beat) {
    (void)beat;
    return true;
  }
};

// Runs `show` (started) frame by frame into `output` until the output ends it.
void driveShow(Show& show, ShowOutput& output);

// Frames held at the stop beats until the process gets SIGUSR1, for the
// scripts and tests that take their pictures meanwhile.
class FrameHold {
 public:
  // From here on SIGUSR1 releases holds instead of ending the process.
  FrameHold();

  // Announces "held at beat B" on `announce`, then calls `wait` (which reads
  // input for a short while and returns false when the show is to end)
  // until released. True when released.
  bool hold(double beat, FILE* announce, const std::function<bool()>& wait);
};
