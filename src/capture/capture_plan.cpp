#include "capture/capture_plan.h"

#include <cmath>
#include <cstdio>

namespace {

// Frame times are compared with a little slack so that a beat that falls on
// a frame (beat 12 at 60 fps is frame 216) keeps that frame.
int64_t firstFrameAtOrAfter(double seconds, int fps) {
  return static_cast<int64_t>(std::ceil(seconds * fps - 1e-6));
}

}  // namespace

int64_t CapturePlan::soundSample(int64_t frame) const {
  // Rounded in integers: frame n's sound starts at round(n * 44100 / fps).
  return (frame * 44100 * 2 + fps) / (2 * fps);
}

bool planCapture(const CaptureRequest& request, double beatsPerMinute, double songSeconds, CapturePlan& plan,
                 std::string& error) {
  const double secondsPerBeat = 60.0 / beatsPerMinute;
  const double from = request.fromBeat * secondsPerBeat;
  const double to = request.toBeat >= 0.0 ? request.toBeat * secondsPerBeat : songSeconds + kTailSeconds;
  plan.fps = request.fps;
  plan.firstFrame = firstFrameAtOrAfter(from, request.fps);
  plan.endFrame = firstFrameAtOrAfter(to, request.fps);
  if (plan.endFrame <= plan.firstFrame) {
    char text[160];
    if (request.toBeat >= 0.0)
      std::snprintf(text, sizeof text, "nothing to capture from beat %g to beat %g", request.fromBeat, request.toBeat);
    else
      std::snprintf(text, sizeof text, "nothing to capture from beat %g to the end of the show", request.fromBeat);
    error = text;
    return false;
  }
  return true;
}

float captureAspect(const CaptureRequest& request) {
  return request.aspect > 0.0f ? request.aspect
                               : static_cast<float>(request.width) / static_cast<float>(request.height);
}
