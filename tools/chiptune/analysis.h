#pragma once

// Measurements on rendered or decoded audio: level, alignment against a
// reference, onsets on the beat grid, and a spectrogram picture.

#include <cstdint>
#include <string>
#include <vector>

namespace chiptune {

// Peak of interleaved 16-bit audio in dB relative to full scale.
double peakDbfs(const std::vector<int16_t>& pcm);

// Mono mix of interleaved stereo, scaled to -1..1.
std::vector<float> monoMix(const std::vector<int16_t>& pcm);

// Lag (in frames, -maxLag..maxLag) at which `signal` best matches
// `reference` over len frames from `from`: positive when signal is late.
int bestLag(const std::vector<float>& signal, const std::vector<float>& reference, int64_t from, int64_t len,
            int maxLag);

// Frame of the sharpest rise of energy within +-search frames of `expected`.
int64_t onsetNear(const std::vector<float>& mono, int64_t expected, int search);

// Onsets of the whole signal: frames where the energy of the next 2 ms
// exceeds that of the previous 2 ms by `ratio` (and is not near silence).
std::vector<int64_t> detectOnsets(const std::vector<float>& mono, double ratio = 8.0, double floorDb = -50.0);

// Distance in frames from a frame to the nearest point of a grid of `step`.
double gridDistance(int64_t frame, double step);

struct SpectrogramMarker {
  double second;
  uint8_t r, g, b;
};

// Log-frequency spectrogram (30 Hz .. 18 kHz) with a loudness lane below it;
// pixelsPerSecond columns per second. Markers are drawn as dotted lines.
bool writeSpectrogram(const std::string& path, const std::vector<float>& mono, int pixelsPerSecond,
                      const std::vector<SpectrogramMarker>& markers);

}  // namespace chiptune
