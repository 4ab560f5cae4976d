#include "util/data/coder.h"

#include <climits>
#include <cstring>

namespace {

// cmp(a, b) > 0 means a belongs after b: higher frequencies come first.
inline int compareRecords(const HuffSymbol& a, const HuffSymbol& b) {
  if (a.frequency == b.frequency) return 0;
  return a.frequency < b.frequency ? 1 : -1;
}

inline void swapRecords(HuffSymbol* records, int a, int b) {
  if (a == b) return;
  HuffSymbol t = records[a];
  records[a] = records[b];
  records[b] = t;
}

// Ranges of up to this many records are sorted by repeated selection.
constexpr int kShortRange = 8;

// Moves the last record (by the comparator; the lowest index among equals)
// to the end of the range, then shrinks the range.
void shortSort(HuffSymbol* records, int lo, int hi) {
  while (hi > lo) {
    int max = lo;
    for (int p = lo + 1; p <= hi; ++p) {
      if (compareRecords(records[p], records[max]) > 0) max = p;
    }
    swapRecords(records, max, hi);
    --hi;
  }
}

inline uint32_t readU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void writeU32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

// Builds the code tree over the first n symbol records; node 0 is the root.
void buildTree(HuffState* s, int n) {
  for (int k = n - 2; k >= 0; --k) {
    HuffNode& node = s->nodes[k];
    HuffSymbol& leftRecord = s->symbols[k];
    HuffSymbol& rightRecord = s->symbols[k + 1];
    if (leftRecord.subtree) {
      node.left = leftRecord.subtree;
      node.left->parent = &node;
    } else {
      node.leftValue = leftRecord.value;
    }
    if (rightRecord.subtree) {
      node.right = rightRecord.subtree;
      node.right->parent = &node;
    } else {
      node.rightValue = rightRecord.value;
    }
    if (k > 0) {
      leftRecord.frequency += rightRecord.frequency;
      leftRecord.subtree = &node;
      rightRecord.frequency = 0;
      huff_sort(s->symbols, k + 1);
    }
  }
}

// Gives a leaf hanging off `node` on side `bit` its code, walking up to the root.
void codeLeaf(HuffState* s, HuffNode* node, uint8_t value, uint64_t bit) {
  HuffCode& code = s->codes[value];
  code.code = bit;
  code.length = 1;
  const HuffNode* child = node;
  for (const HuffNode* parent = node->parent; parent; parent = parent->parent) {
    // Depth stays far below 64 for any input that fits an int.
    if (parent->right == child) code.code |= uint64_t(1) << code.length;
    ++code.length;
    child = parent;
  }
}

void buildCodes(HuffState* s, int n) {
  for (int k = n - 2; k >= 0; --k) {
    HuffNode* node = &s->nodes[k];
    if (!node->left) codeLeaf(s, node, node->leftValue, 0);
    if (!node->right) codeLeaf(s, node, node->rightValue, 1);
  }
}

// What both decoders share: the checked header, the table and the tree.
struct StreamLayout {
  uint32_t symbolCount;
  uint32_t outputLength;
  const uint8_t* bits;  // first code byte
  const uint8_t* end;   // one past the last byte the stored length covers
};

// The header's own checks: they need only its 16 bytes and the number of
// bytes the whole stream may take.
int checkHeader(const uint8_t* header, int64_t headerBytes, int64_t available, uint32_t* n, uint32_t* length,
                uint32_t* streamLength) {
  if (!header || headerBytes < kHuffHeaderSize || available < kHuffHeaderSize) return HUFF_ERR_SHORT_HEADER;
  *n = readU32(header + 4);
  *length = readU32(header + 8);
  *streamLength = readU32(header + 12);
  if (*n > 256) return HUFF_ERR_SYMBOL_COUNT;
  uint32_t tableEnd = kHuffHeaderSize + kHuffRecordSize * *n;
  if (*streamLength > available || *streamLength < tableEnd) return HUFF_ERR_STREAM_LENGTH;
  uint64_t codeBits = uint64_t(*streamLength - tableEnd) * 8;
  // Every code takes at least one bit; a single-symbol table also needs a symbol.
  if (*length > INT_MAX || *length > codeBits || (*n == 0 && *length > 0)) return HUFF_ERR_ABSURD_LENGTH;
  return HUFF_OK;
}

int readLayout(const uint8_t* stream, int available, StreamLayout* layout) {
  uint32_t n = 0, length = 0, streamLength = 0;
  int result = checkHeader(stream, available, available, &n, &length, &streamLength);
  if (result != HUFF_OK) return result;
  layout->symbolCount = n;
  layout->outputLength = length;
  layout->bits = stream + kHuffHeaderSize + kHuffRecordSize * n;
  layout->end = stream + streamLength;
  return HUFF_OK;
}

int prepareDecoder(const uint8_t* stream, int available, HuffState* s, StreamLayout* layout) {
  int result = readLayout(stream, available, layout);
  if (result != HUFF_OK) return result;
  std::memset(s->symbols, 0, sizeof s->symbols);
  std::memset(s->nodes, 0, sizeof s->nodes);
  const uint8_t* record = stream + kHuffHeaderSize;
  for (uint32_t i = 0; i < layout->symbolCount; ++i, record += kHuffRecordSize) {
    s->symbols[i].frequency = readU32(record);
    s->symbols[i].value = record[4];
  }
  s->symbolCount = layout->symbolCount;
  s->remaining = layout->outputLength;
  s->input = layout->bits;
  s->freeBits = 8;
  if (layout->symbolCount >= 2) buildTree(s, int(layout->symbolCount));
  return HUFF_OK;
}

// Single-symbol streams: every byte is the one value, one 0 bit each (the
// length check already made sure the bits are there).
int decodeSingle(const StreamLayout& layout, const HuffState* s, uint8_t* output, int* produced) {
  std::memset(output, s->symbols[0].value, layout.outputLength);
  *produced = int(layout.outputLength);
  return *produced;
}

// Fills the lookup table: every kHuffTableBits-bit prefix either ends in a
// leaf (value and code length) or reaches a node deeper down.
void fillTable(HuffState* s, const HuffNode* node, int depth, uint32_t prefix) {
  for (int side = 0; side < 2; ++side) {
    const HuffNode* child = side ? node->right : node->left;
    uint32_t childPrefix = prefix << 1 | uint32_t(side);
    int childDepth = depth + 1;
    if (!child) {
      int spare = kHuffTableBits - childDepth;
      HuffTableEntry entry{side ? node->rightValue : node->leftValue, uint8_t(childDepth), kHuffNoNode};
      uint32_t first = childPrefix << spare;
      for (uint32_t i = 0; i < (1u << spare); ++i) s->table[first + i] = entry;
    } else if (childDepth == kHuffTableBits) {
      s->table[childPrefix] = HuffTableEntry{0, uint8_t(kHuffTableBits), uint16_t(child - s->nodes)};
    } else {
      fillTable(s, child, childDepth, childPrefix);
    }
  }
}

}  // namespace

const char* huff_error_text(int error) {
  switch (error) {
    case HUFF_OK: return "no error";
    case HUFF_ERR_SHORT_HEADER: return "the compressed stream is shorter than its header";
    case HUFF_ERR_SYMBOL_COUNT: return "the compressed stream claims more than 256 symbols";
    case HUFF_ERR_STREAM_LENGTH: return "the compressed stream's stored length does not fit the file";
    case HUFF_ERR_ABSURD_LENGTH: return "the stored uncompressed length is impossible for the stream";
    case HUFF_ERR_BITS_OVERRUN: return "the compressed codes run past the end of the stream";
    default: return "unknown coder error";
  }
}

void huff_sort(HuffSymbol* records, int count) {
  if (count < 2) return;
  // Pending ranges; a range of 256 records never nests deeper than this.
  int loStack[64];
  int hiStack[64];
  int depth = 0;
  int lo = 0;
  int hi = count - 1;
  for (;;) {
    int size = hi - lo + 1;
    if (size <= kShortRange) {
      shortSort(records, lo, hi);
    } else {
      int mid = lo + size / 2;
      if (compareRecords(records[lo], records[mid]) > 0) swapRecords(records, lo, mid);
      if (compareRecords(records[lo], records[hi]) > 0) swapRecords(records, lo, hi);
      if (compareRecords(records[mid], records[hi]) > 0) swapRecords(records, mid, hi);
      int loguy = lo;
      int higuy = hi;
      for (;;) {
        if (mid > loguy) {
          do {
            ++loguy;
          } while (loguy < mid && compareRecords(records[loguy], records[mid]) <= 0);
        }
        if (mid <= loguy) {
          do {
            ++loguy;
          } while (loguy <= hi && compareRecords(records[loguy], records[mid]) <= 0);
        }
        do {
          --higuy;
        } while (higuy > mid && compareRecords(records[higuy], records[mid]) > 0);
        if (higuy < loguy) break;
        swapRecords(records, loguy, higuy);
        if (mid == higuy) mid = loguy;
      }
      ++higuy;
      if (mid < higuy) {
        do {
          --higuy;
        } while (higuy > mid && compareRecords(records[higuy], records[mid]) == 0);
      }
      if (mid >= higuy) {
        do {
          --higuy;
        } while (higuy > lo && compareRecords(records[higuy], records[mid]) == 0);
      }
      if (higuy - lo >= hi - loguy) {
        if (lo < higuy) {
          loStack[depth] = lo;
          hiStack[depth] = higuy;
          ++depth;
        }
        if (loguy < hi) {
          lo = loguy;
          continue;
        }
      } else {
        if (loguy < hi) {
          loStack[depth] = loguy;
          hiStack[depth] = hi;
          ++depth;
        }
        if (lo < higuy) {
          hi = higuy;
          continue;
        }
      }
    }
    if (depth == 0) return;
    --depth;
    lo = loStack[depth];
    hi = hiStack[depth];
  }
}

int huff_compress(const uint8_t* input, int length, uint8_t* output, HuffState* s,
                  int* streamLength) {
  std::memset(s->symbols, 0, sizeof s->symbols);
  std::memset(s->nodes, 0, sizeof s->nodes);
  std::memset(s->codes, 0, sizeof s->codes);
  for (int i = 0; i < 256; ++i) s->symbols[i].value = uint8_t(i);
  if (length < 0) length = 0;
  for (int i = 0; i < length; ++i) ++s->symbols[input[i]].frequency;
  int n = 0;
  for (const HuffSymbol& symbol : s->symbols) n += symbol.frequency > 0;
  huff_sort(s->symbols, 256);

  s->input = input;
  s->header = output;
  s->symbolCount = uint32_t(n);
  s->remaining = uint32_t(length);
  std::memcpy(output, "HUFF", 4);
  writeU32(output + 4, uint32_t(n));
  writeU32(output + 8, uint32_t(length));
  writeU32(output + 12, 0);
  uint8_t* record = output + kHuffHeaderSize;
  for (int i = 0; i < n; ++i, record += kHuffRecordSize) {
    writeU32(record, s->symbols[i].frequency);
    record[4] = s->symbols[i].value;
  }
  s->output = record;
  *s->output = 0;
  s->freeBits = 8;

  if (n == 1) {
    s->codes[input[0]] = HuffCode{1, 0};
  } else if (n > 1) {
    buildTree(s, n);
    buildCodes(s, n);
  }

  // Bits are gathered in a 64-bit accumulator and written a byte at a time:
  // the same bytes as setting them one by one.
  uint8_t* out = s->output;
  uint64_t pending = 0;  // low `count` bits, oldest highest
  int count = 0;
  for (int i = 0; i < length; ++i) {
    const HuffCode& code = s->codes[input[i]];
    uint32_t left = code.length;
    while (left > 0) {
      uint32_t take = left < 32 ? left : 32;
      left -= take;
      pending = pending << take | ((code.code >> left) & ((uint64_t(1) << take) - 1));
      count += int(take);
      while (count >= 8) {
        count -= 8;
        *out++ = uint8_t(pending >> count);
      }
    }
  }
  *out = count ? uint8_t(pending << (8 - count)) : 0;
  s->output = out;
  s->freeBits = 8 - count;
  s->remaining = 0;

  int total = int(out - output) + 1;
  writeU32(output + 12, uint32_t(total));
  if (streamLength) *streamLength = total;
  return total;
}

int huff_check_header(const uint8_t* header, int headerBytes, int64_t available, int* streamLength,
                      int* uncompressedLength) {
  uint32_t n = 0, length = 0, stored = 0;
  int result = checkHeader(header, headerBytes, available, &n, &length, &stored);
  if (result != HUFF_OK) return result;
  if (streamLength) *streamLength = int(stored);
  if (uncompressedLength) *uncompressedLength = int(length);
  return HUFF_OK;
}

int huff_check(const uint8_t* stream, int available, int* uncompressedLength) {
  StreamLayout layout;
  int result = readLayout(stream, available, &layout);
  if (result == HUFF_OK && uncompressedLength) *uncompressedLength = int(layout.outputLength);
  return result;
}

int huff_decompress_walk(const uint8_t* stream, int available, HuffState* s, uint8_t* output,
                         int* produced) {
  StreamLayout layout;
  int result = prepareDecoder(stream, available, s, &layout);
  if (result != HUFF_OK) return result;
  if (layout.symbolCount == 1) return decodeSingle(layout, s, output, produced);

  const uint8_t* in = layout.bits;
  int freeBits = 8;
  uint8_t* out = output;
  for (uint32_t left = layout.outputLength; left > 0; --left) {
    const HuffNode* node = &s->nodes[0];
    for (;;) {
      if (in == layout.end) return HUFF_ERR_BITS_OVERRUN;
      --freeBits;
      bool right = (*in >> freeBits) & 1;
      if (freeBits == 0) {
        ++in;
        freeBits = 8;
      }
      const HuffNode* next = right ? node->right : node->left;
      if (!next) {
        *out++ = right ? node->rightValue : node->leftValue;
        break;
      }
      node = next;
    }
  }
  *produced = int(out - output);
  return *produced;
}

int huff_decompress(const uint8_t* stream, int available, HuffState* s, uint8_t* output,
                    int* produced) {
  StreamLayout layout;
  int result = prepareDecoder(stream, available, s, &layout);
  if (result != HUFF_OK) return result;
  if (layout.symbolCount == 1) return decodeSingle(layout, s, output, produced);
  if (layout.outputLength == 0) {
    *produced = 0;
    return 0;
  }
  fillTable(s, &s->nodes[0], 0, 0);

  // `bits` holds the next `count` stream bits left-aligned. Past the stream's
  // end it is fed zero bits; `consumed` against `available` catches codes
  // that reach into them.
  const uint8_t* in = layout.bits;
  const uint8_t* end = layout.end;
  const uint64_t availableBits = uint64_t(end - in) * 8;
  uint64_t consumed = 0;
  uint64_t bits = 0;
  int count = 0;
  auto refill = [&]() {
    if (count > 56) return;
    if (end - in >= 8) {
      uint64_t word = 0;
      for (int i = 0; i < 8; ++i) word = word << 8 | in[i];
      bits |= word >> count;
      int bytes = (63 - count) >> 3;
      in += bytes;
      count += bytes * 8;
    } else {
      while (count <= 56) {
        if (in < end) bits |= uint64_t(*in++) << (56 - count);
        count += 8;
      }
    }
  };

  uint8_t* out = output;
  uint8_t* const outEnd = output + layout.outputLength;
  while (out < outEnd) {
    if (count < kHuffTableBits) refill();
    const HuffTableEntry& entry = s->table[bits >> (64 - kHuffTableBits)];
    bits <<= entry.length;
    count -= entry.length;
    consumed += entry.length;
    if (entry.node == kHuffNoNode) {
      *out++ = entry.value;
    } else {
      // A code longer than the table: walk on one bit at a time.
      const HuffNode* node = &s->nodes[entry.node];
      for (;;) {
        if (count == 0) {
          refill();
          // Nothing but padding left: the code cannot end inside the stream.
          if (consumed >= availableBits) return HUFF_ERR_BITS_OVERRUN;
        }
        bool right = bits >> 63;
        bits <<= 1;
        --count;
        ++consumed;
        const HuffNode* next = right ? node->right : node->left;
        if (!next) {
          *out++ = right ? node->rightValue : node->leftValue;
          break;
        }
        node = next;
      }
    }
    if (consumed > availableBits) return HUFF_ERR_BITS_OVERRUN;
  }
  *produced = int(out - output);
  return *produced;
}
