#include "synth.h"
#include "truepeak.h"

#include <algorithm>
#include <cmath>

namespace chiptune {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Correction of a step discontinuity spread over the two samples around it
// (polynomial band-limited step), t = phase, dt = phase increment.
inline double polyBlep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

// Zero-mean pulse of the given duty, amplitude about 1.
inline double pulse(double phase, double dt, double duty) {
  double v = phase < duty ? 1.0 : -1.0;
  v += polyBlep(phase, dt);
  double shifted = phase - duty;
  if (shifted < 0) shifted += 1.0;
  v -= polyBlep(shifted, dt);
  return v - (2.0 * duty - 1.0);
}

// Triangle in 16 levels, as the classic sound chips step it.
inline double triangle(double phase) {
  double tri = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
  return (std::floor((tri + 1.0) * 7.5 + 0.5) / 7.5) - 1.0;
}

struct Noise {
  uint32_t lfsr = 1;
  double acc = 0;
  double value = 1;
  double next(double rate, bool shortMode) {
    acc += rate / kSampleRate;
    while (acc >= 1.0) {
      acc -= 1.0;
      uint32_t bit = (lfsr ^ (lfsr >> (shortMode ? 6 : 1))) & 1u;
      lfsr = (lfsr >> 1) | (bit << 14);
      value = (lfsr & 1u) ? 1.0 : -1.0;
    }
    return value;
  }
};

inline double pitchHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

void renderVoiceInto(const Score& score, int v, std::vector<float>& dry, std::vector<float>* send,
                     double* maxEnvStep) {
  const Voice& voice = score.voices[size_t(v)];
  const std::vector<Note>& notes = score.notes[size_t(v)];
  const int64_t total = int64_t(dry.size());
  const double fpb = framesPerBeat(score);

  // Hits of the voices that choke this one.
  std::vector<int64_t> chokes;
  for (size_t o = 0; o < score.voices.size(); ++o)
    for (int c : score.voices[o].choke)
      if (c == v)
        for (const Note& n : score.notes[o]) chokes.push_back(tickToFrame(score, n.start));
  std::sort(chokes.begin(), chokes.end());

  double phase = 0, level = 0, noiseLevel = 0, lpState = 0, hpState = 0;
  double prevEnv = 0;
  Noise noise;
  double envStep = 0;

  for (size_t k = 0; k < notes.size(); ++k) {
    const Note& note = notes[k];
    const Instrument& in = score.instruments[size_t(note.instrument)];
    const int64_t s0 = tickToFrame(score, note.start);
    const int64_t s1 = k + 1 < notes.size() ? tickToFrame(score, notes[k + 1].start) : total;
    // Drums are one-shots: they ring until the voice strikes again.
    int64_t gateEnd = voice.drumNote >= 0 ? s1 : tickToFrame(score, note.start + note.soundingTicks());
    double release = std::max(kMinRelease, in.release);
    auto choke = std::upper_bound(chokes.begin(), chokes.end(), s0);
    if (choke != chokes.end() && *choke < gateEnd) {
      gateEnd = *choke;
      release = kChokeRelease;
    }
    // A note only reaches the following one; a longer gate becomes that length.
    gateEnd = std::min(gateEnd, s1);

    const double attack = std::max(kMinAttack, in.attack);
    // A fall faster than this would be a click of its own.
    const double decay = std::max(kMinDecay, in.decay), noiseDecay = std::max(kMinDecay / 5.0, in.noiseDecay);
    const double vel = note.velocity / 15.0;
    const double amp = vel * in.gain * voice.gain;
    const double startLevel = level, startNoise = noiseLevel;
    const double decayK = std::exp(-5.0 / (decay * kSampleRate));
    const double noiseK = std::exp(-1.0 / (noiseDecay * kSampleRate));
    const double lpA = in.lowpass > 0 ? 1.0 - std::exp(-kTwoPi * in.lowpass / kSampleRate) : 1.0;
    const double hpA = in.highpass > 0 ? 1.0 - std::exp(-kTwoPi * in.highpass / kSampleRate) : 0.0;
    const int64_t arpFrames = std::max<int64_t>(1, std::llround(in.arpStep * fpb));
    const size_t chord = note.pitches.size();
    std::vector<double> freqs;
    for (size_t i = 0; i < chord; ++i) freqs.push_back(in.freq > 0 ? in.freq : pitchHz(note.pitches[i]));
    std::vector<size_t> order;
    for (size_t i = 0; i < chord; ++i) order.push_back(in.arpMode == ArpMode::Down ? chord - 1 - i : i);
    if (in.arpMode == ArpMode::UpDown)
      for (size_t i = chord >= 2 ? chord - 2 : 0; i >= 1 && chord > 2; --i) order.push_back(i);

    const int64_t attackFrames = int64_t(std::ceil(attack * kSampleRate));
    const int64_t noiseAttack = int64_t(std::ceil(kMinAttack * kSampleRate));
    double decayed = 1.0;  // (1 - sustain) share still above the sustain level
    double noiseDecayed = 1.0;
    double releaseFrom = -1;
    const int64_t releaseFrames = int64_t(std::ceil(release * kSampleRate));
    const bool pitchMoves = in.vibDepth > 0 || in.sweepSemis != 0;

    for (int64_t n = s0; n < s1; ++n) {
      const int64_t i = n - s0;
      // Envelope: attack from wherever the last note left off, then an
      // exponential fall to the sustain level; release is a straight ramp.
      double env;
      if (i < attackFrames) {
        env = startLevel + (1.0 - startLevel) * double(i + 1) / double(attackFrames);
      } else {
        decayed *= decayK;
        env = in.sustain + (1.0 - in.sustain) * decayed;
      }
      double nl = 0;
      if (in.noiseLevel > 0) {
        if (i < noiseAttack) {
          nl = startNoise + (1.0 - startNoise) * double(i + 1) / double(noiseAttack);
        } else {
          noiseDecayed *= noiseK;
          nl = noiseDecayed;
        }
      }
      if (n >= gateEnd) {
        if (releaseFrom < 0) releaseFrom = prevEnv;
        double r = 1.0 - double(n - gateEnd + 1) / double(releaseFrames);
        env = r > 0 ? releaseFrom * r : 0.0;
        if (releaseFrom > 0) nl *= env / releaseFrom;
        else nl = 0;
      }
      envStep = std::max(envStep, std::max(std::fabs(env - prevEnv), std::fabs(nl - noiseLevel)));
      prevEnv = env;
      level = env;
      noiseLevel = nl;
      if (env <= 0 && nl <= 0 && n >= gateEnd) {
        // Silent until the next note.
        lpState = hpState = 0;
        continue;
      }

      double f = freqs.empty() ? 0.0 : freqs[order[size_t(i / arpFrames) % order.size()]];
      if (pitchMoves) {
        double t = double(i) / kSampleRate;
        double semis = 0;
        if (in.sweepSemis != 0 && t < in.sweepTime) semis += in.sweepSemis * (1.0 - t / in.sweepTime);
        if (in.vibDepth > 0 && t > in.vibDelay) {
          double since = t - in.vibDelay;
          semis += in.vibDepth * std::min(1.0, since / 0.15) * std::sin(kTwoPi * in.vibRate * since);
        }
        f *= std::pow(2.0, semis / 12.0);
      }
      const double dt = std::min(0.5, f / kSampleRate);
      double osc = 0;
      switch (in.wave) {
        case Wave::Pulse: {
          size_t di = std::min(in.duty.size() - 1, size_t(double(i) / (in.dutyStep * kSampleRate)));
          osc = pulse(phase, dt, in.duty[di]);
          break;
        }
        case Wave::Triangle: osc = triangle(phase); break;
        case Wave::Noise: osc = noise.next(in.noiseRate, in.noiseShort); break;
        case Wave::None: break;
      }
      phase += dt;
      if (phase >= 1.0) phase -= 1.0;
      double x = osc * env;
      if (in.noiseLevel > 0) {
        double layer = in.wave == Wave::Noise ? osc : noise.next(in.noiseRate, in.noiseShort);
        x += in.noiseLevel * nl * layer;
      }
      lpState += lpA * (x - lpState);
      x = lpState;
      if (hpA > 0) {
        hpState += hpA * (x - hpState);
        x -= hpState;
      }
      const float out = float(x * amp);
      dry[size_t(n)] += out;
      if (send && in.echo > 0) (*send)[size_t(n)] += float(out * in.echo);
    }
  }
  if (maxEnvStep) *maxEnvStep = envStep;
}

// Gain of a look-ahead peak limiter for a mix scaled by `gain`: 1 where the
// mix stays under `ceiling`, less where a peak would pass it. Peaks are true
// peaks, between the samples too, since that is what a decoder plays back.
// The gain slides down over up to 5 ms before a peak (no step, so no click)
// and recovers with an 80 ms release, so loud hits are held down gently.
std::vector<double> limiterGains(const std::vector<double>& left, const std::vector<double>& right, double gain,
                                 double ceiling) {
  const size_t frames = left.size();
  const std::vector<double> leftPeaks = truePeakLevels(left), rightPeaks = truePeakLevels(right);
  std::vector<double> g(frames, 1.0);
  for (size_t n = 0; n < frames; ++n) {
    const double level = std::max(leftPeaks[n], rightPeaks[n]) * gain;
    if (level > ceiling) g[n] = ceiling / level;
  }
  const double slope = 1.0 / (0.005 * kSampleRate);
  for (size_t n = frames; n-- > 1;) g[n - 1] = std::min(g[n - 1], g[n] + slope);
  const double release = 1.0 - std::exp(-1.0 / (0.08 * kSampleRate));
  for (size_t n = 1; n < frames; ++n) g[n] = std::min(g[n], g[n - 1] + (1.0 - g[n - 1]) * release);
  return g;
}

}  // namespace

double framesPerBeat(const Score& score) { return kSampleRate * 60.0 / score.tempo; }

int64_t tickToFrame(const Score& score, int64_t tick) {
  return std::llround(double(tick) * framesPerBeat(score) / kTicksPerBeat);
}

std::vector<float> renderVoice(const Score& score, int voice, double* maxEnvStep) {
  std::vector<float> dry(size_t(tickToFrame(score, score.lengthTicks())), 0.0f);
  renderVoiceInto(score, voice, dry, nullptr, maxEnvStep);
  return dry;
}

std::vector<int16_t> render(const Score& score, RenderStats* stats) {
  const size_t frames = size_t(tickToFrame(score, score.lengthTicks()));
  std::vector<double> left(frames, 0.0), right(frames, 0.0);
  std::vector<float> send(frames, 0.0f), dry(frames);
  double envStep = 0;
  for (size_t v = 0; v < score.voices.size(); ++v) {
    std::fill(dry.begin(), dry.end(), 0.0f);
    double step = 0;
    renderVoiceInto(score, int(v), dry, &send, &step);
    envStep = std::max(envStep, step);
    // Constant-power pan.
    const double angle = (score.voices[v].pan + 1.0) * 0.25 * 3.141592653589793;
    const double gl = std::cos(angle) * 1.41421356, gr = std::sin(angle) * 1.41421356;
    for (size_t n = 0; n < frames; ++n) {
      left[n] += dry[n] * gl;
      right[n] += dry[n] * gr;
    }
  }

  // Ping-pong echo: the first repeat on the left, the next on the right, each
  // one darker than the last.
  const size_t delay = size_t(std::max<int64_t>(1, std::llround(score.echoDelayBeats * framesPerBeat(score))));
  const double fb = score.echoFeedback, mix = score.echoMix;
  const double lpA = 1.0 - std::exp(-kTwoPi * score.echoLowpass / kSampleRate);
  std::vector<double> dl(frames, 0.0), dr(frames, 0.0);
  double lpL = 0, lpR = 0;
  for (size_t n = 0; n < frames; ++n) {
    double fromL = n >= delay ? dl[n - delay] : 0.0;
    double fromR = n >= delay ? dr[n - delay] : 0.0;
    lpL += lpA * (fromL - lpL);
    lpR += lpA * (fromR - lpR);
    left[n] += mix * lpL;
    right[n] += mix * lpR;
    dl[n] = send[n] + fb * lpR;
    dr[n] = fb * lpL;
  }

  // Remove DC (a pulse's mean moves with its duty), then scale to the peak.
  const double hpA = 1.0 - std::exp(-kTwoPi * 12.0 / kSampleRate);
  double low[2] = {0, 0}, peak = 0;
  for (size_t n = 0; n < frames; ++n) {
    low[0] += hpA * (left[n] - low[0]);
    low[1] += hpA * (right[n] - low[1]);
    left[n] -= low[0];
    right[n] -= low[1];
    peak = std::max(peak, std::max(std::fabs(left[n]), std::fabs(right[n])));
  }
  const double ceiling = std::pow(10.0, score.peakDb / 20.0);
  const double gain = peak > 0 ? ceiling * std::pow(10.0, score.limitDb / 20.0) / peak : 1.0;
  const std::vector<double> held = limiterGains(left, right, gain, ceiling);
  std::vector<int16_t> pcm(frames * 2);
  for (size_t n = 0; n < frames; ++n) {
    for (int c = 0; c < 2; ++c) {
      double s = (c == 0 ? left[n] : right[n]) * gain * held[n] * 32767.0;
      s = std::max(-32768.0, std::min(32767.0, std::round(s)));
      pcm[n * 2 + size_t(c)] = int16_t(s);
    }
  }
  if (stats) {
    stats->rawPeak = peak;
    stats->gain = gain;
    stats->maxEnvStep = envStep;
    stats->frames = int64_t(frames);
  }
  return pcm;
}

}  // namespace chiptune
