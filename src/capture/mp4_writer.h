#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVCodecContext;
struct AVStream;
struct AVFrame;
struct AVPacket;
struct SwsContext;

// What the video file holds: H.264 pictures of width x height at `fps`
// frames a second, and 44100 Hz stereo AAC sound.
struct Mp4Format {
  int width = 1920;
  int height = 1080;
  int fps = 60;
  // x264 speed/size trade-off and constant quality (lower is better).
  // ultrafast at 12 takes about a third less encoding time than superfast
  // at 18, with files about 2.5 times as large, and a better picture: the
  // sharp glyph edges of the show stay above 45 dB PSNR in every frame,
  // where superfast at 18 dips to 43 dB.
  std::string preset = "ultrafast";
  int crf = 12;
  // Encoder threads; 0 lets the encoder choose.
  int threads = 0;
};

// Writes one MP4 file through libavformat: pictures as they come, sound in
// any portions, both on one time line that starts at the first picture.
// Not thread-safe; one thread drives it from open() to finish().
class Mp4Writer {
 public:
  Mp4Writer() = default;
  ~Mp4Writer();
  Mp4Writer(const Mp4Writer&) = delete;
  Mp4Writer& operator=(const Mp4Writer&) = delete;

  // Creates `path` (replacing it). False with error() set on failure.
  bool open(const std::string& path, const Mp4Format& format);

  // The next picture: width x height pixels of 4 bytes (B, G, R, A), the
  // bottom row first as OpenGL reads them.
  bool writePicture(const uint8_t* bgraBottomUp);

  // The next picture, written by `fill` straight into the encoder's 4:2:0
  // planes (Y, Cb, Cr; studio-range BT.709, top row first).
  using PlaneFill = std::function<void(uint8_t* const planes[3], const int strides[3])>;
  bool writePicture(const PlaneFill& fill);

  // The next `frames` stereo frames of 44100 Hz signed 16-bit sound.
  bool writeSound(const int16_t* interleaved, size_t frames);

  // Drains the encoders and completes the file. The file is unusable
  // unless this returns true.
  bool finish();

  const std::string& error() const { return error_; }
  int64_t picturesWritten() const { return pictures_; }

 private:
  bool fail(const char* what, int averror);
  bool addVideoStream();
  bool addSoundStream();
  bool encodeSoundBlock(int samples);
  // Sends `frame` (null: drain) to `codec` and writes what comes out.
  bool encode(AVCodecContext* codec, AVStream* stream, AVFrame* frame);
  void release();

  Mp4Format format_;
  std::string error_;
  AVFormatContext* container_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* sound_ = nullptr;
  AVStream* videoStream_ = nullptr;
  AVStream* soundStream_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVFrame* soundBlock_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* converter_ = nullptr;
  int64_t pictures_ = 0;
  int64_t soundSamples_ = 0;            // samples handed to the encoder
  std::vector<float> pendingLeft_;      // samples waiting for a full block
  std::vector<float> pendingRight_;
};
