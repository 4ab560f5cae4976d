#include "page_song_player.h"

#include <memory>
#include <string>

#include "platform/decodedsong.h"

namespace {

constexpr double kBytesPerSecond = 44100.0 * 4;

class PagePlayer : public SongPlayer {
 public:
  uint32_t version() override { return kContract << 16; }
  // The page's audio context opens at the viewer's first gesture.
  bool openDevice() override { return true; }
  const char* failureReason() override { return reason_.c_str(); }
  Stream createStream(const void* data, uint64_t size) override {
    reason_.clear();
    return decodeSongBytes(static_cast<const uint8_t*>(data), size, song, &reason_) ? 1 : 0;
  }
  void freeStream(Stream) override {}
  uint64_t lengthBytes(Stream) override { return song.size() * sizeof(int16_t); }
  double bytesToSeconds(Stream, uint64_t bytes) override { return bytes / kBytesPerSecond; }
  void setVolume(Stream, float) override {}
  bool play(Stream stream) override { return stream != 0; }
  bool isPlaying(Stream stream) override { return stream != 0; }
  uint64_t position(Stream) override { return 0; }
  bool spectrum(Stream, float*) override { return false; }
  std::unique_ptr<SongAnalysis> analyse(const char* name) override { return analyseDecodedSong(name); }

  std::vector<int16_t> song;

 private:
  std::string reason_;
};

PagePlayer& player() {
  static PagePlayer p;
  return p;
}

}  // namespace

SongPlayer& pageSongPlayer() { return player(); }
const std::vector<int16_t>& pageSong() { return player().song; }
void releasePageSong() { std::vector<int16_t>().swap(player().song); }
