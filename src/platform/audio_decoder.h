#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
namespace audio {

// Compressed audio in memory decoded to 44100 Hz interleaved stereo signed
// 16-bit frames. Mono sources come out with both channels equal.
class PcmSource {
 public:
  virtual ~PcmSource() = default;
  // Exact number of frames, known from the pre-scan before any decoding.
  virtual uint64_t lengthFrames() const = 0;
  // Decodes up to `frames` frames into `out`; returns how many were written,
  // 0 at the end or after an unrecoverable error.
  virtual size_t read(int16_t* out, size_t frames) = 0;
  // Back to the first frame; false if the source cannot seek.
  virtual bool rewind() = 0;
};

enum class Container { kUnknown, kOgg, kMp3 };

// Ogg pages start with "OggS"; everything else is offered to the MP3 decoder,
// which finds frames after ID3 tags and junk by itself.
Container detectContainer(const uint8_t* data, size_t size);

// Null when the bytes hold no playable audio in a supported format; `why`
// (when given) then receives the decoder's reason.
std::unique_ptr<PcmSource> openPcmSource(const uint8_t* data, size_t size, std::string* why = nullptr);

}  // namespace audio
}  // namespace platform
