#pragma once

#include <cstddef>
#include <cstdint>

// Reads the chunks of a PNG file, inflates the collected image data and feeds
// every inflated byte to begin / output / end.
class PngDecoder {
 public:
  enum class Result { kNotPng, kDecoded, kCorrupt };

  PngDecoder();
  virtual ~PngDecoder() = default;
  PngDecoder(const PngDecoder&) = delete;
  PngDecoder& operator=(const PngDecoder&) = delete;

  // kNotPng: the file is missing, has no PNG signature or a bad palette (no
  // message). kCorrupt: a chunk runs past the end of the file or the image
  // data cannot be decoded.
  Result decode(const char* fileName);

  // Inflates one zlib stream, handing each byte to output() until it asks to
  // stop, the final block ends or the data runs out. False when the stream
  // is corrupt (bad codes, references before the start of the output).
  bool inflate(const unsigned char* data, size_t size);

 protected:
  friend class InflateOutput;

  virtual int begin() = 0;
  virtual int output(unsigned char byte) = 0;
  virtual int end() = 0;

  // IHDR
  uint32_t headerWidth;
  uint32_t headerHeight;
  int bitDepth;
  int colourType;
  int compressionMethod;
  int filterMethod;
  int interlaceMethod;
  // PLTE and tRNS
  int paletteSize;
  unsigned char palette[256 * 3];
  int paletteAlphaSize;
  unsigned char paletteAlpha[256];
  int transparentKey[3];  // -1 until tRNS sets one: no 8-bit sample equals it
  // Set by output() when the filtered data itself is bad.
  bool dataCorrupt;

 private:
  void readChunkData(int type, const unsigned char* data, uint32_t length);
};

// Builds the RGBA picture from the inflated scanlines.
class RawPngDecoder : public PngDecoder {
 public:
  RawPngDecoder() = default;
  ~RawPngDecoder() override;

  // Size of the finished picture; 0 x 0 until begin() accepts the header.
  int width = 0;
  int height = 0;
  // width * height * 4 bytes, bottom row first after end(); the caller may
  // take it over (set to null).
  unsigned char* pixels = nullptr;

 protected:
  int begin() override;
  int output(unsigned char byte) override;
  int end() override;

 private:
  bool startPass();
  void storePixel(int column);

  int channels = 0;
  unsigned char* current = nullptr;
  unsigned char* previous = nullptr;
  int64_t rowBytes = 0;
  int filterType = 0;
  int row = 0;
  int64_t position = 0;  // byte of the scanline, 0 = filter type
  int pass = 0;          // 1..7 when interlaced, 0 otherwise
  int passWidth = 0;
  int passHeight = 0;
  bool finished = false;
};
