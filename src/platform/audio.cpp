#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio_clock.h"
#include "platform/audio_decoder.h"
#include "platform/audio_fft.h"
#include "platform/audio_pulse.h"

namespace platform {
namespace audio {

namespace {

constexpr uint32_t kMaxStreams = 4096;
constexpr uint64_t kHistoryFrames = 16384;     // audible samples kept for the spectrum
constexpr int kPassStarts = 8;                 // recent pass starts kept for positions
constexpr int kBufferRecords = 256;            // recent device buffers kept per stream
// A device that has not asked for audio for this long is taken as lost.
constexpr int64_t kDeviceSilentNs = 1000000000;
// While it is lost, reopening is tried this often.
constexpr int64_t kReopenEveryNs = 1000000000;
constexpr int kKeeperSleepMs = 20;

// Locks, always taken in this order (never the other way round):
//   deviceMutex -> the output's own lock (SDL's audio lock or libpulse's
//   main loop lock: the device callback runs under it) -> createMutex ->
//   a stream's decodeMutex -> its stateMutex -> clockMutex.
// clockMutex is a leaf: nothing else is taken while it is held.

// Where one device buffer put a stream's bytes.
struct BufferRecord {
  uint64_t deviceFrame;  // first frame of the buffer on the device
  uint64_t streamStart;  // the stream's absolute byte at that frame
  uint32_t bytes;        // how much of the buffer is this stream's
};

// Slots are never deleted, so the device thread can walk them without a
// lock; a freed slot is reused by a later stream under a new generation,
// which is part of the handle: handle = generation << 16 | (slot + 1).
struct Stream {
  bool manual = false;  // read by the main thread only
  std::atomic<bool> freed{false};
  std::atomic<uint32_t> generation{0};
  std::atomic<bool> wanted{false};  // cheap check for the device thread

  // Decoder side: used by the device thread while the stream plays, and by
  // the main thread only before it plays or when it is freed.
  std::mutex decodeMutex;
  std::unique_ptr<PcmSource> source;
  uint64_t lengthFrames = 0;
  uint64_t passFrames = 0;  // frames of the current pass handed out

  // Everything below is shared; guarded by stateMutex.
  std::mutex stateMutex;
  uint32_t flags = 0;
  float volume = 1.0f;
  bool playing = false;
  bool restart = false;
  bool finished = false;     // the last pass has been handed out
  uint64_t handed = 0;       // bytes handed to the device over all passes
  uint64_t reported = 0;     // highest audible byte reported so far
  BufferRecord records[kBufferRecords] = {};  // ring, newest at recordCount-1
  uint64_t recordCount = 0;
  uint64_t passStarts[kPassStarts] = {0};  // ring, newest at passCount-1
  uint64_t passCount = 1;
  std::vector<float> history;  // mono, indexed by absolute frame modulo size

  uint64_t manualPosition = 0;
  float manualSpectrum[kSpectrumBins] = {0};
};

std::atomic<Stream*> streams[kMaxStreams];
std::atomic<uint32_t> streamCount{0};
std::mutex createMutex;

// The output: the layer's own stream on a PulseAudio-protocol server where
// one answers (its timing is the server's), else SDL audio.
enum class Output { kNone, kPulse, kSdl };

std::mutex deviceMutex;
std::atomic<bool> deviceOpen{false};
bool audioSubsystemOurs = false;  // SDL's audio was started here, not by the program
uint32_t deviceFrames = 1024;     // one device buffer: about 23.2 ms
char driverName[32] = "";
std::atomic<Output> output{Output::kNone};  // changed by init, shutdown and the keeper
PulseOutput pulseOutput;

// Watches the open output; when it is lost, stands in for it at the pace of
// the clock (so positions and the picture go on) and reopens it.
std::thread keeper;
std::atomic<bool> keeperStop{false};

// The device's frames at the stream rate, counted over every time it was
// open, and the clock that turns them into what is heard.
std::mutex clockMutex;
PlaybackClock playbackClock(kOutputRate);
uint64_t deviceHanded = 0;   // frames handed to the device
int64_t lastHandedNs = 0;
uint32_t callbackFrames = 0; // size of the latest device buffer
uint64_t outputBaseFrame = 0;  // deviceHanded when the output was opened
uint32_t underrunsBefore = 0;  // of the outputs closed since init(); under deviceMutex

// What the latest failed call of the main thread ran into.
std::string failure;
bool failed(const std::string& reason) {
  failure = reason;
  return false;
}

// Device-thread scratch.
std::vector<int16_t> decodeScratch;
std::vector<int32_t> mixScratch;

Handle handleOf(uint32_t slot, uint32_t generation) { return (generation << 16) | (slot + 1); }

Stream* lookup(Handle handle) {
  uint32_t slot = (handle & 0xFFFF) - 1;
  if ((handle & 0xFFFF) == 0 || slot >= streamCount.load(std::memory_order_acquire)) return nullptr;
  Stream* s = streams[slot].load(std::memory_order_acquire);
  if (!s || s->freed.load(std::memory_order_acquire) ||
      s->generation.load(std::memory_order_acquire) != handle >> 16)
    return nullptr;
  return s;
}

// Puts a new stream into a freed slot or a fresh one; 0 when all are taken.
Handle publish(std::unique_ptr<PcmSource> source, uint32_t flags) {
  std::lock_guard<std::mutex> lock(createMutex);
  uint32_t count = streamCount.load(std::memory_order_relaxed);
  uint32_t slot = 0;
  while (slot < count && !streams[slot].load(std::memory_order_relaxed)->freed.load()) ++slot;
  if (slot == kMaxStreams) return 0;
  Stream* s = slot < count ? streams[slot].load(std::memory_order_relaxed) : new Stream();
  {
    // A reused slot starts over; the device thread skips it meanwhile (it is
    // not wanted) and the locks order this against its last visit.
    std::lock_guard<std::mutex> decodeLock(s->decodeMutex);
    std::lock_guard<std::mutex> stateLock(s->stateMutex);
    s->manual = !source;
    s->lengthFrames = source ? source->lengthFrames() : 0;
    s->source = std::move(source);
    s->passFrames = 0;
    s->flags = flags & (kFlagLoop | kFlagPrescan);
    s->volume = 1.0f;
    s->playing = s->restart = s->finished = false;
    s->handed = s->reported = 0;
    s->recordCount = 0;
    std::fill(std::begin(s->passStarts), std::end(s->passStarts), 0);
    s->passCount = 1;
    s->manualPosition = 0;
    std::fill(std::begin(s->manualSpectrum), std::end(s->manualSpectrum), 0.0f);
    s->generation.store((s->generation.load() + 1) & 0xFFFF, std::memory_order_release);
    s->freed.store(false, std::memory_order_release);
  }
  if (slot == count) {
    streams[slot].store(s, std::memory_order_release);
    streamCount.store(count + 1, std::memory_order_release);
  }
  return handleOf(slot, s->generation.load());
}

// The device frame the listener has reached.
double audibleDeviceFrame(int64_t now) {
  std::lock_guard<std::mutex> lock(clockMutex);
  return playbackClock.audible(now);
}

// The absolute byte the listener has reached; caller holds stateMutex.
uint64_t audibleLocked(Stream& s, int64_t now) {
  if (s.recordCount == 0) return s.reported;
  const double frame = audibleDeviceFrame(now);
  const uint64_t oldest = s.recordCount > kBufferRecords ? s.recordCount - kBufferRecords : 0;
  for (uint64_t i = s.recordCount; i-- > oldest;) {
    const BufferRecord& r = s.records[i % kBufferRecords];
    if (static_cast<double>(r.deviceFrame) > frame) continue;  // not heard yet
    const uint64_t into = static_cast<uint64_t>(frame - static_cast<double>(r.deviceFrame)) * kBytesPerFrame;
    s.reported = std::max(s.reported, r.streamStart + std::min<uint64_t>(into, r.bytes));
    return s.reported;
  }
  // Older than every buffer kept (a server that holds seconds): the buffers
  // before the oldest one followed each other.
  if (oldest > 0) {
    const BufferRecord& r = s.records[oldest % kBufferRecords];
    const uint64_t back = static_cast<uint64_t>(static_cast<double>(r.deviceFrame) - frame + 1) * kBytesPerFrame;
    if (r.streamStart > back) s.reported = std::max(s.reported, r.streamStart - back);
  }
  return s.reported;
}

// Position inside the pass that contains `absolute`.
uint64_t passPositionLocked(const Stream& s, uint64_t absolute) {
  uint64_t oldest = s.passCount > kPassStarts ? s.passCount - kPassStarts : 0;
  for (uint64_t i = s.passCount; i-- > oldest;) {
    uint64_t start = s.passStarts[i % kPassStarts];
    if (start <= absolute) return absolute - start;
  }
  return absolute - s.passStarts[oldest % kPassStarts];
}

void pushPassStartLocked(Stream& s, uint64_t absolute) {
  s.passStarts[s.passCount % kPassStarts] = absolute;
  ++s.passCount;
}

bool heardEverythingLocked(Stream& s, int64_t now) {
  return s.finished && audibleLocked(s, now) >= s.handed;
}

// Hands the next `frames` frames of one stream to the mix. Runs on the
// device thread.
void renderStream(Stream& s, int frames, uint64_t deviceFrame) {
  std::lock_guard<std::mutex> decodeLock(s.decodeMutex);
  if (!s.source) return;
  bool restart, loop;
  float volume;
  {
    std::lock_guard<std::mutex> lock(s.stateMutex);
    if (!s.playing || (s.finished && !s.restart)) return;
    restart = s.restart;
    s.restart = false;
    loop = (s.flags & kFlagLoop) != 0;
    volume = s.volume;
  }

  int16_t* pcm = decodeScratch.data();
  int passBreaks[4];  // frame offsets inside this buffer where a pass starts
  int breakCount = 0;
  if (restart) {
    s.source->rewind();
    s.passFrames = 0;
    passBreaks[breakCount++] = 0;
  }
  int n = 0;
  bool ended = false;
  while (n < frames) {
    uint64_t left = s.lengthFrames - s.passFrames;
    if (left == 0) {
      if (!loop || breakCount == 4) {
        ended = !loop;
        break;
      }
      s.source->rewind();
      s.passFrames = 0;
      passBreaks[breakCount++] = n;
      continue;
    }
    int want = static_cast<int>(std::min<uint64_t>(left, frames - n));
    size_t got = s.source->read(pcm + n * 2, want);
    // A source that ends early (damaged data) is padded with silence so the
    // stream keeps the length found by the pre-scan.
    if (static_cast<int>(got) < want)
      memset(pcm + (n + got) * 2, 0, (want - got) * kBytesPerFrame);
    s.passFrames += want;
    n += want;
  }
  if (!ended && s.passFrames == s.lengthFrames && !loop) ended = true;

  int32_t* mix = mixScratch.data();
  for (int i = 0; i < n * 2; ++i) mix[i] += static_cast<int32_t>(pcm[i] * volume);

  std::lock_guard<std::mutex> lock(s.stateMutex);
  const uint64_t start = s.handed;
  for (int b = 0; b < breakCount; ++b)
    pushPassStartLocked(s, start + static_cast<uint64_t>(passBreaks[b]) * kBytesPerFrame);
  if (s.history.size() == kHistoryFrames) {
    uint64_t frame = start / kBytesPerFrame;
    for (int i = 0; i < n; ++i)
      s.history[(frame + i) % kHistoryFrames] = (pcm[i * 2] + pcm[i * 2 + 1]) * (0.5f / 32768.0f);
  }
  const uint32_t bytes = static_cast<uint32_t>(n) * kBytesPerFrame;
  if (bytes > 0) s.records[s.recordCount++ % kBufferRecords] = {deviceFrame, start, bytes};
  s.handed += bytes;
  if (ended) s.finished = true;
}

// The delay until the server's timing (or, where none tells it, for good):
// our own stream queues what it asked the server for; SDL's dummy driver
// plays a buffer from the moment it takes it; a real device still holds
// about one more.
double estimatedDelayFrames(uint32_t bufferFrames) {
  if (output == Output::kPulse) return pulseOutput.queueFrames();
  return (strcmp(driverName, "dummy") == 0 ? 1.0 : 2.0) * bufferFrames;
}

void deviceCallback(void*, Uint8* out, int len) {
  int frames = len / static_cast<int>(kBytesPerFrame);
  if (decodeScratch.size() < static_cast<size_t>(frames) * 2) {
    decodeScratch.resize(frames * 2);
    mixScratch.resize(frames * 2);
  }
  uint64_t deviceFrame;
  {
    std::lock_guard<std::mutex> lock(clockMutex);
    deviceFrame = deviceHanded;
  }
  std::fill(mixScratch.begin(), mixScratch.begin() + frames * 2, 0);
  uint32_t count = streamCount.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < count; ++i) {
    Stream* s = streams[i].load(std::memory_order_acquire);
    if (!s || !s->wanted.load(std::memory_order_acquire)) continue;  // manual ones never are
    renderStream(*s, frames, deviceFrame);
  }
  int16_t* samples = reinterpret_cast<int16_t*>(out);
  for (int i = 0; i < frames * 2; ++i)
    samples[i] = static_cast<int16_t>(std::clamp<int32_t>(mixScratch[i], -32768, 32767));
  if (len % kBytesPerFrame) memset(out + frames * kBytesPerFrame, 0, len % kBytesPerFrame);

  // The buffer counts as handed over now that it is complete.
  const int64_t now = clockNs();
  std::lock_guard<std::mutex> lock(clockMutex);
  if (output == Output::kSdl && static_cast<uint32_t>(frames) != callbackFrames) {
    callbackFrames = static_cast<uint32_t>(frames);
    playbackClock.setEstimatedDelay(estimatedDelayFrames(callbackFrames));
  }
  deviceHanded += static_cast<uint64_t>(frames);
  lastHandedNs = now;
  playbackClock.handed(now, deviceHanded);
}

// Our own stream on a sound server: the mix goes straight into the server's
// buffer; the server's timing says what has been heard.
class PulseClient : public PulseOutput::Client {
 public:
  void fill(int16_t* out, int frames) override {
    deviceCallback(nullptr, reinterpret_cast<Uint8*>(out), frames * static_cast<int>(kBytesPerFrame));
  }
  void heard(int64_t ns, double frames) override {
    std::lock_guard<std::mutex> lock(clockMutex);
    playbackClock.heardAt(ns, static_cast<double>(outputBaseFrame) + frames);
  }
};
PulseClient pulseClient;

// SDL_AUDIODRIVER chooses SDL's driver; unset, or naming PulseAudio, it
// leaves the choice to us.
bool serverWanted() {
  const char* driver = getenv("SDL_AUDIODRIVER");
  return !driver || !*driver || strcmp(driver, "pulseaudio") == 0 || strcmp(driver, "pulse") == 0;
}

bool openSdl() {
  if (!SDL_WasInit(SDL_INIT_AUDIO)) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0) return false;
    audioSubsystemOurs = true;
  }
  SDL_AudioSpec want;
  memset(&want, 0, sizeof want);
  want.freq = static_cast<int>(kOutputRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(deviceFrames);
  want.callback = deviceCallback;
  // No "obtained" spec: SDL converts to the device's format and rate if it
  // must, so the callback always works at the stream rate.
  if (SDL_OpenAudio(&want, nullptr) < 0) {
    if (audioSubsystemOurs) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioSubsystemOurs = false;
    return false;
  }
  if (!SDL_AudioDriverName(driverName, sizeof driverName)) driverName[0] = 0;
  return true;
}

void closeOutput() {
  if (output == Output::kPulse) {
    underrunsBefore += pulseOutput.underruns();
    pulseOutput.close();
  }
  if (output == Output::kSdl) {
    SDL_CloseAudio();
    if (audioSubsystemOurs) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioSubsystemOurs = false;
  }
  output = Output::kNone;
}

// Opens an output and starts it; caller holds deviceMutex. The clock's line
// and the frame count go on from before, so positions stay in order.
bool openOutput() {
  {
    std::lock_guard<std::mutex> clockLock(clockMutex);
    outputBaseFrame = deviceHanded;
    lastHandedNs = clockNs();
    callbackFrames = deviceFrames;
  }
  if (serverWanted()) {
    // The output is set first: the stream's first request may come before
    // open() returns.
    output = Output::kPulse;
    if (pulseOutput.open(deviceFrames, &pulseClient)) {
      snprintf(driverName, sizeof driverName, "pulseaudio");
    } else {
      output = Output::kNone;
    }
  }
  if (output == Output::kNone) {
    output = Output::kSdl;
    if (!openSdl()) {
      output = Output::kNone;
      return false;
    }
  }
  {
    std::lock_guard<std::mutex> clockLock(clockMutex);
    playbackClock.setEstimatedDelay(estimatedDelayFrames(deviceFrames));
  }
  if (output == Output::kSdl) SDL_PauseAudio(0);
  return true;
}

bool outputLost(int64_t now) {
  if (output == Output::kPulse) return pulseOutput.lost();
  std::lock_guard<std::mutex> lock(clockMutex);
  return now - lastHandedNs > kDeviceSilentNs;
}

void keep(uint32_t bufferFrames) {
  std::vector<int16_t> silence(static_cast<size_t>(bufferFrames) * 2);
  bool lost = false;
  int64_t handedUpTo = 0;  // while lost: the clock's time handed so far
  int64_t nextTry = 0;
  while (!keeperStop.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kKeeperSleepMs));
    const int64_t now = clockNs();
    if (!lost) {
      std::lock_guard<std::mutex> lock(deviceMutex);
      if (!outputLost(now)) continue;
      closeOutput();
      fprintf(stderr, "The sound device was lost; the show goes on silently while it is reopened.\n");
      lost = true;
      handedUpTo = now;
      nextTry = now + kReopenEveryNs;
      continue;
    }
    // What a device would have taken by now goes nowhere.
    for (;;) {
      const int64_t frames = std::min<int64_t>((now - handedUpTo) * kOutputRate / 1000000000, bufferFrames);
      if (frames <= 0) break;
      deviceCallback(nullptr, reinterpret_cast<Uint8*>(silence.data()), static_cast<int>(frames * kBytesPerFrame));
      handedUpTo += frames * 1000000000 / kOutputRate;
    }
    if (now < nextTry) continue;
    std::lock_guard<std::mutex> lock(deviceMutex);
    if (openOutput()) {
      fprintf(stderr, "The sound device is back (%s).\n", driverName);
      lost = false;
    } else {
      nextTry = now + kReopenEveryNs;
    }
  }
}

}  // namespace

int64_t clockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t version() { return kContractVersion; }

const char* failureReason() { return failure.c_str(); }

bool init(int device, uint32_t rate) {
  if (device != -1 && device != 1) return failed("no audio device " + std::to_string(device));
  if (rate != kOutputRate)
    return failed("unsupported rate " + std::to_string(rate) + " Hz: the output plays " +
                  std::to_string(kOutputRate) + " Hz only");
  std::lock_guard<std::mutex> lock(deviceMutex);
  if (deviceOpen.load()) return true;
  // Sized for the largest buffer the device asks for: the callback never
  // allocates.
  decodeScratch.assign(deviceFrames * 2, 0);
  mixScratch.assign(deviceFrames * 2, 0);
  {
    // A fresh line for this opening; the frame count goes on, so positions
    // recorded before stay in order.
    std::lock_guard<std::mutex> clockLock(clockMutex);
    playbackClock = PlaybackClock(kOutputRate);
  }
  underrunsBefore = 0;
  // The SDL output is the last one tried: its error is the reason.
  if (!openOutput()) return failed(SDL_GetError());
  deviceOpen.store(true);
  keeperStop.store(false);
  keeper = std::thread(keep, deviceFrames);
  // A fatal error leaves through exit(): the device thread must be stopped
  // before the buffers it works in are destroyed.
  static bool closeAtExit = false;
  if (!closeAtExit) {
    std::atexit(shutdown);
    closeAtExit = true;
  }
  return true;
}

void setDeviceFrames(uint32_t frames) {
  std::lock_guard<std::mutex> lock(deviceMutex);
  deviceFrames = std::clamp<uint32_t>(frames, 64, 16384);
}

void shutdown() {
  std::unique_lock<std::mutex> lock(deviceMutex);
  if (!deviceOpen.load()) return;
  deviceOpen.store(false);
  keeperStop.store(true);
  lock.unlock();  // the keeper may be waiting for it
  if (keeper.joinable()) keeper.join();
  lock.lock();
  closeOutput();
  driverName[0] = 0;
}

DeviceTiming deviceTiming() {
  DeviceTiming timing{};
  std::lock_guard<std::mutex> lock(deviceMutex);
  if (!deviceOpen.load()) return timing;
  memcpy(timing.driver, driverName, sizeof timing.driver);
  std::lock_guard<std::mutex> clockLock(clockMutex);
  timing.bufferFrames = callbackFrames;
  playbackClock.audible(clockNs());  // brings the delay in use up to date
  timing.delayMs = playbackClock.delayFrames() * 1000.0 / kOutputRate;
  timing.delayMeasured = playbackClock.delayMeasured();
  timing.underruns = underrunsBefore + (output == Output::kPulse ? pulseOutput.underruns() : 0);
  return timing;
}

Handle createStream(const void* data, uint64_t offset, uint64_t length, uint32_t flags) {
  if (!data || length == 0 || length > SIZE_MAX) {
    failed("no audio data");
    return 0;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data) + offset;
  std::string why;
  std::unique_ptr<PcmSource> source = openPcmSource(bytes, static_cast<size_t>(length), &why);
  if (!source) {
    failed(why);
    return 0;
  }
  const Handle handle = publish(std::move(source), flags);
  if (handle == 0) failed("too many streams");
  return handle;
}

Handle createManualStream() { return publish(nullptr, 0); }

bool freeStream(Handle handle) {
  Stream* s = lookup(handle);
  if (!s) return false;
  std::lock_guard<std::mutex> decodeLock(s->decodeMutex);
  std::lock_guard<std::mutex> lock(s->stateMutex);
  s->wanted.store(false, std::memory_order_release);
  s->playing = false;
  s->source.reset();
  std::vector<float>().swap(s->history);
  s->freed.store(true, std::memory_order_release);
  return true;
}

uint64_t length(Handle handle) {
  Stream* s = lookup(handle);
  if (!s || s->manual) return kLengthError;
  return s->lengthFrames * kBytesPerFrame;
}

double bytesToSeconds(Handle handle, uint64_t bytes) {
  if (!lookup(handle)) return -1.0;
  return static_cast<double>(bytes) / kBytesPerSecond;
}

bool setAttribute(Handle handle, int attribute, float value) {
  Stream* s = lookup(handle);
  if (!s || attribute != kAttribVolume || std::isnan(value)) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  s->volume = std::clamp(value, 0.0f, 1.0f);
  return true;
}

uint32_t flags(Handle handle, uint32_t newFlags, uint32_t mask) {
  Stream* s = lookup(handle);
  if (!s) return ~0u;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  mask &= kFlagLoop;  // the pre-scan is done at creation and cannot change
  s->flags = (s->flags & ~mask) | (newFlags & mask);
  return s->flags;
}

bool play(Handle handle, bool restart) {
  Stream* s = lookup(handle);
  if (!s) return failed("no such stream");
  // Read before the stream's lock: the device lock comes first in the order.
  const bool device = deviceOpen.load();
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (s->manual) {
    s->playing = true;
    return true;
  }
  if (!device) return failed("no audio device is open");
  if (s->history.size() != kHistoryFrames) s->history.assign(kHistoryFrames, 0.0f);
  // A stream that has played to its end starts again from the beginning.
  if (restart || s->finished) {
    s->restart = true;
    s->finished = false;
  }
  s->playing = true;
  s->wanted.store(true, std::memory_order_release);
  return true;
}

int isActive(Handle handle) {
  Stream* s = lookup(handle);
  if (!s) return kStopped;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (!s->playing) return kStopped;
  if (!s->manual && !s->restart && heardEverythingLocked(*s, clockNs())) return kStopped;
  return kPlaying;
}

uint64_t position(Handle handle) {
  Stream* s = lookup(handle);
  if (!s) return kLengthError;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (s->manual) return s->manualPosition;
  return passPositionLocked(*s, audibleLocked(*s, clockNs()));
}

int getData(Handle handle, float* out, uint32_t request) {
  Stream* s = lookup(handle);
  if (!s || !out || request != kDataFft1024) return -1;
  float samples[kSpectrumSize] = {0};
  {
    std::lock_guard<std::mutex> lock(s->stateMutex);
    if (s->manual) {
      memcpy(out, s->manualSpectrum, sizeof s->manualSpectrum);
      return static_cast<int>(sizeof s->manualSpectrum);
    }
    int64_t now = clockNs();
    if (s->playing && s->history.size() == kHistoryFrames && !heardEverythingLocked(*s, now)) {
      uint64_t end = audibleLocked(*s, now) / kBytesPerFrame;
      for (int i = 0; i < kSpectrumSize; ++i) {
        uint64_t back = static_cast<uint64_t>(kSpectrumSize - i);
        if (back <= end) samples[i] = s->history[(end - back) % kHistoryFrames];
      }
    }
  }
  computeSpectrum(samples, out);
  return kSpectrumBins * static_cast<int>(sizeof(float));
}

bool setManualPosition(Handle handle, uint64_t bytes) {
  Stream* s = lookup(handle);
  if (!s || !s->manual) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  s->manualPosition = bytes - bytes % kBytesPerFrame;
  return true;
}

bool setManualSpectrum(Handle handle, const float* magnitudes512) {
  Stream* s = lookup(handle);
  if (!s || !s->manual || !magnitudes512) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  memcpy(s->manualSpectrum, magnitudes512, sizeof s->manualSpectrum);
  return true;
}

}  // namespace audio
}  // namespace platform
