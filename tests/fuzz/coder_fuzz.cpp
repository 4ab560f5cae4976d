// The archive's Huffman coder: any stream is either refused by the checks or
// decoded identically by the table decoder and the bit-by-bit walk; any
// input survives a compress and decompress round trip unchanged.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_target.h"
#include "util/data/coder.h"

namespace {

void decodeBothWays(const uint8_t* data, int size, HuffState* state) {
  int length = 0;
  if (huff_check(data, size, &length) != HUFF_OK) return;
  std::vector<uint8_t> table(static_cast<size_t>(length) + 1);
  std::vector<uint8_t> walk(static_cast<size_t>(length) + 1);
  int tableBytes = -1;
  int walkBytes = -1;
  const int tableResult = huff_decompress(data, size, state, table.data(), &tableBytes);
  const int walkResult = huff_decompress_walk(data, size, state, walk.data(), &walkBytes);
  if (tableResult != walkResult || tableBytes != walkBytes) std::abort();
  if (tableResult >= 0 && std::memcmp(table.data(), walk.data(), static_cast<size_t>(tableBytes)) != 0) std::abort();
}

void roundTrip(const uint8_t* data, int size, HuffState* state) {
  std::vector<uint8_t> packed(static_cast<size_t>(size) + kHuffWorstCaseExtra);
  int streamLength = 0;
  huff_compress(data, size, packed.data(), state, &streamLength);
  int length = 0;
  if (huff_check(packed.data(), streamLength, &length) != HUFF_OK || length != size) std::abort();
  std::vector<uint8_t> back(static_cast<size_t>(size) + 1);
  int produced = 0;
  if (huff_decompress(packed.data(), streamLength, state, back.data(), &produced) != size || produced != size) {
    std::abort();
  }
  if (size > 0 && std::memcmp(back.data(), data, static_cast<size_t>(size)) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  static std::unique_ptr<HuffState> state(new HuffState);
  decodeBothWays(data, static_cast<int>(size), state.get());
  roundTrip(data, static_cast<int>(size), state.get());
  return 0;
}
