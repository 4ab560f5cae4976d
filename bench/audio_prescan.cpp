// Cost of creating a stream (content check, decoder set-up and the pre-scan
// for the exact length) for a three-minute song, against copying the same
// bytes once; and the cost of decoding one second of it, which the device
// thread pays in slices of one buffer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "platform/audio.h"
#include "platform/audio_decoder.h"
#include "support/audio_fixtures.h"

namespace {

const std::vector<uint8_t>& songMp3() {
  static const std::vector<uint8_t> bytes = [] {
    audio_fixtures::Mp3Options options;
    options.bitrate = 160;
    return audio_fixtures::encodeMp3(audio_fixtures::testSong(180.0), options);
  }();
  return bytes;
}

const std::vector<uint8_t>& songOgg() {
  static const std::vector<uint8_t> bytes = audio_fixtures::encodeOgg(audio_fixtures::testSong(180.0));
  return bytes;
}

void BM_CopyBytesBaseline(benchmark::State& state) {
  const auto& bytes = songMp3();
  std::vector<uint8_t> copy(bytes.size());
  for (auto _ : state) {
    memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_CopyBytesBaseline)->Unit(benchmark::kMicrosecond);

void createAndFree(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  using namespace platform::audio;
  for (auto _ : state) {
    Handle h = createStream(bytes.data(), 0, bytes.size(), kFlagLoop | kFlagPrescan);
    if (h == 0) {
      state.SkipWithError("stream creation failed");
      break;
    }
    benchmark::DoNotOptimize(length(h));
    freeStream(h);
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

void BM_CreateStreamMp3_3min(benchmark::State& state) { createAndFree(state, songMp3()); }
BENCHMARK(BM_CreateStreamMp3_3min)->Unit(benchmark::kMillisecond);

void BM_CreateStreamOgg_3min(benchmark::State& state) { createAndFree(state, songOgg()); }
BENCHMARK(BM_CreateStreamOgg_3min)->Unit(benchmark::kMillisecond);

void decodeOneSecond(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  auto source = platform::audio::openPcmSource(bytes.data(), bytes.size());
  std::vector<int16_t> buffer(1024 * 2);
  for (auto _ : state) {
    size_t total = 0;
    while (total < 44100) {
      size_t n = source->read(buffer.data(), 1024);
      if (n == 0) {
        source->rewind();
        continue;
      }
      total += n;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
}

void BM_DecodeOneSecondMp3(benchmark::State& state) { decodeOneSecond(state, songMp3()); }
BENCHMARK(BM_DecodeOneSecondMp3)->Unit(benchmark::kMicrosecond);

void BM_DecodeOneSecondOgg(benchmark::State& state) { decodeOneSecond(state, songOgg()); }
BENCHMARK(BM_DecodeOneSecondOgg)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
