#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/audio_output.h"

namespace platform {
namespace audio {

// No device: a thread takes the mix at the pace of the wall clock and drops
// it, and tells that each frame is heard the moment it is taken. Positions,
// the spectrum and the end of a stream come out as on a device.
class SilentOutput : public AudioOutput {
 public:
  SilentOutput() = default;
  ~SilentOutput() override { close(); }
  SilentOutput(const SilentOutput&) = delete;
  SilentOutput& operator=(const SilentOutput&) = delete;

  // The first open() takes the mix from the moment it is called; set, it
  // takes what a device would have taken since `ns` (the time a lost device
  // last took audio), so positions go on without a pause.
  void takeFrom(int64_t ns) { takeFromNs_ = ns; }

  bool open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) override;
  void close() override;
  const char* name() const override { return "silent"; }
  bool timed() const override { return true; }
  double estimatedDelayFrames(uint32_t) const override { return 0.0; }

 private:
  void run();

  OutputFeed* feed_ = nullptr;
  uint32_t chunkFrames_ = 1024;
  int64_t takeFromNs_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace audio
}  // namespace platform
