#pragma once

#include <memory>
#include <vector>

#include "platform/keystate.h"
#include "schedule.h"

class AsciiEngine;
class FrameSteps;
class Music;
class ScreenRenderer;
class SteppedClock;

// The show without a window, for the terminal: the scenes of the schedule
// on a headless text screen, the song on the audio device (live) or a
// stepped clock (steppedFps above 0: no sound, frame n at n / fps seconds,
// as the window's hidden --frame-rate does).
class InterimShow {
 public:
  struct Frame {
    bool stopped = false;  // a frame at one of the stop beats
    double stopBeat = 0.0;
  };

  InterimShow(ScreenRenderer* renderer, int steppedFps, std::vector<double> stopBeats);
  ~InterimShow();

  void start();
  Frame advance();
  void keyEvent(int sdlSymbol, bool down);
  bool finished() const { return finished_; }

 private:
  std::unique_ptr<SteppedClock> steppedClock_;
  std::unique_ptr<AsciiEngine> ascii_;
  std::unique_ptr<Music> music_;
  std::unique_ptr<FrameSteps> frameSteps_;
  std::vector<double> stopBeats_;
  KeyState keys_{};
  KeyTaps keyTaps_{};
  bool finished_ = false;
  SceneList scenes_;
};
