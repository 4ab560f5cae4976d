#include "platform/audio_silent.h"

#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {
constexpr int kWakeEveryMs = 5;  // small steps keep the position smooth
}

bool SilentOutput::open(uint32_t chunkFrames, int64_t, OutputFeed* feed, std::string* why) {
  close();
  feed_ = feed;
  chunkFrames_ = std::max<uint32_t>(chunkFrames, 64);
  if (takeFromNs_ == 0) takeFromNs_ = clockNs();
  stop_.store(false);
  try {
    thread_ = std::thread(&SilentOutput::run, this);
  } catch (const std::system_error& e) {
    *why = std::string("silent output: cannot start a thread (") + e.what() + ")";
    feed_ = nullptr;
    return false;
  }
  return true;
}

void SilentOutput::close() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  feed_ = nullptr;
  takeFromNs_ = 0;
}

void SilentOutput::run() {
  std::vector<int16_t> buffer(static_cast<size_t>(chunkFrames_) * 2);
  const int64_t start = takeFromNs_;
  uint64_t taken = 0;
  while (!stop_.load()) {
    const int64_t now = clockNs();
    const uint64_t due = static_cast<uint64_t>(std::max<int64_t>(now - start, 0)) * kOutputRate / 1000000000;
    while (taken < due) {
      const int frames = static_cast<int>(std::min<uint64_t>(due - taken, chunkFrames_));
      feed_->fill(buffer.data(), frames);
      taken += static_cast<uint64_t>(frames);
    }
    // Heard as it is taken: the frame due now is the one being heard.
    feed_->heard(now, static_cast<double>(taken));
    std::this_thread::sleep_for(std::chrono::milliseconds(kWakeEveryMs));
  }
}

}  // namespace audio
}  // namespace platform
