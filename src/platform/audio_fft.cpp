#include "platform/audio_fft.h"

#include <kiss_fftr.h>

#include <cmath>
#include <mutex>

namespace platform {
namespace audio {

namespace {

struct FftPlan {
  kiss_fftr_cfg config = nullptr;
  float window[kSpectrumSize];

  FftPlan() {
    config = kiss_fftr_alloc(kSpectrumSize, 0, nullptr, nullptr);
    for (int i = 0; i < kSpectrumSize; ++i)
      window[i] = static_cast<float>(0.5 * (1.0 - std::cos(2.0 * M_PI * i / kSpectrumSize)));
  }
};

// Built on first use and kept for the life of the process.
const FftPlan& plan() {
  static FftPlan* instance = new FftPlan();
  return *instance;
}

std::mutex planMutex;  // a kissfft plan keeps scratch memory: one user at a time

}  // namespace

void computeSpectrum(const float* samples1024, float* out512) {
  const FftPlan& p = plan();
  kiss_fft_scalar in[kSpectrumSize];
  kiss_fft_cpx bins[kSpectrumSize / 2 + 1];
  for (int i = 0; i < kSpectrumSize; ++i) in[i] = samples1024[i] * p.window[i];
  {
    std::lock_guard<std::mutex> lock(planMutex);
    kiss_fftr(p.config, in, bins);
  }
  const float scale = 4.0f / kSpectrumSize;
  for (int i = 0; i < kSpectrumSize / 2; ++i)
    out512[i] = std::sqrt(bins[i].r * bins[i].r + bins[i].i * bins[i].i) * scale;
}

}  // namespace audio
}  // namespace platform
