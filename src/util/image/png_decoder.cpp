#include "util/image/png_decoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "util/data/data.h"
#include "util/image/image_limits.h"

namespace {

const unsigned char kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

constexpr uint32_t chunkType(char a, char b, char c, char d) {
  return (static_cast<uint32_t>(a) << 24) | (static_cast<uint32_t>(b) << 16) |
         (static_cast<uint32_t>(c) << 8) | static_cast<uint32_t>(d);
}

uint32_t be32(const unsigned char* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

int be16(const unsigned char* p) { return (p[0] << 8) | p[1]; }

// ---------------------------------------------------------------- inflate

const int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                               33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const int kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const int kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// Bits least significant first; past the end every read sets `exhausted`.
class BitReader {
 public:
  BitReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

  int bit() {
    if (count_ == 0) {
      if (pos_ >= size_) {
        exhausted = true;
        return 0;
      }
      buffer_ = data_[pos_++];
      count_ = 8;
    }
    int b = buffer_ & 1;
    buffer_ >>= 1;
    --count_;
    return b;
  }

  int bits(int n) {
    int value = 0;
    for (int i = 0; i < n; ++i) value |= bit() << i;
    return value;
  }

  void alignToByte() { count_ = 0; }

  // Next whole byte (after alignToByte), or -1 at the end.
  int byte() {
    if (pos_ >= size_) {
      exhausted = true;
      return -1;
    }
    return data_[pos_++];
  }

  bool exhausted = false;

 private:
  const unsigned char* data_;
  size_t size_;
  size_t pos_ = 0;
  int buffer_ = 0;
  int count_ = 0;
};

// A canonical Huffman code as a binary tree walked one bit per step.
class HuffmanTree {
 public:
  static constexpr int kEnd = -1;      // the data ran out
  static constexpr int kInvalid = -2;  // a code no symbol has

  // False when the lengths over-subscribe the code space.
  bool build(const int* lengths, int count) {
    nodes_.assign(1, Node());
    int lengthCount[16] = {0};
    for (int i = 0; i < count; ++i) ++lengthCount[lengths[i]];
    lengthCount[0] = 0;
    int nextCode[16] = {0};
    int code = 0;
    for (int len = 1; len < 16; ++len) {
      code = (code + lengthCount[len - 1]) << 1;
      nextCode[len] = code;
    }
    for (int symbol = 0; symbol < count; ++symbol) {
      const int len = lengths[symbol];
      if (len == 0) continue;
      const int c = nextCode[len]++;
      if (c >= (1 << len)) return false;
      int node = 0;
      for (int i = len - 1; i >= 0; --i) {
        if (nodes_[node].symbol >= 0) return false;
        const int b = (c >> i) & 1;
        if (nodes_[node].child[b] < 0) {
          nodes_[node].child[b] = static_cast<int>(nodes_.size());
          nodes_.push_back(Node());
        }
        node = nodes_[node].child[b];
      }
      if (nodes_[node].symbol >= 0 || nodes_[node].child[0] >= 0 || nodes_[node].child[1] >= 0) {
        return false;
      }
      nodes_[node].symbol = symbol;
    }
    return true;
  }

  int decode(BitReader& in) const {
    int node = 0;
    while (nodes_[node].symbol < 0) {
      const int b = in.bit();
      if (in.exhausted) return kEnd;
      node = nodes_[node].child[b];
      if (node < 0) return kInvalid;
    }
    return nodes_[node].symbol;
  }

 private:
  struct Node {
    int child[2] = {-1, -1};
    int symbol = -1;
  };
  std::vector<Node> nodes_;
};

}  // namespace

// Sliding output window; every byte also goes to the decoder's output().
class InflateOutput {
 public:
  InflateOutput(size_t windowSize, PngDecoder* decoder) : window_(windowSize), decoder_(decoder) {}

  // False once the decoder wants no more bytes.
  bool put(unsigned char byte) {
    window_[total_ % window_.size()] = byte;
    ++total_;
    if (!decoder_->output(byte)) stopped_ = true;
    return !stopped_;
  }

  // -1: the distance reaches before the start of the output or past the
  // window; 0: the decoder stopped; 1: copied.
  int copy(int length, int distance) {
    if (static_cast<uint64_t>(distance) > total_ || static_cast<size_t>(distance) > window_.size()) return -1;
    for (int i = 0; i < length; ++i) {
      if (!put(window_[(total_ - distance) % window_.size()])) return 0;
    }
    return 1;
  }

 private:
  std::vector<unsigned char> window_;
  uint64_t total_ = 0;
  PngDecoder* decoder_;
  bool stopped_ = false;
};

namespace {

enum class BlockEnd { kNext, kStop, kCorrupt };

// Decodes literal/length symbols until end of block. `distances` null means
// the fixed code: five raw bits, most significant first.
BlockEnd inflateCodes(BitReader& in, InflateOutput& out, const HuffmanTree& literals,
                      const HuffmanTree* distances) {
  for (;;) {
    const int symbol = literals.decode(in);
    if (symbol == HuffmanTree::kEnd) return BlockEnd::kStop;
    if (symbol == HuffmanTree::kInvalid || symbol > 285) return BlockEnd::kCorrupt;
    if (symbol < 256) {
      if (!out.put(static_cast<unsigned char>(symbol))) return BlockEnd::kStop;
      continue;
    }
    if (symbol == 256) return BlockEnd::kNext;
    const int li = symbol - 257;
    const int length = kLengthBase[li] + in.bits(kLengthExtra[li]);
    int dsym;
    if (distances) {
      dsym = distances->decode(in);
      if (dsym == HuffmanTree::kEnd) return BlockEnd::kStop;
      if (dsym == HuffmanTree::kInvalid) return BlockEnd::kCorrupt;
    } else {
      dsym = 0;
      for (int i = 0; i < 5; ++i) dsym = (dsym << 1) | in.bit();
    }
    if (dsym > 29) return BlockEnd::kCorrupt;
    const int distance = kDistanceBase[dsym] + in.bits(kDistanceExtra[dsym]);
    if (in.exhausted) return BlockEnd::kStop;
    const int copied = out.copy(length, distance);
    if (copied < 0) return BlockEnd::kCorrupt;
    if (copied == 0) return BlockEnd::kStop;
  }
}

BlockEnd inflateStored(BitReader& in, InflateOutput& out) {
  in.alignToByte();
  int bytes[4];
  for (int& b : bytes) b = in.byte();
  if (in.exhausted) return BlockEnd::kStop;
  const int length = bytes[0] | (bytes[1] << 8);
  for (int i = 0; i < length; ++i) {
    const int b = in.byte();
    if (b < 0) return BlockEnd::kStop;
    if (!out.put(static_cast<unsigned char>(b))) return BlockEnd::kStop;
  }
  return BlockEnd::kNext;
}

BlockEnd inflateFixed(BitReader& in, InflateOutput& out) {
  static HuffmanTree literals = [] {
    int lengths[288];
    for (int i = 0; i < 288; ++i) lengths[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    HuffmanTree tree;
    tree.build(lengths, 288);
    return tree;
  }();
  return inflateCodes(in, out, literals, nullptr);
}

BlockEnd inflateDynamic(BitReader& in, InflateOutput& out) {
  const int literalCount = in.bits(5) + 257;
  const int distanceCount = in.bits(5) + 1;
  const int codeLengthCount = in.bits(4) + 4;
  int codeLengthLengths[19] = {0};
  for (int i = 0; i < codeLengthCount; ++i) codeLengthLengths[kCodeLengthOrder[i]] = in.bits(3);
  if (in.exhausted) return BlockEnd::kStop;
  HuffmanTree codeLengths;
  if (!codeLengths.build(codeLengthLengths, 19)) return BlockEnd::kCorrupt;

  int lengths[288 + 32] = {0};
  const int total = literalCount + distanceCount;
  for (int n = 0; n < total;) {
    const int symbol = codeLengths.decode(in);
    if (symbol == HuffmanTree::kEnd) return BlockEnd::kStop;
    if (symbol == HuffmanTree::kInvalid) return BlockEnd::kCorrupt;
    if (symbol < 16) {
      lengths[n++] = symbol;
      continue;
    }
    int value = 0;
    int repeat;
    if (symbol == 16) {
      if (n == 0) return BlockEnd::kCorrupt;
      value = lengths[n - 1];
      repeat = 3 + in.bits(2);
    } else if (symbol == 17) {
      repeat = 3 + in.bits(3);
    } else {
      repeat = 11 + in.bits(7);
    }
    if (in.exhausted) return BlockEnd::kStop;
    if (n + repeat > total) return BlockEnd::kCorrupt;
    while (repeat-- > 0) lengths[n++] = value;
  }
  HuffmanTree literals;
  HuffmanTree distances;
  if (!literals.build(lengths, literalCount) || !distances.build(lengths + literalCount, distanceCount)) {
    return BlockEnd::kCorrupt;
  }
  return inflateCodes(in, out, literals, &distances);
}

}  // namespace

PngDecoder::PngDecoder()
    : headerWidth(0),
      headerHeight(0),
      bitDepth(0),
      colourType(0),
      compressionMethod(0),
      filterMethod(0),
      interlaceMethod(0),
      paletteSize(0),
      palette(),
      paletteAlphaSize(0),
      paletteAlpha(),
      transparentKey{-1, -1, -1},
      dataCorrupt(false) {}

bool PngDecoder::inflate(const unsigned char* data, size_t size) {
  if (size < 2) return true;
  const int cmf = data[0];
  const int flags = data[1];
  // Only deflate without a preset dictionary; anything else yields nothing.
  if ((cmf & 0x0F) != 8 || (flags & 0x20) != 0) return true;
  InflateOutput out(static_cast<size_t>(1) << ((cmf >> 4) + 8), this);
  BitReader in(data + 2, size - 2);
  for (;;) {
    const int final = in.bit();
    const int type = in.bits(2);
    if (in.exhausted) return true;
    BlockEnd result;
    if (type == 0) {
      result = inflateStored(in, out);
    } else if (type == 1) {
      result = inflateFixed(in, out);
    } else if (type == 2) {
      result = inflateDynamic(in, out);
    } else {
      return false;
    }
    if (result == BlockEnd::kCorrupt) return false;
    if (result == BlockEnd::kStop || final) return true;
  }
}

void PngDecoder::readChunkData(int type, const unsigned char* data, uint32_t length) {
  switch (static_cast<uint32_t>(type)) {
    case chunkType('I', 'H', 'D', 'R'):
      if (length > 12) {
        headerWidth = be32(data);
        headerHeight = be32(data + 4);
        bitDepth = data[8];
        colourType = data[9];
        compressionMethod = data[10];
        filterMethod = data[11];
        interlaceMethod = data[12];
      }
      break;
    case chunkType('P', 'L', 'T', 'E'): {
      // Indices are single bytes: entries past 256 can never be used.
      paletteSize = static_cast<int>(length / 3 > 256 ? 256 : length / 3);
      // An empty chunk has no data to copy (its buffer may be null).
      if (paletteSize > 0) std::memcpy(palette, data, paletteSize * 3);
      break;
    }
    case chunkType('t', 'R', 'N', 'S'):
      if (colourType == 0 && length >= 2) {
        transparentKey[0] = be16(data);
      } else if (colourType == 2 && length >= 6) {
        for (int i = 0; i < 3; ++i) transparentKey[i] = be16(data + 2 * i);
      } else if (colourType == 3) {
        paletteAlphaSize = static_cast<int>(length > 256 ? 256 : length);
        if (paletteAlphaSize > 0) std::memcpy(paletteAlpha, data, paletteAlphaSize);
      }
      break;
    default:
      break;
  }
}

PngDecoder::Result PngDecoder::decode(const char* fileName) {
  FILE* file = data_open_file(fileName);
  if (!file) return Result::kNotPng;
  const int64_t fileLength = bytesLeft(file);
  unsigned char signature[8];
  if (fileLength < 8 || std::fread(signature, 1, 8, file) != 8 ||
      std::memcmp(signature, kSignature, 8) != 0) {
    std::fclose(file);
    return Result::kNotPng;
  }

  std::vector<unsigned char> imageData;
  imageData.reserve(static_cast<size_t>(fileLength));
  std::vector<unsigned char> chunk;
  bool truncated = false;
  int64_t left = fileLength - 8;
  for (;;) {
    unsigned char head[8];
    if (left < 8 || std::fread(head, 1, 8, file) != 8) break;
    left -= 8;
    const uint32_t length = be32(head);
    const uint32_t type = be32(head + 4);
    // A chunk whose data and CRC run past the end of the file (a cut file
    // or a broken length) makes the whole file unusable.
    if (static_cast<int64_t>(length) + 4 > left) {
      truncated = true;
      break;
    }
    left -= static_cast<int64_t>(length) + 4;
    if (type == chunkType('I', 'D', 'A', 'T')) {
      const size_t at = imageData.size();
      imageData.resize(at + length);
      if (std::fread(imageData.data() + at, 1, length, file) != length) {
        imageData.resize(at);
        break;
      }
    } else if (type == chunkType('I', 'H', 'D', 'R') || type == chunkType('P', 'L', 'T', 'E') ||
               type == chunkType('t', 'R', 'N', 'S')) {
      chunk.resize(length);
      if (std::fread(chunk.data(), 1, length, file) != length) break;
      if (type == chunkType('P', 'L', 'T', 'E') && length % 3 != 0) {
        std::fclose(file);
        return Result::kNotPng;
      }
      readChunkData(static_cast<int>(type), chunk.data(), length);
    } else if (std::fseek(file, static_cast<long>(length), SEEK_CUR) != 0) {
      break;
    }
    unsigned char crc[4];
    if (std::fread(crc, 1, 4, file) != 4) break;
    if (type == chunkType('I', 'E', 'N', 'D')) break;
  }
  std::fclose(file);
  if (truncated) return Result::kCorrupt;

  if (begin() == 1) {
    const bool intact = inflate(imageData.data(), imageData.size());
    end();
    if (!intact || dataCorrupt) return Result::kCorrupt;
  }
  return Result::kDecoded;
}

// ---------------------------------------------------------------- RawPngDecoder

namespace {

struct PassGrid {
  int x0, y0, dx, dy;
};
const PassGrid kPasses[8] = {{0, 0, 1, 1}, {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8},
                             {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

}  // namespace

RawPngDecoder::~RawPngDecoder() {
  std::free(pixels);
  std::free(current);
  std::free(previous);
}

int RawPngDecoder::begin() {
  if (bitDepth != 8) return 0;
  switch (colourType) {
    case 0: channels = 1; break;
    case 2: channels = 3; break;
    case 3: channels = 1; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return 0;
  }
  // Sizes past the pixel cap, or with a side longer than any texture can be,
  // are refused like a bad header.
  if (headerWidth > kMaxImageSide || headerHeight > kMaxImageSide ||
      !imageSizeAllowed(headerWidth, headerHeight)) {
    return 0;
  }
  const int w = static_cast<int>(headerWidth);
  const int h = static_cast<int>(headerHeight);
  const size_t lineBytes = static_cast<size_t>(w) * channels;
  pixels = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(w) * h, 4));
  current = static_cast<unsigned char*>(std::calloc(lineBytes, 1));
  previous = static_cast<unsigned char*>(std::calloc(lineBytes, 1));
  if (!pixels || !current || !previous) return 0;
  width = w;
  height = h;
  pass = interlaceMethod == 1 ? 1 : 0;
  finished = !startPass();
  return 1;
}

// Sets up the current pass, skipping passes without pixels; false when no
// pass is left.
bool RawPngDecoder::startPass() {
  for (;;) {
    const PassGrid& g = kPasses[pass];
    passWidth = width > g.x0 ? (width - g.x0 + g.dx - 1) / g.dx : 0;
    passHeight = height > g.y0 ? (height - g.y0 + g.dy - 1) / g.dy : 0;
    if (passWidth > 0 && passHeight > 0) break;
    if (pass == 0 || pass == 7) return false;
    ++pass;
  }
  rowBytes = static_cast<int64_t>(passWidth) * channels;
  std::memset(previous, 0, static_cast<size_t>(rowBytes));
  row = 0;
  position = 0;
  return true;
}

void RawPngDecoder::storePixel(int column) {
  const PassGrid& g = kPasses[pass];
  const int64_t x = g.x0 + static_cast<int64_t>(column) * g.dx;
  const int64_t y = g.y0 + static_cast<int64_t>(row) * g.dy;
  unsigned char* dst = pixels + (y * width + x) * 4;
  const unsigned char* p = current + static_cast<int64_t>(column) * channels;
  switch (colourType) {
    case 0:
      dst[0] = dst[1] = dst[2] = p[0];
      dst[3] = p[0] == transparentKey[0] ? 0 : 255;
      break;
    case 2:
      dst[0] = p[0];
      dst[1] = p[1];
      dst[2] = p[2];
      dst[3] = (p[0] == transparentKey[0] && p[1] == transparentKey[1] && p[2] == transparentKey[2]) ? 0 : 255;
      break;
    case 3:
      if (p[0] >= paletteSize) return;
      std::memcpy(dst, palette + p[0] * 3, 3);
      dst[3] = p[0] < paletteAlphaSize ? paletteAlpha[p[0]] : 255;
      break;
    case 4:
      dst[0] = dst[1] = dst[2] = p[0];
      dst[3] = p[1];
      break;
    default:
      std::memcpy(dst, p, 4);
      break;
  }
}

int RawPngDecoder::output(unsigned char byte) {
  if (finished) return 0;
  if (position == 0) {
    if (byte > 4) {
      // No such scanline filter: the data is not a PNG's.
      dataCorrupt = true;
      finished = true;
      return 0;
    }
    filterType = byte;
    position = 1;
    return 1;
  }
  const int64_t i = position - 1;
  const int a = i >= channels ? current[i - channels] : 0;
  const int b = previous[i];
  const int c = i >= channels ? previous[i - channels] : 0;
  int value = byte;
  switch (filterType) {
    case 1: value += a; break;
    case 2: value += b; break;
    case 3: value += (a + b) / 2; break;
    case 4: value += paeth(a, b, c); break;
    default: break;
  }
  current[i] = static_cast<unsigned char>(value);
  ++position;
  if ((i + 1) % channels == 0) storePixel(static_cast<int>(i / channels));
  if (i + 1 == rowBytes) {
    std::swap(current, previous);
    position = 0;
    if (++row == passHeight) {
      if (pass == 0 || pass == 7) {
        finished = true;
      } else {
        ++pass;
        finished = !startPass();
      }
    }
  }
  return finished ? 0 : 1;
}

int RawPngDecoder::end() {
  const int64_t stride = static_cast<int64_t>(width) * 4;
  std::vector<unsigned char> line(static_cast<size_t>(stride));
  for (int r = 0; r < height / 2; ++r) {
    unsigned char* top = pixels + r * stride;
    unsigned char* bottom = pixels + (height - 1 - r) * stride;
    std::memcpy(line.data(), top, stride);
    std::memcpy(top, bottom, stride);
    std::memcpy(bottom, line.data(), stride);
  }
  return 1;
}
