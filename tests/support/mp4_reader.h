#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a test needs to know of an MP4 file, read back through libavformat
// and decoded through libavcodec.
struct Mp4Contents {
  int64_t videoFrames = 0;        // pictures decoded
  double videoSeconds = 0.0;      // the video stream's duration
  double frameRate = 0.0;         // its average frame rate
  int width = 0, height = 0;
  std::vector<double> lumaMeans;  // mean luma (0..255) of each picture, in order
  double soundSeconds = 0.0;      // the sound stream's duration
  int soundRate = 0;
  int soundChannels = 0;
  std::vector<float> sound;       // mono mix of the decoded sound, -1..1
};

// False with `error` set when the file cannot be read or decoded.
bool readMp4(const std::string& path, Mp4Contents& out, std::string& error);

// The time (seconds) within [centre - halfWidth, centre + halfWidth] at
// which the sound's high-frequency energy, taken in 2 ms steps, jumps the
// most against the 20 ms before it: where a hit starts.
double strongestOnset(const std::vector<float>& sound, int rate, double centre, double halfWidth);
