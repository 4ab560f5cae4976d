#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio_output.h"

namespace platform {
namespace audio {

// SDL audio: the driver SDL_AUDIODRIVER names, else ALSA's default device.
// SDL's own PulseAudio driver is never chosen here: where a server answers,
// the layer's own stream plays on it, and where it did not, SDL's driver
// would wait on the same server for good. ALSA's messages on standard error
// are kept back unless KESTRUNE_ALSA_MESSAGES is set.
class SdlOutput : public AudioOutput {
 public:
  SdlOutput() = default;
  ~SdlOutput() override { close(); }
  SdlOutput(const SdlOutput&) = delete;
  SdlOutput& operator=(const SdlOutput&) = delete;

  // Not when SDL_AUDIODRIVER names PulseAudio.
  bool wanted() const override;
  // The opening runs on a thread of its own: SDL waits without end on a
  // server that never answers (ALSA's default device may be one), so it is
  // given up on at the deadline; SDL is tried again only once that opening
  // has come back.
  bool open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) override;
  void close() override;
  const char* name() const override { return driver_; }
  bool timed() const override { return false; }
  // SDL's dummy driver plays a buffer from the moment it takes it; a real
  // device still holds about one more.
  double estimatedDelayFrames(uint32_t bufferFrames) const override;

  struct Attempt;  // one opening, shared with its thread

 private:
  static void callback(void* self, uint8_t* out, int len);

  OutputFeed* feed_ = nullptr;
  char driver_[32] = "";
  bool open_ = false;
  bool subsystemOurs_ = false;  // SDL's audio was started here, not by the program
  std::shared_ptr<Attempt> hung_;  // an opening that never came back
};

}  // namespace audio
}  // namespace platform
