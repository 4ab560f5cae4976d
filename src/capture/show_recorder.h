#pragma once

#include <cstdint>
#include <string>

#include "capture/mp4_writer.h"

#include "capture/capture_plan.h"

// Where the time of a recording went.
struct CaptureStats {
  int64_t frames = 0;           // frames recorded
  double videoSeconds = 0.0;    // their length in the video
  double totalSeconds = 0.0;    // wall time of the whole recording loop
  double drawSeconds = 0.0;     // the scenes drawing (the drawing thread)
  double readbackSeconds = 0.0; // pictures read back from OpenGL
  double encodeSeconds = 0.0;   // converting, encoding, writing (the worker)
  double cpuSeconds = 0.0;      // the process's CPU time over the loop (all threads)
  int signal = 0;               // the signal that stopped it, or 0
};

// Knobs for measurements; the program uses the defaults.
struct RecorderTuning {
  // glFinish after each frame's drawing, so that the drawing time is not
  // counted as reading back (slower, for measurements only).
  bool separateDrawing = false;
  bool showProgress = true;
  // GL draws the text picture only and the worker scales it into the frame
  // (where it is magnified); false draws every frame at its size with GL.
  bool scaleOnCpu = true;
  // Where the worker scales, the picture is drawn from the text screen on
  // the CPU (the same pixels) instead of by GL and read back.
  bool drawOnCpu = true;
  // Swap the buffers of the window that carries the GL context after each
  // frame; it shows nothing of the recording, and the swap costs a copy.
  bool swapsWindow = false;
  std::string preset = Mp4Format().preset;
  int crf = Mp4Format().crf;

  // The configuration of the previous release, kept as the measurements'
  // baseline.
  static RecorderTuning earlier() {
    RecorderTuning tuning;
    tuning.drawOnCpu = false;
    tuning.preset = "superfast";
    tuning.crf = 18;
    return tuning;
  }
};

// Records the show off-line: the Show with its real scenes and OpenGL
// renderer draws into an off-screen target of the requested size, frame n
// at exactly n / fps, and the pictures go to an MP4 file with the song as
// its sound and/or to PNG frames. Needs a current OpenGL context with
// framebuffer objects and the data archive read. Nothing appears under the
// requested names unless the recording succeeds. False with `error` set
// (one line) on failure or interruption.
bool recordShow(const CaptureRequest& request, const RecorderTuning& tuning, CaptureStats& stats, std::string& error);
