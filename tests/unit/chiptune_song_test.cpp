// Chipcore 5 itself: the score keeps the show's appointments (length, tempo,
// the hits where the screen flashes, a drum on every dance beat), and the
// MP3 made from it plays on the beat grid with headroom to spare.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis.h"
#include "chiptune_support.h"
#include "audio_io.h"
#include "score.h"
#include "synth.h"
#include "truepeak.h"

namespace {

using chiptune::kTicksPerBeat;
using chiptune::Score;

bool strikesAt(const Score& s, const char* voice, double beat) {
  const int v = s.findVoice(voice);
  if (v < 0) return false;
  for (const chiptune::Note& n : s.notes[size_t(v)])
    if (n.start == std::llround(beat * kTicksPerBeat)) return true;
  return false;
}

double rmsDb(const std::vector<float>& x, double fromBeat, double toBeat) {
  double sum = 0;
  const size_t a = size_t(fromBeat * 13230), b = size_t(toBeat * 13230);
  for (size_t i = a; i < b; ++i) sum += double(x[i]) * x[i];
  return 10.0 * std::log10(sum / double(b - a) + 1e-20);
}

TEST(ChiptuneSong, ScoreKeepsTheShowsAppointments) {
  const Score s = chiptuneSong();
  EXPECT_EQ(200.0, s.tempo);
  EXPECT_GE(s.lengthBeats, 576);
  // The white flashes of the opening come with a kick and a crash.
  for (double beat : {12.0, 20.0, 21.0, 28.0, 36.0}) {
    EXPECT_TRUE(strikesAt(s, "kick", beat)) << beat;
    EXPECT_TRUE(strikesAt(s, "crash", beat)) << beat;
  }
  // The dancer flashes on every beat from 108 to 140; the horns pulse on half beats.
  for (int beat = 108; beat < 140; ++beat) EXPECT_TRUE(strikesAt(s, "kick", beat)) << beat;
  for (double beat = 172; beat < 178; beat += 0.5) EXPECT_TRUE(strikesAt(s, "kick", beat)) << beat;
  // Every scene change is a downbeat of the music.
  for (int beat : {44, 108, 178, 228, 324, 388, 557}) {
    bool any = false;
    for (const chiptune::Voice& v : s.voices) any = any || strikesAt(s, v.name.c_str(), beat);
    EXPECT_TRUE(any) << beat;
  }
  // The piece closes before the file ends: nothing starts after the final
  // chord at 569 and every note has stopped by beat 576.
  for (size_t v = 0; v < s.voices.size(); ++v) {
    for (const chiptune::Note& n : s.notes[v]) {
      EXPECT_LE(n.start, 569 * kTicksPerBeat) << s.voices[v].name;
      if (s.voices[v].drumNote < 0) {
        EXPECT_LE(n.start + n.soundingTicks(), 576 * kTicksPerBeat) << s.voices[v].name;
      }
    }
  }
}

TEST(ChiptuneSong, Mp3PlaysOnTheBeatGridWithHeadroom) {
  const Score s = chiptuneSong();
  chiptune::RenderStats stats;
  const std::vector<int16_t> pcm = chiptune::render(s, &stats);
  EXPECT_LE(stats.maxEnvStep, 1.0 / (chiptune::kMinAttack * 44100) + 1e-9) << "a ramp shorter than 1 ms";

  std::vector<uint8_t> mp3;
  std::vector<int16_t> decoded;
  std::string error;
  ASSERT_TRUE(chiptune::encodeMp3(pcm, mp3, error)) << error;
  ASSERT_TRUE(chiptune::decodeMp3(mp3, true, decoded, error)) << error;
  ASSERT_EQ(pcm.size(), decoded.size());
  EXPECT_GE(decoded.size() / 2, size_t(576 * 13230));
  EXPECT_LT(chiptune::peakDbfs(decoded), -1.0);
  // Between the samples too, with room for a second lossy coding (the
  // recorder's AAC).
  EXPECT_LE(chiptune::truePeakDbtp(decoded), -1.5);

  const std::vector<float> ref = chiptune::monoMix(pcm), mono = chiptune::monoMix(decoded);
  EXPECT_EQ(0, chiptune::bestLag(mono, ref, 108 * 13230, 22050, 1500));
  for (double beat = 108; beat < 140; beat += 1) {
    const int64_t expected = std::llround(beat * 13230);
    EXPECT_LE(std::llabs(chiptune::onsetNear(mono, expected, 882) - expected), 132) << beat;  // 3 ms
  }
  for (double beat = 172; beat < 178; beat += 0.5) {
    const int64_t expected = std::llround(beat * 13230);
    EXPECT_LE(std::llabs(chiptune::onsetNear(mono, expected, 441) - expected), 132) << beat;
  }
  // The music is there from beat 0, the credits are calmer than the show,
  // and after the final chord the song runs out in silence.
  EXPECT_GT(rmsDb(mono, 0, 1), -45.0);
  EXPECT_LT(rmsDb(mono, 388, 557), rmsDb(mono, 44, 388) - 2.0);
  EXPECT_LT(rmsDb(mono, 576, s.lengthBeats), -70.0);
}

// A tone at a quarter of the sample rate, sampled 45 degrees off its
// crests: every sample sits 3 dB below the peak the waveform reaches. (It
// fades in and out, since a cut tone rings past its own peak.)
TEST(ChiptuneTruePeak, FindsThePeaksBetweenTheSamples) {
  std::vector<int16_t> pcm;
  const double amplitude = 0.5, pi = 3.141592653589793;
  for (int n = 0; n < 4410; ++n) {
    const double fade = std::min(1.0, std::min(n, 4409 - n) / 400.0);
    const double envelope = amplitude * (0.5 - 0.5 * std::cos(pi * fade));
    const int16_t s = int16_t(std::lround(envelope * 32768.0 * std::sin(pi * (n / 2.0 + 0.25))));
    pcm.push_back(s);
    pcm.push_back(int16_t(s / 2));
  }
  EXPECT_NEAR(chiptune::peakDbfs(pcm), 20 * std::log10(amplitude) - 3.01, 0.05);
  EXPECT_NEAR(chiptune::truePeakDbtp(pcm), 20 * std::log10(amplitude), 0.1);
  EXPECT_EQ(chiptune::truePeakDbtp(std::vector<int16_t>(200, 0)), -200.0);
}

}  // namespace
