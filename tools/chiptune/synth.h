#pragma once

// Renders a score to 44100 Hz stereo PCM with our own chip voices: band-limited
// pulse with duty steps, stepped triangle, shift-register noise, envelopes,
// arpeggios, vibrato, pitch sweeps and a ping-pong echo.

#include <cstdint>
#include <vector>

#include "score.h"

namespace chiptune {

constexpr int kSampleRate = 44100;
// Shortest ramps used when a sound starts or stops (seconds).
constexpr double kMinAttack = 0.001;
constexpr double kMinRelease = 0.004;
constexpr double kChokeRelease = 0.008;
// Shortest decay (seconds to fall to the sustain level).
constexpr double kMinDecay = 0.006;

struct RenderStats {
  double rawPeak = 0;      // largest sample of the mix before scaling
  double gain = 0;         // scale applied to reach the score's peak
  double maxEnvStep = 0;   // largest change of any voice's envelope in one sample
  int64_t frames = 0;
};

// Frames per beat at the score's tempo (13230 at 200 BPM).
double framesPerBeat(const Score& score);
// First frame of a tick position.
int64_t tickToFrame(const Score& score, int64_t tick);

// Interleaved stereo, lengthBeats beats long, scaled to the score's peak.
std::vector<int16_t> render(const Score& score, RenderStats* stats = nullptr);

// One voice alone, mono, unscaled (voice and instrument gains applied).
std::vector<float> renderVoice(const Score& score, int voice, double* maxEnvStep = nullptr);

}  // namespace chiptune
