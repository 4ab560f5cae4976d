#pragma once

#include <cstdint>

struct pa_context;
struct pa_threaded_mainloop;

namespace platform {
namespace audio {

// Asks the PulseAudio server that SDL plays to (PULSE_SERVER or the default
// one) how long this process's playback stream takes to be heard: the
// stream's queue in the server plus the sink's latency. It asks twenty times
// a second on a thread of its own and hands every answer to the listener,
// which decides whether the answer can be tied to a moment. The listener
// is called on that thread and must not call back into the probe.
class ServerLatencyProbe {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    // A question is about to be sent; the returned stamp comes back with
    // its answer.
    virtual uint64_t asking() = 0;
    // The audio the server had been given for the stream when it answered,
    // between sentNs and answeredNs, is heard after `queuedUs` in the
    // stream's queue and `sinkUs` in the sink.
    virtual void answered(uint64_t stamp, int64_t sentNs, int64_t answeredNs, uint64_t queuedUs,
                          uint64_t sinkUs) = 0;
  };

  ServerLatencyProbe() = default;
  ~ServerLatencyProbe() { stop(); }
  ServerLatencyProbe(const ServerLatencyProbe&) = delete;
  ServerLatencyProbe& operator=(const ServerLatencyProbe&) = delete;

  // Connects and starts asking; false when no server answers.
  bool start(Listener* listener);
  // Stops asking and disconnects; the listener is not called afterwards.
  void stop();

 private:
  friend struct ServerLatencyCallbacks;  // libpulse's callbacks, in the source file
  void ask();

  pa_threaded_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  Listener* listener_ = nullptr;
  uint64_t stamp_ = 0;
  int64_t sentNs_ = 0;
  bool pending_ = false;
};

}  // namespace audio
}  // namespace platform
