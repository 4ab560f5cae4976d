#include "truepeak.h"

#include <algorithm>
#include <cmath>

namespace chiptune {

namespace {

constexpr int kPhases = 4;
constexpr int kHalfTaps = 16;  // taps on each side of a point

// Windowed-sinc taps for the point `phase` quarters past a sample, over
// samples n - kHalfTaps + 1 .. n + kHalfTaps.
struct Interpolator {
  double taps[kPhases][2 * kHalfTaps];
  Interpolator() {
    const double pi = 3.141592653589793;
    for (int p = 1; p < kPhases; ++p) {
      for (int k = 0; k < 2 * kHalfTaps; ++k) {
        const double t = (k - kHalfTaps + 1) - double(p) / kPhases;  // sample offset from the point
        const double sinc = std::sin(pi * t) / (pi * t);
        const double w = t / kHalfTaps;  // -1..1 across the window
        const double blackman = 0.42 + 0.5 * std::cos(pi * w) + 0.08 * std::cos(2 * pi * w);
        taps[p][k] = sinc * blackman;
      }
      // Unity gain at low frequencies, as the bare window would not give.
      double sum = 0;
      for (int k = 0; k < 2 * kHalfTaps; ++k) sum += taps[p][k];
      for (int k = 0; k < 2 * kHalfTaps; ++k) taps[p][k] /= sum;
    }
  }
};

const Interpolator& interpolator() {
  static const Interpolator table;
  return table;
}

}  // namespace

std::vector<double> truePeakLevels(const std::vector<double>& x) {
  const Interpolator& f = interpolator();
  const int64_t count = int64_t(x.size());
  std::vector<double> level(x.size());
  for (int64_t n = 0; n < count; ++n) {
    double peak = std::fabs(x[size_t(n)]);
    const int64_t first = n - kHalfTaps + 1;
    for (int p = 1; p < kPhases; ++p) {
      double sum = 0;
      for (int k = 0; k < 2 * kHalfTaps; ++k) {
        const int64_t i = first + k;
        if (i >= 0 && i < count) sum += f.taps[p][k] * x[size_t(i)];
      }
      peak = std::max(peak, std::fabs(sum));
    }
    level[size_t(n)] = peak;
  }
  return level;
}

double truePeakDbtp(const std::vector<int16_t>& pcm) {
  double peak = 0;
  for (int c = 0; c < 2; ++c) {
    std::vector<double> channel(pcm.size() / 2);
    for (size_t i = 0; i < channel.size(); ++i) channel[i] = pcm[2 * i + size_t(c)] / 32768.0;
    for (double level : truePeakLevels(channel)) peak = std::max(peak, level);
  }
  return peak > 0 ? 20.0 * std::log10(peak) : -200.0;
}

}  // namespace chiptune
