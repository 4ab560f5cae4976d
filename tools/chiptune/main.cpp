// chiptune: renders the song's score to WAV/MP3, writes the same notes as a
// MIDI file with the XML sync configuration and its templates, and checks a
// rendered or decoded file against the beat grid.
//
//   chiptune SCORE [--wav OUT] [--mp3 OUT] [--mid OUT] [--xml OUT] [--template NAME OUT]...
//   chiptune --check AUDIO.mp3|AUDIO.wav [--score SCORE] [--min-beats N]
//            [--dance FROM TO] [--spectrogram OUT.png]

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "analysis.h"
#include "audio_io.h"
#include "score.h"
#include "smf.h"
#include "synth.h"
#include "syncxml.h"
#include "truepeak.h"

using namespace chiptune;

namespace {

[[noreturn]] void die(const std::string& message) {
  std::fprintf(stderr, "chiptune: %s\n", message.c_str());
  std::exit(1);
}

void usage() {
  die("usage: chiptune SCORE [--wav OUT] [--mp3 OUT] [--mid OUT] [--xml OUT] [--template NAME OUT]...\n"
      "       chiptune --check AUDIO [--score SCORE] [--min-beats N] [--dance FROM TO] [--spectrogram OUT.png]");
}

Score loadScore(const std::string& path) {
  std::string text, error;
  if (!readTextFile(path, text)) die("cannot read " + path);
  Score score;
  if (!parseScore(text, score, error)) die(path + ": " + error);
  return score;
}

void save(const std::string& path, const void* data, size_t size) {
  if (!writeBinaryFile(path, data, size)) die("cannot write " + path);
}

int render(int argc, char** argv) {
  Score score = loadScore(argv[1]);
  std::string wav, mp3, mid, xml;
  std::vector<std::pair<std::string, std::string>> templates;
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) usage();
      return argv[++i];
    };
    if (a == "--wav") wav = next();
    else if (a == "--mp3") mp3 = next();
    else if (a == "--mid") mid = next();
    else if (a == "--xml") xml = next();
    else if (a == "--template") {
      std::string name = next();
      templates.emplace_back(name, next());
    } else usage();
  }
  std::string error, text;
  // The sync files are checked on every run so a bad binding shows early.
  if (!writeSyncConfig(score, text, error)) die(error);
  if (!xml.empty()) save(xml, text.data(), text.size());
  for (const auto& [name, path] : templates) {
    if (!writeSyncTemplate(score, name, text, error)) die(error);
    save(path, text.data(), text.size());
  }
  if (!mid.empty()) {
    std::vector<uint8_t> bytes = writeMidi(score);
    save(mid, bytes.data(), bytes.size());
  }
  if (!wav.empty() || !mp3.empty()) {
    RenderStats stats;
    std::vector<int16_t> pcm = chiptune::render(score, &stats);
    if (!wav.empty()) {
      std::vector<uint8_t> bytes = encodeWav(pcm);
      save(wav, bytes.data(), bytes.size());
    }
    if (!mp3.empty()) {
      std::vector<uint8_t> bytes;
      if (!encodeMp3(pcm, bytes, error)) die(error);
      save(mp3, bytes.data(), bytes.size());
    }
  }
  return 0;
}

const int kSceneBeats[] = {0, 12, 28, 44, 76, 108, 140, 172, 178, 204, 228, 260, 324, 356, 388, 420, 452, 484, 517, 557, 569, 580};

double rmsDb(const std::vector<float>& x, int64_t a, int64_t b) {
  double sum = 0;
  for (int64_t i = a; i < b && size_t(i) < x.size(); ++i) sum += double(x[size_t(i)]) * x[size_t(i)];
  return b > a ? 10.0 * std::log10(sum / double(b - a) + 1e-12) : -120.0;
}

// Loudness of the mix and of every voice, section by section (dBFS RMS).
void printLevels(const Score& score, const std::vector<float>& mono) {
  RenderStats stats;
  chiptune::render(score, &stats);
  std::vector<std::vector<float>> voices;
  for (size_t v = 0; v < score.voices.size(); ++v) {
    voices.push_back(renderVoice(score, int(v)));
    for (float& s : voices.back()) s = float(s * stats.gain);
  }
  std::printf("\nsection     mix");
  for (const Voice& v : score.voices) std::printf(" %6s", v.name.c_str());
  std::printf("\n");
  const double fpb = framesPerBeat(score);
  for (size_t k = 0; k + 1 < sizeof kSceneBeats / sizeof kSceneBeats[0]; ++k) {
    const int64_t a = int64_t(kSceneBeats[k] * fpb), b = int64_t(kSceneBeats[k + 1] * fpb);
    std::printf("%3d-%3d %6.1f", kSceneBeats[k], kSceneBeats[k + 1], rmsDb(mono, a, b));
    for (const std::vector<float>& v : voices) std::printf(" %6.1f", rmsDb(v, a, b));
    std::printf("\n");
  }
}

int check(int argc, char** argv) {
  std::string audio, scorePath, png;
  double minBeats = 0, danceFrom = 108, danceTo = 140;
  bool levels = false;
  int pps = 10;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) usage();
      return argv[++i];
    };
    if (a == "--check") audio = next();
    else if (a == "--score") scorePath = next();
    else if (a == "--min-beats") minBeats = std::atof(next().c_str());
    else if (a == "--dance") {
      danceFrom = std::atof(next().c_str());
      danceTo = std::atof(next().c_str());
    } else if (a == "--spectrogram") png = next();
    else if (a == "--levels") levels = true;
    else if (a == "--pps") pps = std::atoi(next().c_str());
    else usage();
  }
  std::vector<uint8_t> file;
  if (!readBinaryFile(audio, file)) die("cannot read " + audio);
  std::vector<int16_t> pcm, raw;
  std::string error;
  const bool isMp3 = audio.size() > 4 && audio.compare(audio.size() - 4, 4, ".mp3") == 0;
  if (isMp3) {
    if (!decodeMp3(file, true, pcm, error) || !decodeMp3(file, false, raw, error)) die(error);
  } else {
    int channels, rate;
    if (!decodeWav(file, pcm, channels, rate, error)) die(error);
    if (channels != 2 || rate != 44100) die("expected 44100 Hz stereo");
  }
  const double fpb = 44100.0 * 60.0 / 200.0;
  const int64_t frames = int64_t(pcm.size() / 2);
  bool ok = true;
  std::printf("file            %s\n", audio.c_str());
  std::printf("decoded frames  %lld (%.3f s, %.3f beats at 200 BPM)\n", (long long)frames, frames / 44100.0,
              frames / fpb);
  if (isMp3)
    std::printf("without gapless %lld frames (%+lld: encoder delay and padding the decoder trims)\n",
                (long long)(raw.size() / 2), (long long)(raw.size() / 2) - (long long)frames);
  if (minBeats > 0 && frames / fpb < minBeats) {
    std::printf("FAIL: shorter than %.0f beats\n", minBeats);
    ok = false;
  }
  const double peak = peakDbfs(pcm);
  std::printf("peak            %.2f dBFS\n", peak);
  if (peak >= -1.0) {
    std::printf("FAIL: peak not below -1 dBFS\n");
    ok = false;
  }
  const double truePeak = truePeakDbtp(pcm);
  std::printf("true peak       %.2f dBTP\n", truePeak);
  if (truePeak > -1.5) {
    std::printf("FAIL: true peak above -1.5 dBTP\n");
    ok = false;
  }
  std::vector<float> mono = monoMix(pcm);

  if (!scorePath.empty()) {
    Score score = loadScore(scorePath);
    std::vector<float> ref = monoMix(chiptune::render(score));
    const int64_t from = int64_t(danceFrom * fpb);
    const int lag = bestLag(mono, ref, from, 44100, 2048);
    std::printf("lag vs. score   %d frames (%.2f ms) at beat %.0f\n", lag, lag / 44.1, danceFrom);
    if (std::abs(lag) > 2) {
      std::printf("FAIL: decoded audio does not start on beat 0\n");
      ok = false;
    }
    if (isMp3) {
      std::vector<float> rawMono = monoMix(raw);
      std::printf("lag without gapless trimming %d frames\n", bestLag(rawMono, ref, from, 44100, 2048));
    }
  }

  // Every beat of the dance section carries a drum hit: measure where.
  double sum = 0, worst = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  int count = 0;
  for (int b = int(danceFrom); b < int(danceTo); ++b) {
    const int64_t expected = int64_t(std::llround(b * fpb));
    const int64_t at = onsetNear(mono, expected, int(0.02 * 44100));
    const double ms = (at - expected) / 44.1;
    sum += ms;
    worst = std::max(worst, std::fabs(ms));
    sx += b;
    sy += double(at);
    sxx += double(b) * b;
    sxy += double(b) * double(at);
    ++count;
  }
  if (count > 1) {
    const double slope = (count * sxy - sx * sy) / (count * sxx - sx * sx);
    std::printf("beats %.0f-%.0f    onsets mean %+.2f ms, worst %.2f ms; fitted tempo %.3f BPM\n", danceFrom,
                danceTo - 1, sum / count, worst, 60.0 * 44100.0 / slope);
    if (worst > 3.0) {
      std::printf("FAIL: a beat onset is more than 3 ms off the grid\n");
      ok = false;
    }
  }

  std::vector<int64_t> onsets = detectOnsets(mono);
  int onGrid = 0, onBeat = 0;
  for (int64_t o : onsets) {
    if (gridDistance(o, fpb / 4) <= 0.003 * 44100) ++onGrid;
    if (gridDistance(o, fpb) <= 0.003 * 44100) ++onBeat;
  }
  std::printf("onsets          %zu detected, %d (%.1f%%) within 3 ms of the 1/4-beat grid, %d on whole beats\n",
              onsets.size(), onGrid, onsets.empty() ? 0.0 : 100.0 * onGrid / onsets.size(), onBeat);
  int listed = 0;
  for (int64_t o : onsets)
    if (gridDistance(o, fpb / 4) > 0.003 * 44100 && listed++ < 10)
      std::printf("  off the grid at beat %.3f\n", o / fpb);

  if (!scorePath.empty() && levels) printLevels(loadScore(scorePath), mono);

  if (!png.empty()) {
    std::vector<SpectrogramMarker> markers;
    for (int b : {44, 108, 178, 228, 324, 388, 557}) markers.push_back({b * 0.3, 120, 255, 120});
    for (int b : {12, 20, 28, 36, 140, 172}) markers.push_back({b * 0.3, 255, 255, 255});
    if (!writeSpectrogram(png, mono, std::max(1, std::min(400, pps)), markers)) die("cannot write " + png);
    std::printf("spectrogram     %s\n", png.c_str());
  }
  std::printf("%s\n", ok ? "OK" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) usage();
  if (std::strcmp(argv[1], "--check") == 0) return check(argc, argv);
  if (argv[1][0] == '-') usage();
  return render(argc, argv);
}
