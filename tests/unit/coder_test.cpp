#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "data_test_support.h"
#include "util/data/coder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes compress(const Bytes& input) {
  auto state = std::make_unique<HuffState>();
  Bytes out(input.size() + kHuffWorstCaseExtra);
  int length = -1;
  int returned = huff_compress(input.data(), int(input.size()), out.data(), state.get(), &length);
  EXPECT_EQ(returned, length);
  out.resize(size_t(length));
  return out;
}

// Decodes with both decoders and checks that they agree on everything:
// the result code, the produced count and every output byte.
struct Decoded {
  int result;
  Bytes bytes;
};

Decoded decompressBoth(const Bytes& stream) {
  int expected = 0;
  int check = huff_check(stream.data(), int(stream.size()), &expected);
  if (check != HUFF_OK) expected = 0;
  auto state = std::make_unique<HuffState>();
  Bytes fast(size_t(expected) + 1, 0xAA), walk(size_t(expected) + 1, 0xAA);
  int producedFast = -7, producedWalk = -7;
  int resultFast = huff_decompress(stream.data(), int(stream.size()), state.get(), fast.data(), &producedFast);
  int resultWalk = huff_decompress_walk(stream.data(), int(stream.size()), state.get(), walk.data(), &producedWalk);
  EXPECT_EQ(resultFast, resultWalk);
  if (check != HUFF_OK) {
    EXPECT_EQ(resultFast, check);
  }
  if (resultFast < 0 || resultWalk < 0) return {resultFast, {}};
  EXPECT_EQ(producedFast, resultFast);
  EXPECT_EQ(producedWalk, resultWalk);
  EXPECT_EQ(resultFast, expected);
  fast.resize(size_t(resultFast));
  walk.resize(size_t(resultWalk));
  EXPECT_EQ(fast, walk);
  return {resultFast, fast};
}

uint32_t u32At(const Bytes& stream, size_t offset) {
  return uint32_t(stream[offset]) | uint32_t(stream[offset + 1]) << 8 |
         uint32_t(stream[offset + 2]) << 16 | uint32_t(stream[offset + 3]) << 24;
}

void putU32(Bytes& stream, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) stream[offset + size_t(i)] = uint8_t(value >> (8 * i));
}

void expectRoundTrip(const Bytes& input) {
  Bytes stream = compress(input);
  ASSERT_GE(stream.size(), 17u);
  EXPECT_EQ(u32At(stream, 8), input.size());
  EXPECT_EQ(u32At(stream, 12), stream.size());
  Decoded decoded = decompressBoth(stream);
  ASSERT_EQ(decoded.result, int(input.size()));
  EXPECT_TRUE(decoded.bytes == input);
}

// Value v appears fib(v) times: the most lopsided tree, one code per depth.
Bytes fibonacciInput(int values) {
  Bytes input;
  uint32_t a = 1, b = 1;
  for (int v = 0; v < values; ++v) {
    input.insert(input.end(), a, uint8_t(v));
    uint32_t next = a + b;
    a = b;
    b = next;
  }
  return input;
}

TEST(CoderTest, WorkedExampleIsByteExact) {
  const Bytes input = {'a', 'b', 'b', 'c', 'c', 'c', 'c'};
  const Bytes expected = {0x48, 0x55, 0x46, 0x46, 0x03, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00,
                          0x00, 0x21, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x63, 0x02,
                          0x00, 0x00, 0x00, 0x62, 0x01, 0x00, 0x00, 0x00, 0x61, 0xE8, 0x00};
  EXPECT_EQ(compress(input), expected);
  EXPECT_EQ(decompressBoth(expected).bytes, input);
}

TEST(CoderTest, EmptyInputIsHeaderAndOneEmptyByte) {
  Bytes stream = compress({});
  ASSERT_EQ(stream.size(), 17u);
  EXPECT_EQ(u32At(stream, 4), 0u);
  EXPECT_EQ(stream[16], 0);
  Decoded decoded = decompressBoth(stream);
  EXPECT_EQ(decoded.result, 0);
}

TEST(CoderTest, SingleValueCostsOneZeroBitEach) {
  // 8 bytes fill the first code byte exactly; a spare 0 byte still follows.
  Bytes stream = compress(Bytes(8, 'z'));
  EXPECT_EQ(stream.size(), size_t(16 + 5 + 1 + 1));
  EXPECT_EQ(stream[21], 0);
  EXPECT_EQ(stream[22], 0);
  for (size_t n : {1, 7, 8, 9, 1000}) expectRoundTrip(Bytes(n, 0x00));
}

TEST(CoderTest, FullByteFillStillEndsWithSpareByte) {
  // c 10, b 2, a 1 give c = 0, b = 10, a = 11: 10 + 4 + 2 = 16 code bits.
  Bytes input = {'c', 'c', 'c', 'c', 'b', 'b', 'a', 'c', 'c', 'c', 'c', 'c', 'c'};
  Bytes stream = compress(input);
  EXPECT_EQ(stream.size(), size_t(16 + 15 + 2 + 1));
  EXPECT_EQ(stream.back(), 0);
  expectRoundTrip(input);
}

TEST(CoderTest, AllByteValuesTakeAFullTable) {
  Bytes input;
  for (int i = 0; i < 256; ++i) input.push_back(uint8_t(i));
  Bytes stream = compress(input);
  EXPECT_EQ(u32At(stream, 4), 256u);
  // Equal frequencies everywhere: a complete tree of 8-bit codes.
  EXPECT_EQ(stream.size(), size_t(16 + 1280 + 256 + 1));
  expectRoundTrip(input);
}

TEST(CoderTest, RoundTripsManyShapes) {
  std::mt19937 rng(12345);
  std::vector<Bytes> inputs;
  // Many equal frequencies: every value the same number of times, shuffled.
  for (int repeat : {1, 2, 3, 17}) {
    Bytes input;
    for (int r = 0; r < repeat; ++r)
      for (int v = 0; v < 256; ++v) input.push_back(uint8_t(v));
    std::shuffle(input.begin(), input.end(), rng);
    inputs.push_back(input);
  }
  // Few values with ties of every size.
  for (int values = 2; values <= 40; ++values) {
    Bytes input;
    for (int v = 0; v < values; ++v) input.insert(input.end(), size_t(1 + v % 4), uint8_t(v * 5));
    inputs.push_back(input);
  }
  // Skewed random text and uniform noise.
  for (int i = 0; i < 20; ++i) {
    std::geometric_distribution<int> skew(0.05 + 0.04 * i);
    Bytes input(size_t(1 + rng() % 20000));
    for (uint8_t& b : input) b = uint8_t(std::min(skew(rng), 255));
    inputs.push_back(input);
  }
  Bytes noise(100000);
  for (uint8_t& b : noise) b = uint8_t(rng());
  inputs.push_back(noise);
  for (const Bytes& input : inputs) expectRoundTrip(input);
}

TEST(CoderTest, LongCodesPastTheLookupTableDecode) {
  // Fibonacci-like frequencies make a maximally deep tree: codes of 20+ bits.
  Bytes input = fibonacciInput(24);
  std::shuffle(input.begin(), input.end(), std::mt19937(7));
  expectRoundTrip(input);
}

TEST(CoderTest, SortPutsHighestFrequencyFirstAndKeepsRecords) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    int count = 1 + int(rng() % 256);
    std::vector<HuffSymbol> records(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) records[size_t(i)] = HuffSymbol{uint32_t(rng() % (1 + round % 9)), uint8_t(i), nullptr};
    huff_sort(records.data(), count);
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
      if (i > 0) {
        EXPECT_GE(records[size_t(i - 1)].frequency, records[size_t(i)].frequency);
      }
      seen[records[size_t(i)].value] = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), count);
  }
}

std::string sortedValues(const std::vector<uint32_t>& frequencies) {
  std::vector<HuffSymbol> records;
  for (size_t i = 0; i < frequencies.size(); ++i) records.push_back(HuffSymbol{frequencies[i], uint8_t(i), nullptr});
  huff_sort(records.data(), int(records.size()));
  std::string order;
  for (const HuffSymbol& r : records) order += char('0' + r.value);
  return order;
}

TEST(CoderTest, TieOrderFollowsTheRuntimeQuicksort) {
  // Worked by hand from the routine. Up to 8 records: repeated selection,
  // where the lowest of equal records goes to the back.
  EXPECT_EQ(sortedValues({1, 1, 1, 1, 1}), "12340");
  // 9 equal records: the partition moves nothing.
  EXPECT_EQ(sortedValues({1, 1, 1, 1, 1, 1, 1, 1, 1}), "012345678");
  // 9 records: the partition splits off the last one, selection does the rest.
  EXPECT_EQ(sortedValues({1, 2, 1, 2, 1, 2, 1, 2, 1}), "153746208");
}

TEST(CoderTest, CorruptHeadersAreRefused) {
  const Bytes good = compress({'a', 'b', 'b', 'c', 'c', 'c', 'c'});
  int ignored = 0;
  EXPECT_EQ(huff_check(good.data(), 15, &ignored), HUFF_ERR_SHORT_HEADER);

  Bytes bad = good;
  putU32(bad, 4, 257);
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_SYMBOL_COUNT);

  bad = good;
  putU32(bad, 12, uint32_t(good.size() + 1));  // longer than what is at hand
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_STREAM_LENGTH);
  putU32(bad, 12, 16 + 14);  // shorter than header and table
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_STREAM_LENGTH);

  bad = good;
  putU32(bad, 8, 17);  // two code bytes cannot hold 17 codes
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_ABSURD_LENGTH);
  putU32(bad, 8, 0x80000000u);
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_ABSURD_LENGTH);

  bad = compress({});
  putU32(bad, 8, 1);  // no symbols, yet one byte to produce
  EXPECT_EQ(decompressBoth(bad).result, HUFF_ERR_ABSURD_LENGTH);

  // The magic is not checked: a stream with another tag still decodes.
  bad = good;
  bad[0] = 'X';
  EXPECT_EQ(decompressBoth(bad).result, 7);
}

TEST(CoderTest, CodesRunningPastTheStoredEndAreRefused) {
  // c 12, a 2, b 2: 20 code bits in three bytes. Claiming only two code
  // bytes keeps the output length plausible, but the last codes need bits
  // beyond the end.
  Bytes input;
  for (int i = 0; i < 16; ++i) input.push_back(uint8_t("abcccccc"[i % 8]));
  Bytes stream = compress(input);
  Bytes cut(stream.begin(), stream.end() - 1);
  putU32(cut, 12, uint32_t(cut.size()));
  EXPECT_EQ(decompressBoth(cut).result, HUFF_ERR_BITS_OVERRUN);

  // A deep tree: a chain with one leaf per depth, codes up to 19 bits. With
  // one code byte, exactly one byte value leads past depth 8 and cannot end
  // in time (table path); following that byte with a second one, exactly one
  // value leads past depth 16 (codes beyond the table, walked bit by bit).
  Bytes deep = compress(fibonacciInput(20));
  const size_t tableEnd = 16 + 5 * 20;
  int deepByte = -1;
  for (int codeBytes = 1; codeBytes <= 2; ++codeBytes) {
    Bytes probe(deep.begin(), deep.begin() + long(tableEnd) + codeBytes);
    putU32(probe, 8, 1);
    putU32(probe, 12, uint32_t(probe.size()));
    if (codeBytes == 2) probe[tableEnd] = uint8_t(deepByte);
    int overruns = 0, decoded = 0;
    for (int value = 0; value < 256; ++value) {
      probe[tableEnd + size_t(codeBytes) - 1] = uint8_t(value);
      int result = decompressBoth(probe).result;
      if (result == HUFF_ERR_BITS_OVERRUN) {
        ++overruns;
        if (codeBytes == 1) deepByte = value;
      }
      decoded += result == 1;
    }
    EXPECT_EQ(overruns, 1) << codeBytes << " code bytes";
    EXPECT_EQ(decoded, 255) << codeBytes << " code bytes";
    ASSERT_GE(deepByte, 0);
  }
}

TEST(CoderTest, RandomDamageNeverBreaksTheDecoders) {
  // Both decoders must agree on every damaged stream and stay in bounds
  // (the sanitizer build checks the latter).
  std::mt19937 rng(2024);
  std::vector<Bytes> seeds = {compress({'a', 'b', 'b', 'c', 'c', 'c', 'c'}), compress(Bytes(40, 'q'))};
  Bytes text;
  for (int i = 0; i < 3000; ++i) text.push_back(uint8_t("etaoin shrdlu"[rng() % 13] + (rng() % 50 == 0)));
  seeds.push_back(compress(text));
  for (const Bytes& seed : seeds) {
    for (int round = 0; round < 300; ++round) {
      Bytes damaged = seed;
      int flips = 1 + int(rng() % 4);
      for (int f = 0; f < flips; ++f) {
        size_t at = rng() % damaged.size();
        damaged[at] = uint8_t(damaged[at] ^ (1u << (rng() % 8)));
      }
      if (rng() % 3 == 0) damaged.resize(rng() % damaged.size());
      decompressBoth(damaged);
    }
  }
}

TEST(CoderTest, MatchesTheIndependentReferenceEncoder) {
  // The reference shares no code with the coder: equal streams mean the sort,
  // the tree and the bit packing all follow the format.
  const std::string script = data_test::referenceScript();
  if (script.empty()) GTEST_SKIP() << "needs KESTRUNE_SOURCE_DIR (run through ctest)";
  std::mt19937 rng(77);
  std::vector<Bytes> inputs = {{}, {'a', 'b', 'b', 'c', 'c', 'c', 'c'}, Bytes(9, 'q'), fibonacciInput(22)};
  // Ties of every kind: equal counts across 2..256 values, in several layouts.
  for (int values : {2, 3, 8, 9, 10, 17, 100, 255, 256}) {
    for (int pattern = 0; pattern < 3; ++pattern) {
      Bytes input;
      for (int v = 0; v < values; ++v) {
        size_t count = pattern == 0 ? 4 : pattern == 1 ? size_t(1 + v % 3) : size_t(1 + (v * 7) % 5);
        input.insert(input.end(), count, uint8_t((v * 37 + pattern) & 255));
      }
      std::shuffle(input.begin(), input.end(), rng);
      inputs.push_back(input);
    }
  }
  for (int i = 0; i < 6; ++i) {
    std::geometric_distribution<int> skew(0.02 + 0.1 * i);
    Bytes input(size_t(500 + rng() % 30000));
    for (uint8_t& b : input) b = uint8_t(std::min(skew(rng), 255));
    inputs.push_back(input);
  }

  const std::string dir = makeTestTempDir("kestrune-coder");
  std::string command = "python3 " + data_test::quote(script) + " huff";
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string in = dir + "/in" + std::to_string(i);
    data_test::writeFile(in, std::string(inputs[i].begin(), inputs[i].end()));
    command += " " + in + " " + in + ".huff";
  }
  data_test::Outcome outcome = data_test::runCommand(command);
  ASSERT_EQ(outcome.code, 0) << outcome.err;
  for (size_t i = 0; i < inputs.size(); ++i) {
    std::string reference = data_test::readFile(dir + "/in" + std::to_string(i) + ".huff");
    Bytes ours = compress(inputs[i]);
    EXPECT_TRUE(reference == std::string(ours.begin(), ours.end())) << "input " << i << " of " << inputs[i].size() << " bytes";
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
