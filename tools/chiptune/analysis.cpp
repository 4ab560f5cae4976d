#include "analysis.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>

#include "util/texture/png_writer.h"

namespace chiptune {

namespace {

constexpr int kWindow = 88;  // 2 ms at 44100 Hz

// Prefix sums of the squared slope of the signal: energy of [a, b) in O(1).
// The slope (a first difference) stresses the attack of a sound over the
// slow swing of a bass note, whose energy in 2 ms windows would otherwise
// rise and fall with its own waveform.
std::vector<double> energyPrefix(const std::vector<float>& x) {
  std::vector<double> p(x.size() + 1, 0.0);
  for (size_t i = 0; i < x.size(); ++i) {
    double d = i > 0 ? double(x[i]) - x[i - 1] : 0.0;
    p[i + 1] = p[i] + d * d;
  }
  return p;
}

double energy(const std::vector<double>& p, int64_t a, int64_t b) {
  a = std::max<int64_t>(0, std::min<int64_t>(a, int64_t(p.size()) - 1));
  b = std::max<int64_t>(0, std::min<int64_t>(b, int64_t(p.size()) - 1));
  return b > a ? p[size_t(b)] - p[size_t(a)] : 0.0;
}

// Energy of the 2 ms after j over that of the 2 ms before; `floor` keeps a
// faint sound after near silence from counting as a strong rise.
double riseRatio(const std::vector<double>& p, int64_t j, double floor) {
  return (energy(p, j, j + kWindow) + floor) / (energy(p, j - kWindow, j) + floor);
}

void colourMap(double v, uint8_t* rgb) {
  // black -> deep blue -> magenta -> orange -> pale yellow
  static const double stops[5][3] = {{0, 0, 0}, {20, 10, 110}, {170, 30, 140}, {250, 140, 30}, {255, 250, 190}};
  v = std::max(0.0, std::min(1.0, v)) * 4.0;
  int i = std::min(3, int(v));
  double f = v - i;
  for (int c = 0; c < 3; ++c) rgb[c] = uint8_t(stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f);
}

}  // namespace

double peakDbfs(const std::vector<int16_t>& pcm) {
  int peak = 0;
  for (int16_t s : pcm) peak = std::max(peak, std::abs(int(s)));
  return peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -200.0;
}

std::vector<float> monoMix(const std::vector<int16_t>& pcm) {
  std::vector<float> m(pcm.size() / 2);
  for (size_t i = 0; i < m.size(); ++i) m[i] = float((pcm[2 * i] + pcm[2 * i + 1]) / 65536.0);
  return m;
}

int bestLag(const std::vector<float>& signal, const std::vector<float>& reference, int64_t from, int64_t len,
            int maxLag) {
  double best = -1e300;
  int bestLag = 0;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    double sum = 0;
    for (int64_t i = from; i < from + len; ++i) {
      int64_t j = i + lag;
      if (i < 0 || j < 0 || size_t(i) >= reference.size() || size_t(j) >= signal.size()) continue;
      sum += double(signal[size_t(j)]) * reference[size_t(i)];
    }
    if (sum > best) {
      best = sum;
      bestLag = lag;
    }
  }
  return bestLag;
}

int64_t onsetNear(const std::vector<float>& mono, int64_t expected, int search) {
  // Only the neighbourhood is needed; build a local prefix sum.
  const int64_t a = std::max<int64_t>(0, expected - search - kWindow);
  const int64_t b = std::min<int64_t>(int64_t(mono.size()), expected + search + kWindow);
  std::vector<float> part(mono.begin() + a, mono.begin() + b);
  std::vector<double> p = energyPrefix(part);
  // The floor: a hundredth of the mean window energy around the beat.
  const double floor = 0.01 * energy(p, 0, int64_t(part.size())) * kWindow / std::max<double>(1, double(part.size()));
  double best = -1;
  int64_t at = expected;
  for (int64_t j = expected - search; j <= expected + search; ++j) {
    double r = riseRatio(p, j - a, floor + 1e-12);
    if (r > best) {
      best = r;
      at = j;
    }
  }
  return at;
}

std::vector<int64_t> detectOnsets(const std::vector<float>& mono, double ratio, double floorDb) {
  std::vector<double> p = energyPrefix(mono);
  const double floorEnergy = kWindow * std::pow(10.0, floorDb / 10.0);
  std::vector<int64_t> out;
  const int64_t step = 4, gap = 44100 / 25;  // one onset per 40 ms at most
  int64_t candidate = -1;
  double candidateRatio = 0;
  for (int64_t j = kWindow; j + kWindow < int64_t(mono.size()); j += step) {
    double r = riseRatio(p, j, floorEnergy);
    bool loud = energy(p, j, j + kWindow) > floorEnergy;
    if (r >= ratio && loud) {
      if (candidate < 0 || j - candidate > gap) {
        if (candidate >= 0) out.push_back(candidate);
        candidate = j;
        candidateRatio = r;
      } else if (r > candidateRatio) {
        candidate = j;
        candidateRatio = r;
      }
    }
  }
  if (candidate >= 0) out.push_back(candidate);
  // Refine to single frames.
  for (int64_t& o : out) o = onsetNear(mono, o, int(step));
  return out;
}

double gridDistance(int64_t frame, double step) {
  double k = std::round(double(frame) / step);
  return std::fabs(double(frame) - k * step);
}

bool writeSpectrogram(const std::string& path, const std::vector<float>& mono, int pixelsPerSecond,
                      const std::vector<SpectrogramMarker>& markers) {
  const int n = 2048, height = 480, lane = 80;
  const double seconds = double(mono.size()) / 44100.0;
  const int width = std::max(1, int(seconds * pixelsPerSecond));
  const int totalHeight = height + lane;
  std::vector<uint8_t> img(size_t(width) * totalHeight * 3, 0);
  kiss_fftr_cfg cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
  if (!cfg) return false;
  std::vector<float> in(n), window(n);
  std::vector<kiss_fft_cpx> out(n / 2 + 1);
  for (int i = 0; i < n; ++i) window[i] = float(0.5 - 0.5 * std::cos(2 * 3.141592653589793 * i / (n - 1)));
  const double fMin = 30.0, fMax = 18000.0;
  for (int x = 0; x < width; ++x) {
    const int64_t centre = int64_t((x + 0.5) * 44100.0 / pixelsPerSecond);
    double rms = 0;
    for (int i = 0; i < n; ++i) {
      int64_t s = centre - n / 2 + i;
      float v = (s >= 0 && size_t(s) < mono.size()) ? mono[size_t(s)] : 0.0f;
      rms += double(v) * v;
      in[size_t(i)] = v * window[size_t(i)];
    }
    kiss_fftr(cfg, in.data(), out.data());
    for (int y = 0; y < height; ++y) {
      // Row 0 is the top (highest frequency); each row covers a band of bins.
      double f0 = fMin * std::pow(fMax / fMin, double(height - 1 - y) / height);
      double f1 = fMin * std::pow(fMax / fMin, double(height - y) / height);
      int b0 = int(f0 * n / 44100.0), b1 = std::max(b0 + 1, int(f1 * n / 44100.0));
      double mag = 0;
      for (int b = b0; b < b1 && b <= n / 2; ++b)
        mag = std::max(mag, double(std::hypot(out[size_t(b)].r, out[size_t(b)].i)));
      double db = 20.0 * std::log10(mag / (n / 4.0) + 1e-12);
      colourMap((db + 90.0) / 90.0, &img[(size_t(y) * width + x) * 3]);
    }
    // Loudness lane: RMS level from -40 to 0 dBFS as a bar from the bottom.
    double level = 10.0 * std::log10(rms / n + 1e-12) + 3.0;
    int bar = int(std::max(0.0, std::min(1.0, (level + 40.0) / 40.0)) * (lane - 4));
    for (int y = 0; y < bar; ++y) {
      uint8_t* px = &img[(size_t(totalHeight - 1 - y) * width + x) * 3];
      px[0] = 60;
      px[1] = 200;
      px[2] = 90;
    }
  }
  kiss_fftr_free(cfg);
  for (const SpectrogramMarker& m : markers) {
    int x = int(m.second * pixelsPerSecond);
    if (x < 0 || x >= width) continue;
    for (int y = 0; y < totalHeight; y += (y < 12 ? 1 : 3)) {
      uint8_t* px = &img[(size_t(y) * width + x) * 3];
      px[0] = m.r;
      px[1] = m.g;
      px[2] = m.b;
    }
  }
  return writePng(path, width, totalHeight, 3, img);
}

}  // namespace chiptune
