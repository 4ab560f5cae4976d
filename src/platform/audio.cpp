#include "platform/audio.h"

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
#include <system_error>
#include <thread>
#include <vector>

#include "platform/audio_clock.h"
#include "platform/audio_decoder.h"
#include "platform/audio_fft.h"
#include "platform/audio_output.h"
#include "platform/audio_silent.h"

namespace platform {
namespace audio {

namespace {

constexpr uint32_t kMaxStreams = 4096;
// Audible samples kept for the spectrum: more than the deepest device queue,
// since a stream is decoded that far ahead of what is heard.
constexpr uint64_t kHistoryFrames = 1 << 17;
constexpr int kPassStarts = 64;                // recent pass starts kept for positions
constexpr int kBufferRecords = 512;            // recent device buffers kept per stream
// A device that has not asked for audio for this long is taken as lost.
constexpr int64_t kDeviceSilentNs = 1000000000;
// While it is lost, reopening is tried this often.
constexpr int64_t kReopenEveryNs = 1000000000;
constexpr int kKeeperSleepMs = 20;
// Each attempt to open a device gets this long, and all of them together
// the second figure: a start never waits longer on sound.
constexpr int64_t kAttemptNs = 2000000000;
constexpr int64_t kAllAttemptsNs = 2500000000;
// A device whose clock the layer cannot read must take audio at the pace it
// plays it. One that takes more than this, over the probe after opening or
// over any stretch the keeper watches, plays nothing the listener hears (ALSA's
// null device): the wall clock stands in. The slack covers a device that
// fills its own buffer at the start.
constexpr int64_t kProbeNs = 100000000;
constexpr int64_t kPaceWindowNs = 1000000000;
constexpr double kFastPace = 1.5;
constexpr double kPaceSlackFrames = 16384;

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

Handle handleOf(uint32_t slot, uint32_t generation) { return (generation << 16) | (slot + 1); }

// The absolute byte the listener has reached, given the device frame heard
// by now; caller holds stateMutex.
uint64_t audibleLocked(Stream& s, double frame) {
  if (s.recordCount == 0) return s.reported;
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

// Position inside the pass that contains `absolute`. Passes older than the
// ones kept followed each other whole (a looping stream decoded a deep queue
// ahead of the listener).
uint64_t passPositionLocked(const Stream& s, uint64_t absolute) {
  uint64_t oldest = s.passCount > kPassStarts ? s.passCount - kPassStarts : 0;
  for (uint64_t i = s.passCount; i-- > oldest;) {
    uint64_t start = s.passStarts[i % kPassStarts];
    if (start <= absolute) return absolute - start;
  }
  const uint64_t passBytes = s.lengthFrames * kBytesPerFrame;
  if (passBytes == 0) return 0;
  const uint64_t back = (s.passStarts[oldest % kPassStarts] - absolute) % passBytes;
  return back == 0 ? 0 : passBytes - back;
}

void pushPassStartLocked(Stream& s, uint64_t absolute) {
  s.passStarts[s.passCount % kPassStarts] = absolute;
  ++s.passCount;
}

bool heardEverythingLocked(Stream& s, double frame) { return s.finished && audibleLocked(s, frame) >= s.handed; }

// The layer: the stream table, the mix that every output pulls, the clock of
// what is heard, and the output that plays (one of the device back-ends
// tried in turn, or the silent one), watched by a keeper thread.
//
// Locks, always taken in this order (never the other way round):
//   deviceMutex_ -> the output's own lock (SDL's audio lock or libpulse's
//   main loop lock: fill() runs under it) -> createMutex_ -> a stream's
//   decodeMutex -> its stateMutex -> clockMutex_.
// clockMutex_ is a leaf: nothing else is taken while it is held.
//
// The scratch buffers of fill() belong to the thread of the open output.
// Only one output is open at a time, and an output is closed (its thread
// stopped) before another opens, so fill() never runs on two threads at
// once; the keeper never fills: while the device is lost the silent output
// does, on its own thread. The scratch is sized under deviceMutex_ before an
// output opens, and grows only inside fill().
class AudioLayer : public OutputFeed {
 public:
  AudioLayer() : outputs_(makeDeviceOutputs()) {}

  bool init();
  void shutdown();
  void setDeviceFrames(uint32_t frames);
  void setMuted(bool muted);
  DeviceTiming timing();
  const char* failureReason() const { return failure_.c_str(); }
  bool failed(const std::string& reason) {
    failure_ = reason;
    return false;
  }
  bool deviceOpen() const { return deviceOpen_.load(); }

  Handle publish(std::unique_ptr<PcmSource> source, uint32_t flags);
  Stream* lookup(Handle handle) const;
  // The device frame the listener has reached.
  double audibleDeviceFrame(int64_t now) {
    std::lock_guard<std::mutex> lock(clockMutex_);
    return playbackClock_.audible(now);
  }

  // A stream stopped: when none plays any more, what the device has queued
  // goes, so that the stop is heard at once.
  void stopped();

  void fill(int16_t* out, int frames) override;
  void heard(int64_t ns, double frames) override;
  bool playing() const override { return sounding_.load(std::memory_order_relaxed); }

 private:
  bool openOutput(int64_t startNs, std::string* why);
  bool openDevice(int64_t startNs, std::string* why);
  void standIn(int64_t fromNs);
  void closeOutput();
  bool outputLost(int64_t now);
  bool runsFast(int64_t sinceNs, uint64_t sinceFrame, int64_t now);
  // The silent output in place of a device that runs too fast, for good.
  void leaveRunawayDevice();
  void keep();
  void renderStream(Stream& s, int frames, uint64_t deviceFrame);

  // Streams. Slots are never deleted, so fill() walks them without a lock.
  std::atomic<Stream*> streams_[kMaxStreams] = {};
  std::atomic<uint32_t> streamCount_{0};
  std::mutex createMutex_;

  // The outputs. Changed by init, shutdown and the keeper, under deviceMutex_.
  std::mutex deviceMutex_;
  std::atomic<bool> deviceOpen_{false};
  uint32_t deviceFrames_ = 1024;  // one device buffer: about 23.2 ms
  bool muted_ = false;            // the silent output only
  bool fastFallback_ = false;     // the device ran too fast: no reopening
  std::vector<std::unique_ptr<AudioOutput>> outputs_;
  SilentOutput silent_;
  std::atomic<AudioOutput*> output_{nullptr};
  uint32_t underrunsBefore_ = 0;  // of the outputs closed since init()

  // Watches the open output; when it is lost, the silent output stands in
  // for it (so positions and the picture go on) while it is reopened.
  std::thread keeper_;
  std::atomic<bool> keeperStop_{false};

  // The device's frames at the stream rate, counted over every time it was
  // open, and the clock that turns them into what is heard.
  std::mutex clockMutex_;
  PlaybackClock playbackClock_{kOutputRate};
  uint64_t deviceHanded_ = 0;    // frames handed to the device
  int64_t lastHandedNs_ = 0;
  uint32_t callbackFrames_ = 0;  // size of the latest device buffer
  uint64_t outputBaseFrame_ = 0; // deviceHanded_ when the output was opened

  // What the latest failed call of the main thread ran into.
  std::string failure_;

  // fill()'s scratch (see above), and whether its latest mix held a stream.
  std::vector<int16_t> decodeScratch_;
  std::vector<int32_t> mixScratch_;
  std::atomic<bool> sounding_{false};
};

Stream* AudioLayer::lookup(Handle handle) const {
  uint32_t slot = (handle & 0xFFFF) - 1;
  if ((handle & 0xFFFF) == 0 || slot >= streamCount_.load(std::memory_order_acquire)) return nullptr;
  Stream* s = streams_[slot].load(std::memory_order_acquire);
  if (!s || s->freed.load(std::memory_order_acquire) ||
      s->generation.load(std::memory_order_acquire) != handle >> 16)
    return nullptr;
  return s;
}

// Puts a new stream into a freed slot or a fresh one; 0 when all are taken.
Handle AudioLayer::publish(std::unique_ptr<PcmSource> source, uint32_t flags) {
  std::lock_guard<std::mutex> lock(createMutex_);
  uint32_t count = streamCount_.load(std::memory_order_relaxed);
  uint32_t slot = 0;
  while (slot < count && !streams_[slot].load(std::memory_order_relaxed)->freed.load()) ++slot;
  if (slot == kMaxStreams) return 0;
  Stream* s = slot < count ? streams_[slot].load(std::memory_order_relaxed) : new Stream();
  {
    // A reused slot starts over; fill() skips it meanwhile (it is not
    // wanted) and the locks order this against its last visit.
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
    streams_[slot].store(s, std::memory_order_release);
    streamCount_.store(count + 1, std::memory_order_release);
  }
  return handleOf(slot, s->generation.load());
}

// Hands the next `frames` frames of one stream to the mix. On the output's
// thread.
void AudioLayer::renderStream(Stream& s, int frames, uint64_t deviceFrame) {
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

  int16_t* pcm = decodeScratch_.data();
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

  int32_t* mix = mixScratch_.data();
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
  if (bytes > 0) {
    s.records[s.recordCount++ % kBufferRecords] = {deviceFrame, start, bytes};
    sounding_.store(true, std::memory_order_relaxed);
  }
  s.handed += bytes;
  if (ended) s.finished = true;
}

void AudioLayer::fill(int16_t* out, int frames) {
  if (decodeScratch_.size() < static_cast<size_t>(frames) * 2) {
    decodeScratch_.resize(frames * 2);
    mixScratch_.resize(frames * 2);
  }
  uint64_t deviceFrame;
  {
    std::lock_guard<std::mutex> lock(clockMutex_);
    deviceFrame = deviceHanded_;
  }
  std::fill(mixScratch_.begin(), mixScratch_.begin() + frames * 2, 0);
  sounding_.store(false, std::memory_order_relaxed);
  uint32_t count = streamCount_.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < count; ++i) {
    Stream* s = streams_[i].load(std::memory_order_acquire);
    if (!s || !s->wanted.load(std::memory_order_acquire)) continue;  // manual ones never are
    renderStream(*s, frames, deviceFrame);
  }
  for (int i = 0; i < frames * 2; ++i)
    out[i] = static_cast<int16_t>(std::clamp<int32_t>(mixScratch_[i], -32768, 32767));

  // The buffer counts as handed over now that it is complete.
  const int64_t now = clockNs();
  AudioOutput* output = output_.load(std::memory_order_acquire);
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (static_cast<uint32_t>(frames) != callbackFrames_) {
    callbackFrames_ = static_cast<uint32_t>(frames);
    if (output && !output->timed()) playbackClock_.setEstimatedDelay(output->estimatedDelayFrames(callbackFrames_));
  }
  deviceHanded_ += static_cast<uint64_t>(frames);
  lastHandedNs_ = now;
  if (output && output->timed()) playbackClock_.setHanded(deviceHanded_);
  else playbackClock_.handed(now, deviceHanded_);
}

void AudioLayer::heard(int64_t ns, double frames) {
  std::lock_guard<std::mutex> lock(clockMutex_);
  playbackClock_.follow(ns, static_cast<double>(outputBaseFrame_) + frames);
}

// Whether the device took more than it can have played between `sinceNs`
// (when it had been handed `sinceFrame`) and now.
bool AudioLayer::runsFast(int64_t sinceNs, uint64_t sinceFrame, int64_t now) {
  uint64_t handed;
  {
    std::lock_guard<std::mutex> lock(clockMutex_);
    handed = deviceHanded_;
  }
  const double playable = (now - sinceNs) * 1e-9 * kOutputRate;
  return static_cast<double>(handed - sinceFrame) > kFastPace * playable + kPaceSlackFrames;
}

// Tries the device back-ends in turn; caller holds deviceMutex_. The
// clock's line and the frame count go on from before, so positions stay in
// order.
bool AudioLayer::openDevice(int64_t startNs, std::string* why) {
  std::string causes;
  for (auto& output : outputs_) {
    if (!output->wanted()) continue;
    {
      std::lock_guard<std::mutex> clockLock(clockMutex_);
      outputBaseFrame_ = deviceHanded_;
      lastHandedNs_ = clockNs();
      callbackFrames_ = deviceFrames_;
      playbackClock_.setEstimatedDelay(output->estimatedDelayFrames(deviceFrames_));
    }
    const int64_t deadline = std::min(clockNs() + kAttemptNs, startNs + kAllAttemptsNs);
    // Set first: the output's first request may come before open() returns.
    output_.store(output.get(), std::memory_order_release);
    std::string cause;
    if (output->open(deviceFrames_, deadline, this, &cause)) {
      std::lock_guard<std::mutex> clockLock(clockMutex_);
      playbackClock_.setEstimatedDelay(output->estimatedDelayFrames(deviceFrames_));
      return true;
    }
    output_.store(nullptr, std::memory_order_release);
    causes += (causes.empty() ? "" : "; ") + cause;
  }
  *why = causes.empty() ? "no sound output is chosen (SDL_AUDIODRIVER)" : causes;
  return false;
}

// The silent output in place of a device, from `fromNs` on.
void AudioLayer::standIn(int64_t fromNs) {
  {
    std::lock_guard<std::mutex> clockLock(clockMutex_);
    outputBaseFrame_ = deviceHanded_;
    playbackClock_.setEstimatedDelay(0.0);
  }
  silent_.takeFrom(fromNs);
  output_.store(&silent_, std::memory_order_release);
  std::string why;
  if (!silent_.open(deviceFrames_, 0, this, &why)) {
    output_.store(nullptr, std::memory_order_release);
    fprintf(stderr, "%s\n", why.c_str());
  }
}

bool AudioLayer::openOutput(int64_t startNs, std::string* why) {
  if (muted_) {
    standIn(clockNs());
    if (output_.load()) return true;
    *why = "the silent output cannot start";
    return false;
  }
  if (!openDevice(startNs, why)) return false;
  AudioOutput* output = output_.load();
  if (output->timed()) return true;
  // A device without a clock of its own: it must take the mix at the pace
  // it plays it.
  uint64_t base;
  {
    std::lock_guard<std::mutex> clockLock(clockMutex_);
    base = deviceHanded_;
  }
  const int64_t probeStart = clockNs();
  std::this_thread::sleep_for(std::chrono::nanoseconds(kProbeNs));
  if (!runsFast(probeStart, base, clockNs())) return true;
  leaveRunawayDevice();
  return output_.load() != nullptr;
}

void AudioLayer::leaveRunawayDevice() {
  fprintf(stderr,
          "The sound device (%s) takes audio faster than it can play it; the show goes on silent, on the "
          "clock.\n",
          output_.load()->name());
  closeOutput();
  fastFallback_ = true;
  {
    // The clock followed the runaway device: a fresh line for the wall clock.
    std::lock_guard<std::mutex> clockLock(clockMutex_);
    playbackClock_ = PlaybackClock(kOutputRate);
  }
  standIn(clockNs());
}

void AudioLayer::closeOutput() {
  AudioOutput* output = output_.load();
  if (!output) return;
  underrunsBefore_ += output->underruns();
  output->close();
  output_.store(nullptr, std::memory_order_release);
}

bool AudioLayer::outputLost(int64_t now) {
  AudioOutput* output = output_.load();
  if (!output) return true;
  if (output->lost()) return true;
  if (output->timed()) return false;
  std::lock_guard<std::mutex> lock(clockMutex_);
  return now - lastHandedNs_ > kDeviceSilentNs;
}

void AudioLayer::keep() {
  int64_t nextTry = 0;
  int64_t paceNs = clockNs();
  uint64_t paceFrame = 0;
  {
    std::lock_guard<std::mutex> lock(clockMutex_);
    paceFrame = deviceHanded_;
  }
  while (!keeperStop_.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kKeeperSleepMs));
    const int64_t now = clockNs();
    std::lock_guard<std::mutex> lock(deviceMutex_);
    if (keeperStop_.load()) break;
    const bool standingIn = output_.load() == &silent_ || output_.load() == nullptr;
    if (!standingIn) {
      AudioOutput* output = output_.load();
      if (outputLost(now)) {
        int64_t lastNs;
        {
          std::lock_guard<std::mutex> clockLock(clockMutex_);
          lastNs = lastHandedNs_;
        }
        closeOutput();
        fprintf(stderr, "The sound device was lost; the show goes on silently while it is reopened.\n");
        standIn(lastNs);
        nextTry = now + kReopenEveryNs;
        continue;
      }
      if (!output->timed() && now - paceNs >= kPaceWindowNs) {
        if (runsFast(paceNs, paceFrame, now)) leaveRunawayDevice();
        paceNs = now;
        std::lock_guard<std::mutex> clockLock(clockMutex_);
        paceFrame = deviceHanded_;
      }
      continue;
    }
    if (muted_ || fastFallback_ || now < nextTry) continue;
    // Meanwhile positions wait; the silent output takes up what a device
    // would have taken since.
    int64_t lastNs;
    closeOutput();
    {
      std::lock_guard<std::mutex> clockLock(clockMutex_);
      lastNs = lastHandedNs_;
    }
    std::string why;
    if (openDevice(clockNs(), &why)) {
      fprintf(stderr, "The sound device is back (%s).\n", output_.load()->name());
      paceNs = clockNs();
      std::lock_guard<std::mutex> clockLock(clockMutex_);
      paceFrame = deviceHanded_;
    } else {
      standIn(lastNs);
      nextTry = clockNs() + kReopenEveryNs;
    }
  }
}

bool AudioLayer::init() {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  if (deviceOpen_.load()) return true;
  try {
    // Sized for the largest buffer the device asks for: fill() does not
    // allocate.
    decodeScratch_.assign(deviceFrames_ * 2, 0);
    mixScratch_.assign(deviceFrames_ * 2, 0);
  } catch (const std::bad_alloc&) {
    return failed("out of memory");
  }
  {
    // A fresh line for this opening; the frame count goes on, so positions
    // recorded before stay in order.
    std::lock_guard<std::mutex> clockLock(clockMutex_);
    playbackClock_ = PlaybackClock(kOutputRate);
  }
  underrunsBefore_ = 0;
  fastFallback_ = false;
  std::string why;
  if (!openOutput(clockNs(), &why)) {
    if (!muted_) why += " (--mute plays the show without sound)";
    return failed(why);
  }
  keeperStop_.store(false);
  try {
    keeper_ = std::thread(&AudioLayer::keep, this);
  } catch (const std::system_error& e) {
    closeOutput();
    return failed(std::string("cannot start the sound keeper's thread (") + e.what() + ")");
  }
  deviceOpen_.store(true);
  return true;
}

void AudioLayer::stopped() {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  const uint32_t count = streamCount_.load(std::memory_order_acquire);
  for (uint32_t i = 0; i < count; ++i) {
    Stream* s = streams_[i].load(std::memory_order_acquire);
    if (s && s->wanted.load(std::memory_order_acquire)) return;
  }
  if (AudioOutput* output = output_.load()) output->discardQueued();
}

void AudioLayer::setDeviceFrames(uint32_t frames) {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  deviceFrames_ = std::clamp<uint32_t>(frames, 64, 16384);
}

void AudioLayer::setMuted(bool muted) {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  muted_ = muted;
}

void AudioLayer::shutdown() {
  std::unique_lock<std::mutex> lock(deviceMutex_);
  if (!deviceOpen_.load()) return;
  deviceOpen_.store(false);
  keeperStop_.store(true);
  lock.unlock();  // the keeper may be waiting for it
  if (keeper_.joinable()) keeper_.join();
  lock.lock();
  closeOutput();
}

DeviceTiming AudioLayer::timing() {
  DeviceTiming timing{};
  std::lock_guard<std::mutex> lock(deviceMutex_);
  AudioOutput* output = output_.load();
  if (!deviceOpen_.load() || !output) return timing;
  snprintf(timing.driver, sizeof timing.driver, "%s", output->name());
  timing.underruns = underrunsBefore_ + output->underruns();
  std::lock_guard<std::mutex> clockLock(clockMutex_);
  // A timed output fills what its queue lacks; it asks a buffer at a time.
  timing.bufferFrames = output->timed() ? deviceFrames_ : callbackFrames_;
  playbackClock_.audible(clockNs());  // brings the delay in use up to date
  // A timed output's queue is what it holds beyond what is heard.
  const double delayFrames = output->timed() ? static_cast<double>(deviceHanded_) - playbackClock_.heardLine(clockNs())
                                             : playbackClock_.delayFrames();
  timing.delayMs = delayFrames * 1000.0 / kOutputRate;
  timing.delayMeasured = playbackClock_.delayMeasured();
  return timing;
}

// One layer for the process, never destroyed: the output's thread may run
// until the process's own exit, which closes it (see init()).
AudioLayer& layer() {
  static AudioLayer* instance = new AudioLayer();
  return *instance;
}

}  // namespace

int64_t clockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t version() { return kContractVersion; }

const char* failureReason() { return layer().failureReason(); }

bool init(int device, uint32_t rate) {
  AudioLayer& audio = layer();
  if (device != -1 && device != 1) return audio.failed("no audio device " + std::to_string(device));
  if (rate != kOutputRate)
    return audio.failed("unsupported rate " + std::to_string(rate) + " Hz: the output plays " +
                        std::to_string(kOutputRate) + " Hz only");
  if (!audio.init()) return false;
  // A fatal error leaves through exit(): the device thread must be stopped
  // before the buffers it works in are destroyed.
  static bool closeAtExit = false;
  if (!closeAtExit) {
    std::atexit(shutdown);
    closeAtExit = true;
  }
  return true;
}

void setDeviceFrames(uint32_t frames) { layer().setDeviceFrames(frames); }

void setMuted(bool muted) { layer().setMuted(muted); }

void shutdown() { layer().shutdown(); }

DeviceTiming deviceTiming() { return layer().timing(); }

Handle createStream(const void* data, uint64_t offset, uint64_t length, uint32_t flags) {
  AudioLayer& audio = layer();
  if (!data || length == 0 || length > SIZE_MAX) {
    audio.failed("no audio data");
    return 0;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data) + offset;
  std::string why;
  try {
    std::unique_ptr<PcmSource> source = openPcmSource(bytes, static_cast<size_t>(length), &why);
    if (!source) {
      audio.failed(why);
      return 0;
    }
    const Handle handle = audio.publish(std::move(source), flags);
    if (handle == 0) audio.failed("too many streams");
    return handle;
  } catch (const std::bad_alloc&) {
    audio.failed("out of memory");
    return 0;
  }
}

Handle createManualStream() {
  try {
    return layer().publish(nullptr, 0);
  } catch (const std::bad_alloc&) {
    layer().failed("out of memory");
    return 0;
  }
}

bool freeStream(Handle handle) {
  AudioLayer& audio = layer();
  Stream* s = audio.lookup(handle);
  if (!s) return false;
  bool wasWanted;
  {
    std::lock_guard<std::mutex> decodeLock(s->decodeMutex);
    std::lock_guard<std::mutex> lock(s->stateMutex);
    wasWanted = s->wanted.exchange(false, std::memory_order_acq_rel);
    s->playing = false;
    s->source.reset();
    std::vector<float>().swap(s->history);
    s->freed.store(true, std::memory_order_release);
  }
  if (wasWanted) audio.stopped();
  return true;
}

uint64_t length(Handle handle) {
  Stream* s = layer().lookup(handle);
  if (!s || s->manual) return kLengthError;
  return s->lengthFrames * kBytesPerFrame;
}

double bytesToSeconds(Handle handle, uint64_t bytes) {
  if (!layer().lookup(handle)) return -1.0;
  return static_cast<double>(bytes) / kBytesPerSecond;
}

bool setAttribute(Handle handle, int attribute, float value) {
  Stream* s = layer().lookup(handle);
  if (!s || attribute != kAttribVolume || std::isnan(value)) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  s->volume = std::clamp(value, 0.0f, 1.0f);
  return true;
}

uint32_t flags(Handle handle, uint32_t newFlags, uint32_t mask) {
  Stream* s = layer().lookup(handle);
  if (!s) return ~0u;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  mask &= kFlagLoop;  // the pre-scan is done at creation and cannot change
  s->flags = (s->flags & ~mask) | (newFlags & mask);
  return s->flags;
}

bool play(Handle handle, bool restart) {
  AudioLayer& audio = layer();
  Stream* s = audio.lookup(handle);
  if (!s) return audio.failed("no such stream");
  // Read before the stream's lock: the device lock comes first in the order.
  const bool device = audio.deviceOpen();
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (s->manual) {
    s->playing = true;
    return true;
  }
  if (!device) return audio.failed("no audio device is open");
  try {
    if (s->history.size() != kHistoryFrames) s->history.assign(kHistoryFrames, 0.0f);
  } catch (const std::bad_alloc&) {
    return audio.failed("out of memory");
  }
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
  AudioLayer& audio = layer();
  Stream* s = audio.lookup(handle);
  if (!s) return kStopped;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (!s->playing) return kStopped;
  if (!s->manual && !s->restart && heardEverythingLocked(*s, audio.audibleDeviceFrame(clockNs()))) return kStopped;
  return kPlaying;
}

uint64_t position(Handle handle) {
  AudioLayer& audio = layer();
  Stream* s = audio.lookup(handle);
  if (!s) return kLengthError;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  if (s->manual) return s->manualPosition;
  return passPositionLocked(*s, audibleLocked(*s, audio.audibleDeviceFrame(clockNs())));
}

int getData(Handle handle, float* out, uint32_t request) {
  AudioLayer& audio = layer();
  Stream* s = audio.lookup(handle);
  if (!s || !out || request != kDataFft1024) return -1;
  float samples[kSpectrumSize] = {0};
  {
    std::lock_guard<std::mutex> lock(s->stateMutex);
    if (s->manual) {
      memcpy(out, s->manualSpectrum, sizeof s->manualSpectrum);
      return static_cast<int>(sizeof s->manualSpectrum);
    }
    const double frame = audio.audibleDeviceFrame(clockNs());
    if (s->playing && s->history.size() == kHistoryFrames && !heardEverythingLocked(*s, frame)) {
      uint64_t end = audibleLocked(*s, frame) / kBytesPerFrame;
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
  Stream* s = layer().lookup(handle);
  if (!s || !s->manual) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  s->manualPosition = bytes - bytes % kBytesPerFrame;
  return true;
}

bool setManualSpectrum(Handle handle, const float* magnitudes512) {
  Stream* s = layer().lookup(handle);
  if (!s || !s->manual || !magnitudes512) return false;
  std::lock_guard<std::mutex> lock(s->stateMutex);
  memcpy(s->manualSpectrum, magnitudes512, sizeof s->manualSpectrum);
  return true;
}

}  // namespace audio
}  // namespace platform
