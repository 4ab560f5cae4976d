#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/audio_output.h"

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

namespace platform {
namespace audio {

// The layer's own playback stream on a server that speaks the PulseAudio
// protocol (PulseAudio itself, or PipeWire's pulse module). Owning the
// stream gives the server's own timing of it: how far its read index has
// moved and how long the sink takes to play what it read, asked a hundred
// times a second. That holds where the server's answer to "list sink
// inputs" does not (PipeWire answers 0 there).
//
// The server's queue may hold up to two seconds, so a server that stalls
// (its protocol thread is not real-time; on a busy machine its requests
// come seconds apart) does not run dry. While the feed plays something the
// stream keeps it that full; while it plays nothing, a fifth of a second,
// so that what starts playing is heard soon. The position stays exact
// because it comes from the server's clock, not from the queue's size.
class PulseOutput : public AudioOutput {
 public:
  PulseOutput() = default;
  ~PulseOutput() override { close(); }
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  // Unset SDL_AUDIODRIVER, or one naming PulseAudio.
  bool wanted() const override;
  // Connects to the server (PULSE_SERVER or the default one, never spawning
  // one; PULSE_SINK chooses the sink) and starts the stream.
  bool open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) override;
  void close() override;
  const char* name() const override { return "pulseaudio"; }
  bool lost() const override { return lost_.load(std::memory_order_acquire); }
  bool timed() const override { return true; }
  double estimatedDelayFrames(uint32_t) const override { return kIdleQueueFrames; }
  uint32_t underruns() const override { return underruns_.load(std::memory_order_relaxed); }
  void discardQueued() override;

  // The deepest queue the stream keeps, and the one while nothing plays.
  static constexpr uint32_t kQueueFrames = 2 * 44100;
  static constexpr uint32_t kIdleQueueFrames = 44100 / 10;

 private:
  friend struct PulseCallbacks;  // libpulse's callbacks, in the source file
  void write(size_t bytes);
  void topUp();
  void askTime();
  void answered(bool success);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* timer_ = nullptr;
  OutputFeed* feed_ = nullptr;
  uint32_t chunkFrames_ = 1024;
  bool priorityRaised_ = false;
  bool asking_ = false;  // a timing question is out
  int64_t askedNs_ = 0;
  uint64_t written_ = 0;    // bytes written since open(); on the stream's thread
  // The server's queue at its latest answer, and written_ then.
  double queuedAtAnswer_ = 0;
  uint64_t writtenAtAnswer_ = 0;
  bool timedOut_ = false;   // the deadline passed while opening
  std::atomic<bool> lost_{false};
  std::atomic<uint32_t> underruns_{0};
};

}  // namespace audio
}  // namespace platform
