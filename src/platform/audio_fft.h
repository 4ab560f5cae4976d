#pragma once

namespace platform {
namespace audio {

constexpr int kSpectrumSize = 1024;

// 512 magnitudes of the real FFT of 1024 mono samples in -1..1 under a Hann
// window, bin 0 (DC) first. Scaled by 4/1024 (twice the window's coherent
// gain), so a full-scale sine centred on a bin gives 1.0 there.
void computeSpectrum(const float* samples1024, float* out512);

}  // namespace audio
}  // namespace platform
