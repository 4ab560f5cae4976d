#include "platform/audio_decoder.h"

#include <mpg123.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {

bool fail(std::string& why, const std::string& reason) {
  why = reason;
  return false;
}

const char* vorbisErrorText(int code) {
  switch (code) {
    case OV_EREAD:
      return "a read from the Ogg data failed";
    case OV_ENOTVORBIS:
      return "not Ogg Vorbis data";
    case OV_EVERSION:
      return "unsupported Vorbis version";
    case OV_EBADHEADER:
      return "invalid Vorbis bitstream header";
    case OV_EFAULT:
      return "internal fault of the Vorbis decoder";
    default:
      return "the Ogg Vorbis data cannot be decoded";
  }
}

// A read cursor over the caller's bytes, shared by both decoders' I/O hooks.
struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;

  size_t read(void* out, size_t bytes) {
    size_t n = std::min(bytes, size - pos);
    if (n > 0) memcpy(out, data + pos, n);
    pos += n;
    return n;
  }
  // whence as for fseek; false when the target lies outside the data.
  bool seek(int64_t offset, int whence) {
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return false;
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(pos)
                                                                : static_cast<int64_t>(size);
    int64_t target = base + offset;
    if (target < 0 || target > static_cast<int64_t>(size)) return false;
    pos = static_cast<size_t>(target);
    return true;
  }
};

// ---- MP3 -------------------------------------------------------------------

ssize_t mp3Read(void* handle, void* out, size_t bytes) {
  return static_cast<ssize_t>(static_cast<MemoryReader*>(handle)->read(out, bytes));
}

off_t mp3Seek(void* handle, off_t offset, int whence) {
  auto* reader = static_cast<MemoryReader*>(handle);
  if (!reader->seek(offset, whence)) return -1;
  return static_cast<off_t>(reader->pos);
}

class Mp3Source : public PcmSource {
 public:
  ~Mp3Source() override {
    if (handle_) {
      mpg123_close(handle_);
      mpg123_delete(handle_);
    }
  }

  // False with the decoder's own words in `why`.
  bool open(const uint8_t* data, size_t size, std::string& why) {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
    reader_ = {data, size, 0};
    int err = MPG123_OK;
    handle_ = mpg123_new(nullptr, &err);
    if (!handle_) return fail(why, mpg123_plain_strerror(err));
    // Gapless: the encoder delay and padding recorded in the LAME tag are cut,
    // so the length is the number of frames that were encoded.
    mpg123_param(handle_, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_STEREO | MPG123_QUIET, 0.0);
    // Every rate is let through so that the rate check below, not the
    // library, refuses what the device cannot play as it stands.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
      mpg123_format(handle_, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_replace_reader_handle(handle_, mp3Read, mp3Seek, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle_, &reader_) != MPG123_OK)
      return fail(why, mpg123_strerror(handle_));
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK)
      return fail(why, "no MPEG audio found: " + std::string(mpg123_strerror(handle_)));
    if (rate != static_cast<long>(kOutputRate) || channels != 2 || encoding != MPG123_ENC_SIGNED_16)
      return fail(why, "unsupported rate: the MP3 is " + std::to_string(rate) + " Hz, the output plays " +
                           std::to_string(kOutputRate) + " Hz only");
    // Walks the frame headers only (no decoding) to count the frames.
    if (mpg123_scan(handle_) != MPG123_OK) return fail(why, mpg123_strerror(handle_));
    off_t samples = mpg123_length(handle_);
    if (samples <= 0) return fail(why, "the MP3 holds no audio frames");
    length_ = static_cast<uint64_t>(samples);
    return rewind();
  }

  uint64_t lengthFrames() const override { return length_; }

  size_t read(int16_t* out, size_t frames) override {
    size_t done = 0;
    int attempts = 0;
    while (done < frames && !ended_) {
      size_t got = 0;
      int rc = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out + done * 2),
                           (frames - done) * kBytesPerFrame, &got);
      done += got / kBytesPerFrame;
      if (rc == MPG123_DONE || (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)) {
        ended_ = true;
      } else if (got == 0 && ++attempts > 64) {
        ended_ = true;  // a stream that yields nothing is as good as ended
      }
    }
    return done;
  }

  bool rewind() override {
    ended_ = false;
    return mpg123_seek(handle_, 0, SEEK_SET) >= 0;
  }

 private:
  MemoryReader reader_{};
  mpg123_handle* handle_ = nullptr;
  uint64_t length_ = 0;
  bool ended_ = false;
};

// ---- Ogg Vorbis -------------------------------------------------------------

size_t oggRead(void* out, size_t size, size_t count, void* handle) {
  if (size == 0) return 0;
  return static_cast<MemoryReader*>(handle)->read(out, size * count) / size;
}

int oggSeek(void* handle, ogg_int64_t offset, int whence) {
  return static_cast<MemoryReader*>(handle)->seek(offset, whence) ? 0 : -1;
}

long oggTell(void* handle) { return static_cast<long>(static_cast<MemoryReader*>(handle)->pos); }

class OggSource : public PcmSource {
 public:
  ~OggSource() override {
    if (opened_) ov_clear(&file_);
  }

  // False with the decoder's own words in `why`.
  bool open(const uint8_t* data, size_t size, std::string& why) {
    reader_ = {data, size, 0};
    ov_callbacks callbacks = {oggRead, oggSeek, nullptr, oggTell};
    const int opened = ov_open_callbacks(&reader_, &file_, nullptr, 0, callbacks);
    if (opened != 0) return fail(why, vorbisErrorText(opened));
    opened_ = true;
    if (!ov_seekable(&file_)) return fail(why, "the Ogg stream cannot seek");
    // Every logical stream of a chained file must be playable as it stands.
    long links = ov_streams(&file_);
    for (long i = 0; i < links; ++i) {
      vorbis_info* info = ov_info(&file_, static_cast<int>(i));
      if (!info) return fail(why, "an Ogg Vorbis stream without its header");
      if (info->rate != static_cast<long>(kOutputRate) || (info->channels != 1 && info->channels != 2))
        return fail(why, "unsupported format: the Ogg Vorbis stream is " + std::to_string(info->rate) + " Hz with " +
                             std::to_string(info->channels) + " channels, the output plays " +
                             std::to_string(kOutputRate) + " Hz, one or two channels");
    }
    // From the granule positions: exact, since the decoder trims to them.
    ogg_int64_t total = ov_pcm_total(&file_, -1);
    if (total <= 0) return fail(why, "the Ogg Vorbis stream holds no audio");
    length_ = static_cast<uint64_t>(total);
    return true;
  }

  uint64_t lengthFrames() const override { return length_; }

  size_t read(int16_t* out, size_t frames) override {
    size_t done = 0;
    while (done < frames) {
      if (pending_ == ready_.size() / 2 && !decodeMore()) break;
      size_t n = std::min(frames - done, ready_.size() / 2 - pending_);
      memcpy(out + done * 2, ready_.data() + pending_ * 2, n * kBytesPerFrame);
      pending_ += n;
      done += n;
    }
    return done;
  }

  bool rewind() override {
    ended_ = false;
    ready_.clear();
    pending_ = 0;
    return ov_raw_seek(&file_, 0) == 0;
  }

 private:
  // Decodes the next packet's worth into ready_ as stereo frames; false at
  // the end or after an error the decoder cannot step over.
  bool decodeMore() {
    ready_.clear();
    pending_ = 0;
    int holes = 0;
    while (!ended_) {
      int link = 0;
      long got = ov_read(&file_, reinterpret_cast<char*>(packet_), sizeof packet_, 0 /* little endian */,
                         2, 1, &link);
      if (got == OV_HOLE && ++holes < 64) continue;  // damaged page: skip it
      if (got <= 0) {
        ended_ = true;
        break;
      }
      vorbis_info* info = ov_info(&file_, link);
      size_t samples = static_cast<size_t>(got) / 2;
      if (info && info->channels == 1) {
        ready_.resize(samples * 2);
        for (size_t i = 0; i < samples; ++i) ready_[i * 2] = ready_[i * 2 + 1] = packet_[i];
      } else {
        ready_.assign(packet_, packet_ + samples / 2 * 2);
      }
      if (!ready_.empty()) return true;
    }
    return false;
  }

  int16_t packet_[4096];
  std::vector<int16_t> ready_;  // decoded stereo frames not yet handed out
  size_t pending_ = 0;          // frames of ready_ already handed out
  MemoryReader reader_{};
  OggVorbis_File file_{};
  bool opened_ = false;
  uint64_t length_ = 0;
  bool ended_ = false;
};

}  // namespace

Container detectContainer(const uint8_t* data, size_t size) {
  if (!data || size == 0) return Container::kUnknown;
  if (size >= 4 && memcmp(data, "OggS", 4) == 0) return Container::kOgg;
  return Container::kMp3;
}

std::unique_ptr<PcmSource> openPcmSource(const uint8_t* data, size_t size, std::string* why) {
  std::string reason = "no audio data";
  switch (detectContainer(data, size)) {
    case Container::kOgg: {
      auto source = std::make_unique<OggSource>();
      if (source->open(data, size, reason)) return source;
      break;
    }
    case Container::kMp3: {
      auto source = std::make_unique<Mp3Source>();
      if (source->open(data, size, reason)) return source;
      break;
    }
    case Container::kUnknown:
      break;
  }
  if (why) *why = reason;
  return nullptr;
}

}  // namespace audio
}  // namespace platform
