#pragma once

#include <cstdint>
#include <string>

// What a recording of the show was asked for.
struct CaptureRequest {
  std::string videoPath;  // MP4 file; empty: none
  std::string framesDir;  // PNG frames; empty: none
  int width = 1920;
  int height = 1080;
  // Picture aspect ratio; 0 fills the frame (the frame's own ratio).
  float aspect = 0.0f;
  int fps = 60;
  double fromBeat = 0.0;
  double toBeat = -1.0;  // negative: the end of the song plus kTailSeconds
  bool reduceFlashing = false;
};

// The frames a request covers, on the show's time line: frame n shows the
// moment n / fps after beat 0.
struct CapturePlan {
  int64_t firstFrame = 0;  // first recorded frame
  int64_t endFrame = 0;    // one past the last
  int fps = 60;
  int64_t frameCount() const { return endFrame - firstFrame; }
  double seconds(int64_t frame) const { return static_cast<double>(frame) / fps; }
  // Sound samples (44100 Hz) before frame n, so that frame n's sound runs
  // from soundSample(n) to soundSample(n + 1).
  int64_t soundSample(int64_t frame) const;
};

// Silence after the song so that the video does not stop on its last note.
constexpr double kTailSeconds = 2.0;

// Frames from the first at or after `from` to the last before `to`. False
// with `error` set when that holds no frame.
bool planCapture(const CaptureRequest& request, double beatsPerMinute, double songSeconds, CapturePlan& plan,
                 std::string& error);

float captureAspect(const CaptureRequest& request);
