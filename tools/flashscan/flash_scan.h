#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/ascii/flash_measure.h"

// Finds flashing in a sequence of frames the way a photosensitivity check
// does: each frame is cut into areas (by default the 80 x 50 cells of the
// text screen), each area's light is followed through its swings, and a
// window a third of the frame wide and high flashes too often when more
// than a quarter of its areas flash more than three times in a second.
class FlashScan {
 public:
  // Frames are numbered from `firstFrame` (frame n shows second n / fps).
  FlashScan(int columns, int rows, int fps, int firstFrame = 0);

  // The next frame: width x height RGB pixels, top row first.
  void addFrame(const unsigned char* rgb, int width, int height);

  // A stretch of frames in which some window flashes too often.
  struct Episode {
    int firstFrame = 0, lastFrame = 0;
    double flashesPerSecond = 0;  // the most any window shows over a quarter of it
    double share = 0;             // the largest part of a window flashing too often
  };
  const std::vector<Episode>& general() const { return general_; }
  const std::vector<Episode>& red() const { return red_; }
  int frames() const { return frame_ - firstFrame_; }
  int firstFrame() const { return firstFrame_; }
  int fps() const { return fps_; }
  int windowColumns() const { return windowColumns_; }
  int windowRows() const { return windowRows_; }
  // The most flashes a second any window shows over a quarter of it.
  double worstGeneral() const { return worstGeneral_; }
  double worstRed() const { return worstRed_; }

 private:
  struct Area {
    SwingTracker luminance, red;
    TransitionLog luminanceTurns, redTurns;
  };
  // The worst window of this frame for one kind of flash: the highest rate
  // shown over more than a quarter of a window, and the largest part of a
  // window flashing more than three times a second.
  void judge(const std::vector<int>& counts, double* rate, double* share);
  void record(std::vector<Episode>& episodes, int frame, double rate, double share) const;

  int columns_, rows_, fps_;
  int windowColumns_, windowRows_;
  int firstFrame_;
  int frame_;
  std::vector<Area> areas_;
  std::vector<int> table_;  // summed-area table, (columns + 1) x (rows + 1)
  std::vector<Episode> general_, red_;
  double worstGeneral_ = 0, worstRed_ = 0;
};

// The report of a scan, as the tool prints it: one line per episode with
// its time, its beats (a beat is `secondsPerBeat`) and how bad it is.
std::string describeScan(const FlashScan& scan, double secondsPerBeat);
