#include "util/texture/png_writer.h"

#include <zlib.h>

#include <cstdio>

namespace {

void putBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void appendChunk(std::vector<uint8_t>& file, const char type[4], const std::vector<uint8_t>& data) {
  putBigEndian(file, static_cast<uint32_t>(data.size()));
  const size_t typeStart = file.size();
  file.insert(file.end(), type, type + 4);
  file.insert(file.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, file.data() + typeStart, static_cast<uInt>(4 + data.size()));
  putBigEndian(file, static_cast<uint32_t>(crc));
}

}  // namespace

bool writePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels) {
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) ||
      pixels.size() != static_cast<size_t>(width) * height * channels) {
    return false;
  }
  // Every scanline gets filter type 0 (none).
  const size_t stride = static_cast<size_t>(width) * channels;
  std::vector<uint8_t> raw;
  raw.reserve((stride + 1) * height);
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), pixels.begin() + y * stride, pixels.begin() + (y + 1) * stride);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
    return false;
  }
  packed.resize(packedSize);

  std::vector<uint8_t> file = {137, 80, 78, 71, 13, 10, 26, 10};
  std::vector<uint8_t> header;
  putBigEndian(header, static_cast<uint32_t>(width));
  putBigEndian(header, static_cast<uint32_t>(height));
  header.push_back(8);                          // bit depth
  header.push_back(channels == 4 ? 6 : 2);      // colour type RGBA / RGB
  header.push_back(0);                          // deflate
  header.push_back(0);                          // adaptive filtering
  header.push_back(0);                          // no interlace
  appendChunk(file, "IHDR", header);
  appendChunk(file, "IDAT", packed);
  appendChunk(file, "IEND", {});

  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && ok;
}
