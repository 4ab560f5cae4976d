#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

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
// The stream keeps a deep queue in the server (about 0.2 s), so a busy
// machine can delay the stream's thread for that long without a gap; the
// position stays exact because it comes from the server's clock, not from
// the queue's size.
class PulseOutput {
 public:
  class Client {
   public:
    virtual ~Client() = default;
    // Fills `frames` stereo 16-bit frames at 44100 Hz. On the stream's thread.
    virtual void fill(int16_t* out, int frames) = 0;
    // The server says that by `ns` the listener had heard `frames` of the
    // frames filled since open(). On the stream's thread.
    virtual void heard(int64_t ns, double frames) = 0;
  };

  PulseOutput() = default;
  ~PulseOutput() { close(); }
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  // Connects to the server (PULSE_SERVER or the default one, never spawning
  // one) and starts a stream asking for `chunkFrames` at a time; false when
  // no server answers within two seconds.
  bool open(uint32_t chunkFrames, Client* client);
  void close();

  // The server went away or dropped the stream.
  bool lost() const { return lost_.load(std::memory_order_acquire); }
  // Times the server ran out of our audio since open().
  uint32_t underruns() const { return underruns_.load(std::memory_order_relaxed); }
  // Frames the server queues ahead of the listener, as asked for.
  uint32_t queueFrames() const { return queueFrames_; }

 private:
  friend struct PulseCallbacks;  // libpulse's callbacks, in the source file
  void write(size_t bytes);
  void askTime();
  void answered(bool success);

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  pa_time_event* timer_ = nullptr;
  Client* client_ = nullptr;
  uint32_t chunkFrames_ = 1024;
  uint32_t queueFrames_ = 0;
  bool priorityRaised_ = false;
  bool asking_ = false;  // a timing question is out
  int64_t askedNs_ = 0;
  std::atomic<bool> lost_{false};
  std::atomic<uint32_t> underruns_{0};
};

}  // namespace audio
}  // namespace platform
