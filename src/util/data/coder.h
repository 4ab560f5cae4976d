#pragma once

#include <cstdint>

// The archive's static Huffman coder. One pass counts the byte frequencies,
// the frequency table travels in the stream, and both sides rebuild the same
// code tree from it. Whole buffers only; no checksum.
//
// Stream (unsigned 32-bit little-endian integers):
//   0  "HUFF"
//   4  symbol count n (0..256)
//   8  uncompressed length
//   12 stream length, header included
//   16 n records of (32-bit frequency, 8-bit byte value), highest frequency first
//   16+5n code bits, bit 7 first; the stream always ends with a byte that
//   holds the last bits (or none, when they filled the byte before).
//
// The order of equal frequencies comes from huff_sort below; it shapes the
// tree and therefore every stream, so it must never change.

constexpr int kHuffHeaderSize = 16;
constexpr int kHuffRecordSize = 5;
// Largest stream for n present byte values: header, table, at most 8 bits a byte, one end byte.
constexpr int kHuffWorstCaseExtra = kHuffHeaderSize + 256 * kHuffRecordSize + 1;

struct HuffNode {
  uint8_t leftValue;   // leaf value of the left side when `left` is null
  uint8_t rightValue;  // leaf value of the right side when `right` is null
  HuffNode* left;
  HuffNode* right;
  HuffNode* parent;
};

struct HuffSymbol {
  uint32_t frequency;
  uint8_t value;
  HuffNode* subtree;  // null for a leaf
};

struct HuffCode {
  uint32_t length;  // in bits
  uint64_t code;    // bit 0 is the branch nearest the leaf
};

// One entry of the decoder's lookup table, indexed by the next kHuffTableBits bits.
struct HuffTableEntry {
  uint8_t value;    // the decoded byte, when node is kHuffNoNode
  uint8_t length;   // bits taken by this entry
  uint16_t node;    // codes longer than the table: the node reached after `length` bits
};

constexpr int kHuffTableBits = 11;
constexpr uint16_t kHuffNoNode = 0xFFFF;

// The work area of one compression or decompression run; the coder itself
// allocates nothing. Large (about 30 KB): keep it off small stacks.
struct HuffState {
  HuffSymbol symbols[256];
  HuffNode nodes[255];
  HuffCode codes[256];
  const uint8_t* input;
  uint8_t* output;
  uint8_t* header;
  uint32_t symbolCount;
  uint32_t remaining;
  int freeBits;
  HuffTableEntry table[1 << kHuffTableBits];
};

// Results of the decoder's checks (negative; 0 is success).
enum HuffError {
  HUFF_OK = 0,
  HUFF_ERR_SHORT_HEADER = -1,     // fewer bytes than the 16-byte header
  HUFF_ERR_SYMBOL_COUNT = -2,     // more than 256 symbols
  HUFF_ERR_STREAM_LENGTH = -3,    // stored length past the bytes at hand, or too short for its table
  HUFF_ERR_ABSURD_LENGTH = -4,    // more output than the code bits can hold
  HUFF_ERR_BITS_OVERRUN = -5,     // the codes run past the stream's end
};

// A short description of a HuffError for messages.
const char* huff_error_text(int error);

// The sort every table and tree step uses: frequency, highest first, with the
// exact tie order of the classic runtime quicksort (median of three, short
// ranges by selection). Sorts `count` records in place.
void huff_sort(HuffSymbol* records, int count);

// Compresses `length` bytes into `output`, which must hold
// length + kHuffWorstCaseExtra bytes. Reports the stream length (also stored
// at offset 12) through `streamLength` and returns it.
int huff_compress(const uint8_t* input, int length, uint8_t* output, HuffState* state,
                  int* streamLength);

// Checks a stream held in `available` bytes without decoding it and reports
// the uncompressed length it announces. Returns HUFF_OK or a HuffError.
int huff_check(const uint8_t* stream, int available, int* uncompressedLength);

// The same checks from the stream's first `headerBytes` bytes alone (the
// 16-byte header), for a stream of at most `available` bytes that is not yet
// read: a reader can refuse a damaged header before it reads or allocates
// anything of the size it claims. Reports the stored stream length and the
// uncompressed length. Returns HUFF_OK or a HuffError.
int huff_check_header(const uint8_t* header, int headerBytes, int64_t available, int* streamLength,
                      int* uncompressedLength);

// Decodes a stream held in `available` bytes into `output`, which must hold
// the uncompressed length reported by huff_check. Reports the number of
// bytes produced through `produced` and returns it; returns a HuffError
// (and leaves `produced` alone) when the stream is corrupt. Table-driven.
int huff_decompress(const uint8_t* stream, int available, HuffState* state, uint8_t* output,
                    int* produced);

// The same decoder walking the tree one bit at a time: the plain reference
// that huff_decompress must match on every stream.
int huff_decompress_walk(const uint8_t* stream, int available, HuffState* state, uint8_t* output,
                         int* produced);
