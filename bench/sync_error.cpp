// How far the show's clock is from what the audio device has really played.
//
// Plays a generated song through Music on SDL's dummy driver and, at frame
// pace, reads the beat time and turns it back into seconds. The device's own
// progress is known afterwards from the times at which it took each buffer:
// a buffer handed over at T(k) has been played by T(k+1), at an even pace in
// between. The difference of the two, in milliseconds, is the sync error.
//
//   bench_sync_error [--seconds=N]   (default 60)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio.h"
#include "support/audio_fixtures.h"
#include "support/test_archive.h"
#include "util/music/music.h"

namespace audio = platform::audio;

namespace {

struct Handover {
  int64_t ns;
  uint64_t start;
  uint32_t bytes;
};

std::vector<Handover> handovers;
std::atomic<size_t> handoverCount{0};

void recordHandover(audio::Handle, int64_t ns, uint64_t start, uint32_t bytes) {
  size_t i = handoverCount.load(std::memory_order_relaxed);
  if (i < handovers.size()) {
    handovers[i] = {ns, start, bytes};
    handoverCount.store(i + 1, std::memory_order_release);
  }
}

struct Reading {
  int64_t ns;
  float beat;
};

double msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60.0;
  for (int i = 1; i < argc; ++i) {
    if (strncmp(argv[i], "--seconds=", 10) == 0) {
      seconds = atof(argv[i] + 10);
    } else {
      fprintf(stderr, "usage: %s [--seconds=N]\n", argv[0]);
      return 2;
    }
  }
  if (!(seconds > 0.5)) seconds = 0.5;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("KESTRUNE_NO_BOXES", "1", 0);

  auto clock = std::chrono::steady_clock::now();
  auto song = audio_fixtures::encodeMp3(audio_fixtures::testSong(seconds + 2.0));
  printf("song: %.1f s MP3, %zu bytes, encoded in %.0f ms\n", seconds + 2.0, song.size(), msSince(clock));
  TestArchive archive({{"data/bench/song.mp3", audio_fixtures::asString(song)}});

  handovers.resize(static_cast<size_t>(seconds * 44100 / 256) + 1000);
  audio::setDeviceProbe(recordHandover);

  clock = std::chrono::steady_clock::now();
  Music music("data/bench/song.mp3");
  printf("Music construction (device, archive copy, stream with pre-scan): %.2f ms\n", msSince(clock));

  std::vector<Reading> readings;
  readings.reserve(static_cast<size_t>(seconds * 70) + 100);
  uint32_t jitter = 12345;
  music.play();
  const int64_t startNs = audio::clockNs();
  while (audio::clockNs() - startNs < static_cast<int64_t>(seconds * 1e9)) {
    music.update();
    int64_t before = audio::clockNs();
    float beat = music.beatTime();
    int64_t after = audio::clockNs();
    readings.push_back({before + (after - before) / 2, beat});
    // About 60 frames a second, not locked to the device's period.
    jitter = jitter * 1664525u + 1013904223u;
    std::this_thread::sleep_for(std::chrono::microseconds(15000 + (jitter >> 16) % 3500));
  }
  audio::setDeviceProbe(nullptr);
  size_t count = handoverCount.load(std::memory_order_acquire);
  if (count < 3) {
    fprintf(stderr, "the device took fewer than three buffers\n");
    return 1;
  }

  std::vector<double> errors;
  double sum = 0, sumAbs = 0, worst = 0;
  for (const Reading& r : readings) {
    // The buffer playing at r.ns, known only once the next one was taken.
    auto next = std::upper_bound(handovers.begin(), handovers.begin() + count, r.ns,
                                 [](int64_t ns, const Handover& h) { return ns < h.ns; });
    if (next == handovers.begin() || next == handovers.begin() + count) continue;
    const Handover& h = *(next - 1);
    double fraction = double(r.ns - h.ns) / double(next->ns - h.ns);
    double playedBytes = h.start + fraction * h.bytes;
    double clockSeconds = (double(r.beat) - music.beatOffset) * 60.0 / music.bpm;
    double error = (clockSeconds - playedBytes / audio::kBytesPerSecond) * 1000.0;
    errors.push_back(error);
    sum += error;
    sumAbs += std::fabs(error);
    worst = std::max(worst, std::fabs(error));
  }
  std::vector<double> sorted = errors;
  for (double& e : sorted) e = std::fabs(e);
  std::sort(sorted.begin(), sorted.end());
  auto percentile = [&sorted](double p) { return sorted[static_cast<size_t>(p * (sorted.size() - 1))]; };

  // The device's pace and its longest gap between two buffers.
  double runSeconds = (handovers[count - 1].ns - handovers[0].ns) / 1e9;
  double pace = (handovers[count - 1].start - handovers[0].start) / audio::kBytesPerFrame / runSeconds;
  double longestGapMs = 0;
  for (size_t i = 1; i < count; ++i)
    longestGapMs = std::max(longestGapMs, (handovers[i].ns - handovers[i - 1].ns) / 1e6);

  printf("run: %.1f s, %zu clock readings, %zu device buffers (%.0f frames/s, longest gap %.1f ms)\n",
         seconds, errors.size(), count, pace, longestGapMs);
  printf("sync error (clock - device) in ms: mean %.3f, mean |e| %.3f, median |e| %.3f, p99 |e| %.3f, worst |e| %.3f\n",
         sum / errors.size(), sumAbs / errors.size(), percentile(0.5), percentile(0.99), worst);
  printf("goal: worst within 5 ms -> %s\n", worst <= 5.0 ? "met" : "missed");
  audio::shutdown();
  return 0;
}
