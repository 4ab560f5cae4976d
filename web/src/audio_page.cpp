// The audio layer of the browser build. The page plays the song itself
// through Web Audio and hands the show the heard position each frame, so the
// show's music is a manual stream here: position and spectrum set by hand.
// No output device is opened from the module.
#include <chrono>
#include <cstring>
#include <map>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {

struct ManualStream {
  uint64_t position = 0;
  float spectrum[kSpectrumBins] = {};
  uint32_t flags = 0;
  float volume = 1.0f;
};

std::map<Handle, ManualStream>& streams() {
  static std::map<Handle, ManualStream> all;
  return all;
}

Handle nextHandle = 1;
const char* failure = "";

ManualStream* lookup(Handle handle) {
  auto found = streams().find(handle);
  return found == streams().end() ? nullptr : &found->second;
}

}  // namespace

uint32_t version() { return kContractVersion; }

const char* failureReason() { return failure; }

bool init(int, uint32_t) {
  failure = "the page plays the song through Web Audio";
  return false;
}

void setDeviceFrames(uint32_t) {}
void shutdown() {}

Handle createStream(const void*, uint64_t, uint64_t, uint32_t) {
  failure = "the page plays the song through Web Audio";
  return 0;
}

Handle createManualStream() {
  const Handle handle = nextHandle++;
  streams()[handle];
  return handle;
}

bool freeStream(Handle handle) { return streams().erase(handle) > 0; }

uint64_t length(Handle) { return kLengthError; }

double bytesToSeconds(Handle handle, uint64_t bytes) {
  return lookup(handle) ? static_cast<double>(bytes) / kBytesPerSecond : -1.0;
}

bool setAttribute(Handle handle, int attribute, float value) {
  ManualStream* s = lookup(handle);
  if (!s || attribute != kAttribVolume) return false;
  s->volume = value < 0.0f ? 0.0f : value > 1.0f ? 1.0f : value;
  return true;
}

uint32_t flags(Handle handle, uint32_t newFlags, uint32_t mask) {
  ManualStream* s = lookup(handle);
  if (!s) return ~0u;
  s->flags = (s->flags & ~mask) | (newFlags & mask);
  return s->flags;
}

bool play(Handle, bool) { return false; }
int isActive(Handle) { return kStopped; }

uint64_t position(Handle handle) {
  const ManualStream* s = lookup(handle);
  return s ? s->position : kLengthError;
}

int getData(Handle handle, float* out, uint32_t request) {
  const ManualStream* s = lookup(handle);
  if (!s || !out || request != kDataFft1024) return -1;
  std::memcpy(out, s->spectrum, sizeof s->spectrum);
  return static_cast<int>(sizeof s->spectrum);
}

bool setManualPosition(Handle handle, uint64_t bytes) {
  ManualStream* s = lookup(handle);
  if (!s) return false;
  s->position = bytes;
  return true;
}

bool setManualSpectrum(Handle handle, const float* magnitudes512) {
  ManualStream* s = lookup(handle);
  if (!s || !magnitudes512) return false;
  std::memcpy(s->spectrum, magnitudes512, sizeof s->spectrum);
  return true;
}

DeviceTiming deviceTiming() { return DeviceTiming{}; }

int64_t clockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace audio
}  // namespace platform
