#include "platform/audio_pulse.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {

constexpr pa_usec_t kConnectTimeoutUs = 2000000;
// How often the server's timing is read between writes.
constexpr pa_usec_t kTimeEveryUs = 10000;
constexpr int64_t kLateAnswerNs = 2000000;
// The queue the server keeps ahead of the listener.
constexpr double kQueueSeconds = 0.2;

// The stream's thread does little work but must not wait behind the drawing
// thread on a busy machine: real-time scheduling where the system grants it
// (root, or a real-time limit), else a better nice value, else as it is.
void raiseThreadPriority() {
  sched_param param{};
  param.sched_priority = 10;
  if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -11);
}

}  // namespace

struct PulseCallbacks {
  static PulseOutput* self(void* user) { return static_cast<PulseOutput*>(user); }

  static void contextState(pa_context* context, void* user) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) self(user)->lost_.store(true);
    pa_threaded_mainloop_signal(self(user)->loop_, 0);
  }

  static void streamState(pa_stream* stream, void* user) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) self(user)->lost_.store(true);
    pa_threaded_mainloop_signal(self(user)->loop_, 0);
  }

  static void deadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user) {
    self(user)->lost_.store(true);
    pa_threaded_mainloop_signal(self(user)->loop_, 0);
  }

  static void writable(pa_stream*, size_t bytes, void* user) { self(user)->write(bytes); }

  static void underflow(pa_stream*, void* user) { self(user)->underruns_.fetch_add(1, std::memory_order_relaxed); }

  static void timer(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* user) {
    PulseOutput* output = self(user);
    output->askTime();
    pa_context_rttime_restart(output->context_, event, pa_rtclock_now() + kTimeEveryUs);
  }

  static void timing(pa_stream*, int success, void* user) { self(user)->answered(success != 0); }
};

bool PulseOutput::open(uint32_t chunkFrames, Client* client) {
  close();
  client_ = client;
  chunkFrames_ = std::max<uint32_t>(chunkFrames, 64);
  lost_.store(false);
  underruns_.store(0);
  asking_ = false;
  priorityRaised_ = false;
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return false;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kestrune");
  if (!context_) {
    close();
    return false;
  }
  pa_context_set_state_callback(context_, &PulseCallbacks::contextState, this);
  pa_threaded_mainloop_lock(loop_);
  bool ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
            pa_threaded_mainloop_start(loop_) >= 0;
  pa_time_event* deadline =
      ok ? pa_context_rttime_new(context_, pa_rtclock_now() + kConnectTimeoutUs, &PulseCallbacks::deadline, this)
         : nullptr;
  while (ok && pa_context_get_state(context_) != PA_CONTEXT_READY) {
    if (lost_.load()) ok = false;
    else pa_threaded_mainloop_wait(loop_);
  }
  if (ok) {
    const pa_sample_spec spec{PA_SAMPLE_S16LE, kOutputRate, 2};
    stream_ = pa_stream_new(context_, "Kestrune", &spec, nullptr);
    ok = stream_ != nullptr;
  }
  if (ok) {
    queueFrames_ = std::max(4 * chunkFrames_, static_cast<uint32_t>(kQueueSeconds * kOutputRate));
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = queueFrames_ * kBytesPerFrame;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = chunkFrames_ * kBytesPerFrame;
    attr.fragsize = static_cast<uint32_t>(-1);
    pa_stream_set_state_callback(stream_, &PulseCallbacks::streamState, this);
    pa_stream_set_write_callback(stream_, &PulseCallbacks::writable, this);
    pa_stream_set_underflow_callback(stream_, &PulseCallbacks::underflow, this);
    ok = pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) == 0;
  }
  while (ok && pa_stream_get_state(stream_) != PA_STREAM_READY) {
    if (lost_.load()) ok = false;
    else pa_threaded_mainloop_wait(loop_);
  }
  if (deadline) pa_threaded_mainloop_get_api(loop_)->time_free(deadline);

  if (ok) timer_ = pa_context_rttime_new(context_, pa_rtclock_now() + kTimeEveryUs, &PulseCallbacks::timer, this);
  pa_threaded_mainloop_unlock(loop_);
  if (!ok) close();
  return ok;
}

void PulseOutput::close() {
  if (!loop_) return;
  pa_threaded_mainloop_stop(loop_);
  if (timer_) pa_threaded_mainloop_get_api(loop_)->time_free(timer_);
  if (stream_) {
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
  }
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
  loop_ = nullptr;
  context_ = nullptr;
  stream_ = nullptr;
  timer_ = nullptr;
  client_ = nullptr;
}

// On the stream's thread: the server has room for `bytes` more. They are
// filled straight into the server's buffer, a chunk at a time, so nothing is
// allocated here.
void PulseOutput::write(size_t bytes) {
  if (!priorityRaised_) {
    raiseThreadPriority();
    priorityRaised_ = true;
  }
  while (bytes >= kBytesPerFrame) {
    size_t size = std::min<size_t>(bytes, chunkFrames_ * kBytesPerFrame);
    void* buffer = nullptr;
    if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer) break;
    size = std::min<size_t>(size, chunkFrames_ * kBytesPerFrame);
    size -= size % kBytesPerFrame;
    if (size == 0) {
      pa_stream_cancel_write(stream_);
      break;
    }
    client_->fill(static_cast<int16_t*>(buffer), static_cast<int>(size / kBytesPerFrame));
    if (pa_stream_write(stream_, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
    bytes -= size;
  }
}

// One question at a time, so an answer belongs to the moment its question
// left. libpulse's own interpolation is not used: it runs on while a fresh
// sink still holds the first buffers, ahead of what is heard.
void PulseOutput::askTime() {
  if (asking_ || !stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  askedNs_ = clockNs();
  if (pa_operation* op = pa_stream_update_timing_info(stream_, &PulseCallbacks::timing, this)) {
    asking_ = true;
    pa_operation_unref(op);
  }
}

// The server read up to its read index when it answered, and the sink holds
// the last sink_usec of that before the listener hears it.
void PulseOutput::answered(bool success) {
  asking_ = false;
  const pa_timing_info* info = success ? pa_stream_get_timing_info(stream_) : nullptr;
  const int64_t now = clockNs();
  // A late answer cannot be placed in time well enough.
  if (!info || info->read_index_corrupt || now - askedNs_ > kLateAnswerNs) return;
  const int64_t at = askedNs_ + (now - askedNs_) / 2;
  const double frames = static_cast<double>(info->read_index) / kBytesPerFrame -
                        static_cast<double>(info->sink_usec) * kOutputRate / 1e6;
  client_->heard(at, frames);
}

}  // namespace audio
}  // namespace platform
