// Archive decoding speed: the table-driven decoder against the plain
// bit-by-bit tree walk, on the same streams in the same run.
//
//   bench_archive_decode [--benchmark_filter=...]
//
// Streams: a 4 MB mix shaped like the show's archive (skewed picture bytes,
// text, near-uniform compressed audio), and the archive named by
// $KESTRUNE_DATA_TVL when it exists. Throughput is in output bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "util/data/coder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes mixedPayload() {
  std::mt19937 rng(1);
  Bytes data;
  std::geometric_distribution<int> picture(0.3);
  for (int i = 0; i < 1 << 20; ++i) data.push_back(uint8_t(picture(rng) & 15));
  const char* words[] = {"the ", "fire ", "snake ", "<track ", "name=\"", "beat ", "0.25\" ", "\n"};
  while (data.size() < (2u << 20)) {
    for (const char* c = words[rng() % 8]; *c; ++c) data.push_back(uint8_t(*c));
  }
  std::binomial_distribution<int> audio(255, 0.5);
  while (data.size() < (4u << 20)) data.push_back(uint8_t(rng() % 4 ? rng() : audio(rng)));
  return data;
}

Bytes compress(const Bytes& input) {
  auto state = std::make_unique<HuffState>();
  Bytes out(input.size() + kHuffWorstCaseExtra);
  int length = 0;
  huff_compress(input.data(), int(input.size()), out.data(), state.get(), &length);
  out.resize(size_t(length));
  return out;
}

// The coder stream of an archive file: everything after its 21-byte header.
Bytes archiveStream(const char* path) {
  Bytes bytes;
  FILE* file = path ? std::fopen(path, "rb") : nullptr;
  if (!file) return bytes;
  int c;
  while ((c = std::fgetc(file)) != EOF) bytes.push_back(uint8_t(c));
  std::fclose(file);
  if (bytes.size() <= 21) return {};
  return Bytes(bytes.begin() + 21, bytes.end());
}

using Decoder = int (*)(const uint8_t*, int, HuffState*, uint8_t*, int*);

void runDecoder(benchmark::State& state, const Bytes* stream, Decoder decode) {
  int length = 0;
  if (huff_check(stream->data(), int(stream->size()), &length) != HUFF_OK) {
    state.SkipWithError("not a valid stream");
    return;
  }
  auto work = std::make_unique<HuffState>();
  Bytes output(size_t(length) + 1);
  for (auto _ : state) {
    int produced = 0;
    decode(stream->data(), int(stream->size()), work.get(), output.data(), &produced);
    benchmark::DoNotOptimize(output.data());
    if (produced != length) state.SkipWithError("decoder failed");
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * length);
}

}  // namespace

int main(int argc, char** argv) {
  static const Bytes mixed = compress(mixedPayload());
  static const Bytes show = archiveStream(std::getenv("KESTRUNE_DATA_TVL"));
  benchmark::RegisterBenchmark("decode/mixed4MB/table", runDecoder, &mixed, huff_decompress);
  benchmark::RegisterBenchmark("decode/mixed4MB/tree_walk", runDecoder, &mixed, huff_decompress_walk);
  if (!show.empty()) {
    benchmark::RegisterBenchmark("decode/data.tvl/table", runDecoder, &show, huff_decompress);
    benchmark::RegisterBenchmark("decode/data.tvl/tree_walk", runDecoder, &show, huff_decompress_walk);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
