#pragma once

// Peaks between the samples: the band-limited signal a DAC or a lossy
// decoder reconstructs can swing past the largest sample. Measured at four
// times the sample rate, as loudness meters measure true peak.

#include <cstdint>
#include <vector>

namespace chiptune {

// Per sample n, the largest magnitude of the reconstructed signal over
// [n, n + 1): the sample itself and the points a quarter, a half and three
// quarters of the way to the next one.
std::vector<double> truePeakLevels(const std::vector<double>& x);

// True peak of interleaved 16-bit stereo in dB relative to full scale (dBTP).
double truePeakDbtp(const std::vector<int16_t>& pcm);

}  // namespace chiptune
