// The synthesiser and the audio files: notes start on their sample, sound at
// their pitch, start and stop without clicks, and survive MP3 encoding with
// the beat clock intact.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "analysis.h"
#include "audio_io.h"
#include "score.h"
#include "synth.h"
#include "truepeak.h"

namespace {

using chiptune::Score;

Score parse(const std::string& text) {
  Score s;
  std::string error;
  EXPECT_TRUE(chiptune::parseScore(text, s, error)) << error;
  return s;
}

// Frequency from the zero crossings of a mono stretch.
double frequency(const std::vector<float>& x, size_t from, size_t to) {
  int crossings = 0;
  size_t first = 0, last = 0;
  for (size_t i = from + 1; i < to; ++i) {
    if (x[i - 1] < 0 && x[i] >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  return crossings > 1 ? 44100.0 * (crossings - 1) / double(last - first) : 0.0;
}

const char* kTwoNotes =
    "length 4\npeak -6\n"
    "instrument sq wave=pulse duty=0.5 a=0 d=1 s=1 r=0\n"
    "instrument tri wave=triangle a=0.01 d=1 s=1 r=0.05\n"
    "voice a channel=0 instrument=sq\nvoice b channel=1 instrument=tri\n"
    "pattern hi\n  o4 a2\nend\npattern lo\n  o2 a2\nend\n"
    "at 2 a hi\nat 0 b lo\n";

TEST(ChiptuneSynth, NotesStartOnTheirSampleAtTheirPitch) {
  const Score s = parse(kTwoNotes);
  EXPECT_DOUBLE_EQ(13230.0, chiptune::framesPerBeat(s));
  const std::vector<float> a = chiptune::renderVoice(s, 0);
  ASSERT_EQ(size_t(4 * 13230), a.size());
  for (size_t i = 0; i < 2 * 13230; ++i) ASSERT_EQ(0.0f, a[i]) << i;
  // The band-limited edge puts the very first sample at the midpoint, zero.
  EXPECT_NE(0.0f, a[2 * 13230 + 1]);
  EXPECT_NEAR(440.0, frequency(a, 2 * 13230, 4 * 13230), 1.0);
  const std::vector<float> b = chiptune::renderVoice(s, 1);
  EXPECT_NEAR(110.0, frequency(b, 1000, 2 * 13230), 0.5);
  // After its two beats the triangle releases to silence within its 50 ms.
  for (size_t i = 2 * 13230 + 2300; i < 4 * 13230; ++i) ASSERT_EQ(0.0f, b[i]) << i;

  chiptune::RenderStats stats;
  const std::vector<int16_t> pcm = chiptune::render(s, &stats);
  ASSERT_EQ(size_t(2 * 4 * 13230), pcm.size());
  // Scaled so the loudest true peak (between samples too) sits at the
  // score's peak of -6 dB; the samples themselves stay under it.
  EXPECT_NEAR(-6.0, chiptune::truePeakDbtp(pcm), 0.05);
  EXPECT_LE(chiptune::peakDbfs(pcm), -6.0 + 0.01);
  // Even an instrument asking for no attack or release ramps over 1 and 4 ms.
  EXPECT_LE(stats.maxEnvStep, 1.0 / (chiptune::kMinAttack * 44100) + 1e-9);
  EXPECT_GT(stats.maxEnvStep, 0.0);
}

TEST(ChiptuneSynth, TheLimiterHoldsPeaksAtTheCeilingAndLiftsTheRest) {
  // The square (beats 2-4) is louder than the triangle (beats 0-2). Driven
  // 3 dB into the limiter, the square is held at -6 dB and the triangle,
  // under the ceiling, comes out 3 dB louder than without the limiter.
  const std::string driven = std::string(kTwoNotes) + "limit 3\n";
  const std::vector<int16_t> plain = chiptune::render(parse(kTwoNotes));
  const std::vector<int16_t> held = chiptune::render(parse(driven.c_str()));
  EXPECT_LE(chiptune::peakDbfs(held), -6.0 + 0.01);
  EXPECT_NEAR(-6.0, chiptune::truePeakDbtp(held), 0.1);
  const auto peakOf = [](const std::vector<int16_t>& pcm, size_t from, size_t to) {
    int peak = 0;
    for (size_t i = 2 * from; i < 2 * to; ++i) peak = std::max(peak, std::abs(int(pcm[i])));
    return peak;
  };
  const double lift = 20.0 * std::log10(double(peakOf(held, 5000, 20000)) / peakOf(plain, 5000, 20000));
  EXPECT_NEAR(3.0, lift, 0.1);
}

TEST(ChiptuneSynth, ChordsArpeggiateAndDrumsChoke) {
  const Score s = parse(
      "length 4\n"
      "instrument arp wave=pulse duty=0.5 arp=1/4 a=0 d=1 s=1 r=0\n"
      "instrument noise wave=noise nrate=44100 a=0 d=10 s=1 r=0\n"
      "voice chords channel=0 instrument=arp\n"
      "voice open channel=9 drum=46 instrument=noise\n"
      "voice closed channel=9 drum=42 instrument=noise choke=open\n"
      "pattern c\n  o4 [ace]1\nend\n"
      "grid g\n  open  x-------\n  closed ----x---\nend\n"
      "at 0 chords c\nat 0 drums g\n");
  const std::vector<float> c = chiptune::renderVoice(s, 0);
  const double step = 13230 / 4.0;
  const double want[] = {440.0, 523.25, 659.26, 440.0};
  for (int k = 0; k < 4; ++k)
    EXPECT_NEAR(want[k], frequency(c, size_t(k * step + 200), size_t((k + 1) * step - 200)), 3.0) << k;
  // The open hat rings on (drums ring until their next hit) until the closed
  // hat strikes at beat 1, then dies within its short choke ramp.
  const std::vector<float> open = chiptune::renderVoice(s, 1);
  double before = 0, after = 0;
  for (size_t i = 13230 - 2000; i < 13230; ++i) before += std::fabs(open[i]);
  for (size_t i = 13230 + 400; i < 4 * 13230; ++i) after += std::fabs(open[i]);
  EXPECT_GT(before, 100.0);
  EXPECT_EQ(0.0, after);
}

TEST(ChiptuneSynth, RenderingIsDeterministic) {
  const Score s = parse(kTwoNotes);
  EXPECT_EQ(chiptune::render(s), chiptune::render(s));
}

TEST(ChiptuneAudio, Mp3KeepsLengthAlignmentAndBytes) {
  const Score s = parse(
      "length 16\n"
      "instrument k wave=triangle freq=50 sweep=28,0.05 a=0.001 d=0.2 s=0 noise=0.5,0.005\n"
      "instrument l wave=pulse duty=0.25 d=0.3 s=0.5\n"
      "voice kick channel=9 drum=36 instrument=k\nvoice lead channel=0 instrument=l\n"
      "grid four\n  kick x---|x---|x---|x---\nend\n"
      "pattern m\n  o5 l8 (e a g e)4\nend\n"
      "at 0 drums four*4\nat 4 lead m\n");
  const std::vector<int16_t> pcm = chiptune::render(s);
  std::vector<uint8_t> mp3, again;
  std::string error;
  ASSERT_TRUE(chiptune::encodeMp3(pcm, mp3, error)) << error;
  ASSERT_TRUE(chiptune::encodeMp3(pcm, again, error)) << error;
  EXPECT_EQ(mp3, again);
  EXPECT_EQ(std::string("Info"), std::string(mp3.begin() + 36, mp3.begin() + 40));

  std::vector<int16_t> decoded, raw;
  ASSERT_TRUE(chiptune::decodeMp3(mp3, true, decoded, error)) << error;
  ASSERT_TRUE(chiptune::decodeMp3(mp3, false, raw, error)) << error;
  // The tag lets the decoder drop the encoder's delay and padding exactly.
  EXPECT_EQ(pcm.size(), decoded.size());
  EXPECT_GT(raw.size(), decoded.size());
  const std::vector<float> ref = chiptune::monoMix(pcm), got = chiptune::monoMix(decoded);
  EXPECT_EQ(0, chiptune::bestLag(got, ref, 4 * 13230, 13230, 1500));
  EXPECT_GT(chiptune::bestLag(chiptune::monoMix(raw), ref, 4 * 13230, 13230, 1500), 1000);
  for (int beat = 1; beat < 16; ++beat) {
    const int64_t at = chiptune::onsetNear(got, beat * 13230, 882);
    EXPECT_LE(std::abs(at - beat * 13230), 44) << "beat " << beat;  // within 1 ms
  }
}

TEST(ChiptuneAudio, WavRoundTripAndBrokenFiles) {
  const std::vector<int16_t> pcm = {0, 1, -1, 32767, -32768, 1234};
  std::vector<int16_t> back;
  std::string error;
  int channels = 0, rate = 0;
  const std::vector<uint8_t> wav = chiptune::encodeWav(pcm);
  ASSERT_TRUE(chiptune::decodeWav(wav, back, channels, rate, error)) << error;
  EXPECT_EQ(pcm, back);
  EXPECT_EQ(2, channels);
  EXPECT_EQ(44100, rate);
  for (size_t cut : {size_t(0), size_t(11), size_t(30), size_t(43)}) {
    std::vector<uint8_t> part(wav.begin(), wav.begin() + long(cut));
    EXPECT_FALSE(chiptune::decodeWav(part, back, channels, rate, error)) << cut;
  }
  std::vector<uint8_t> huge = wav;
  huge[40] = 0xFF;  // data chunk claims more than the file holds
  EXPECT_FALSE(chiptune::decodeWav(huge, back, channels, rate, error));
  // No frame to be found: refused, not an empty song.
  std::vector<int16_t> decoded;
  EXPECT_FALSE(chiptune::decodeMp3(std::vector<uint8_t>(5000, 0), true, decoded, error));
  EXPECT_FALSE(chiptune::decodeMp3(std::vector<uint8_t>(), true, decoded, error));
}

}  // namespace
