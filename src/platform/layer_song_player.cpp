#include "platform/layer_song_player.h"

#include "platform/audio.h"
#include "platform/decodedsong.h"

namespace platform {
namespace {

static_assert(SongPlayer::kNoLength == audio::kLengthError, "one value for an unknown length");
static_assert(SongAnalysis::kBins == audio::kSpectrumBins, "one spectrum size");

class AudioLayerPlayer : public SongPlayer {
 public:
  uint32_t version() override { return audio::version(); }
  bool openDevice() override { return audio::init(-1, audio::kOutputRate); }
  const char* failureReason() override { return audio::failureReason(); }
  Stream createStream(const void* data, uint64_t size) override {
    return audio::createStream(data, 0, size, audio::kFlagLoop | audio::kFlagPrescan);
  }
  void freeStream(Stream stream) override { audio::freeStream(stream); }
  uint64_t lengthBytes(Stream stream) override { return audio::length(stream); }
  double bytesToSeconds(Stream stream, uint64_t bytes) override { return audio::bytesToSeconds(stream, bytes); }
  void setVolume(Stream stream, float volume) override {
    audio::setAttribute(stream, audio::kAttribVolume, volume);
  }
  bool play(Stream stream) override {
    audio::flags(stream, 0, audio::kFlagLoop);
    return audio::play(stream, false);
  }
  bool isPlaying(Stream stream) override { return audio::isActive(stream) == audio::kPlaying; }
  uint64_t position(Stream stream) override { return audio::position(stream); }
  bool spectrum(Stream stream, float* out512) override {
    return audio::getData(stream, out512, audio::kDataFft1024) >= 0;
  }
  std::unique_ptr<SongAnalysis> analyse(const char* name) override { return analyseDecodedSong(name); }
};

}  // namespace

SongPlayer& songPlayer() {
  static AudioLayerPlayer player;
  return player;
}

}  // namespace platform
