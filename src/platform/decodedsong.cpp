#include "platform/decodedsong.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/audio_decoder.h"
#include "platform/audio_fft.h"
#include "util/data/data.h"

bool decodeSongBytes(const uint8_t* bytes, size_t size, std::vector<int16_t>& stereo, std::string* why) {
  stereo.clear();
  std::unique_ptr<platform::audio::PcmSource> source = platform::audio::openPcmSource(bytes, size, why);
  if (!source) return false;
  stereo.reserve(2 * source->lengthFrames());
  std::vector<int16_t> block(2 * 4096);
  for (;;) {
    const size_t got = source->read(block.data(), 4096);
    if (got == 0) break;
    stereo.insert(stereo.end(), block.begin(), block.begin() + 2 * got);
  }
  if (stereo.empty() && why) *why = "the song holds no sound";
  return !stereo.empty();
}

bool decodeSong(const char* name, std::vector<int16_t>& stereo) {
  stereo.clear();
  int size = 0;
  char* bytes = data_load_file(name, &size, false);
  if (bytes == nullptr) return false;
  const bool decoded = decodeSongBytes(reinterpret_cast<const uint8_t*>(bytes), static_cast<size_t>(size), stereo);
  std::free(bytes);
  return decoded;
}

bool DecodedSong::load(const char* name) {
  mono_.clear();
  std::vector<int16_t> stereo;
  decodeSong(name, stereo);
  mono_.reserve(stereo.size() / 2);
  for (size_t i = 0; i + 1 < stereo.size(); i += 2) mono_.push_back((stereo[i] + stereo[i + 1]) / 65536.0f);
  return loaded();
}

void DecodedSong::spectrum(double seconds, float* out512) const {
  float window[platform::audio::kSpectrumSize];
  const long end = static_cast<long>(seconds * 44100.0);
  for (int i = 0; i < platform::audio::kSpectrumSize; ++i) {
    const long at = end - platform::audio::kSpectrumSize + i;
    window[i] = at >= 0 && at < static_cast<long>(mono_.size()) ? mono_[at] : 0.0f;
  }
  platform::audio::computeSpectrum(window, out512);
}

namespace {

class DecodedSongAnalysis : public SongAnalysis {
 public:
  bool load(const char* name) { return song_.load(name); }
  double seconds() const override { return song_.seconds(); }
  void spectrum(double seconds, float* out512) const override { song_.spectrum(seconds, out512); }

 private:
  DecodedSong song_;
};

}  // namespace

std::unique_ptr<SongAnalysis> analyseDecodedSong(const char* name) {
  std::unique_ptr<DecodedSongAnalysis> song(new DecodedSongAnalysis);
  if (!song->load(name)) return nullptr;
  return song;
}
