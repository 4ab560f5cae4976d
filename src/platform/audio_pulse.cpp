#include "platform/audio_pulse.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {

// How often the server's timing is read between writes.
constexpr pa_usec_t kTimeEveryUs = 10000;
constexpr int64_t kLateAnswerNs = 2000000;

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
    self(user)->timedOut_ = true;
    self(user)->lost_.store(true);
    pa_threaded_mainloop_signal(self(user)->loop_, 0);
  }

  static void writable(pa_stream*, size_t bytes, void* user) { self(user)->write(bytes); }

  static void underflow(pa_stream*, void* user) { self(user)->underruns_.fetch_add(1, std::memory_order_relaxed); }

  static void timer(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* user) {
    PulseOutput* output = self(user);
    output->topUp();
    output->askTime();
    pa_context_rttime_restart(output->context_, event, pa_rtclock_now() + kTimeEveryUs);
  }

  static void timing(pa_stream*, int success, void* user) { self(user)->answered(success != 0); }
};

bool PulseOutput::wanted() const {
  const char* driver = getenv("SDL_AUDIODRIVER");
  return !driver || !*driver || strcmp(driver, "pulseaudio") == 0 || strcmp(driver, "pulse") == 0;
}

bool PulseOutput::open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) {
  close();
  const int64_t budgetNs = deadlineNs - clockNs();
  feed_ = feed;
  chunkFrames_ = std::max<uint32_t>(chunkFrames, 64);
  lost_.store(false);
  underruns_.store(0);
  asking_ = false;
  priorityRaised_ = false;
  timedOut_ = false;
  written_ = writtenAtAnswer_ = 0;
  queuedAtAnswer_ = 0;
  const char* server = getenv("PULSE_SERVER");
  const std::string named = server && *server ? std::string("PULSE_SERVER=") + server : "PulseAudio";
  auto fail = [&](const std::string& cause) {
    *why = named + ": " + cause;
    close();
    return false;
  };
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return fail("out of memory");
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kestrune");
  if (!context_) return fail("out of memory");
  pa_context_set_state_callback(context_, &PulseCallbacks::contextState, this);
  pa_threaded_mainloop_lock(loop_);
  std::string cause;
  bool ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
  if (ok && pa_threaded_mainloop_start(loop_) < 0) {
    ok = false;
    cause = "cannot start its thread";
  }
  const int64_t leftUs = std::max<int64_t>((deadlineNs - clockNs()) / 1000, 0);
  pa_time_event* deadline =
      ok ? pa_context_rttime_new(context_, pa_rtclock_now() + static_cast<pa_usec_t>(leftUs), &PulseCallbacks::deadline, this)
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
    // Early requests: the server keeps the whole queue in the stream and
    // asks the sink only for a buffer's latency (with latency adjustment it
    // would split the queue with the sink, without either it would ask the
    // sink for all of it). Playback starts (and starts again after running
    // dry) once a twentieth of a second is there.
    pa_buffer_attr attr;
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = kQueueFrames * kBytesPerFrame;
    attr.prebuf = kOutputRate / 20 * kBytesPerFrame;
    attr.minreq = chunkFrames_ * kBytesPerFrame;
    attr.fragsize = static_cast<uint32_t>(-1);
    pa_stream_set_state_callback(stream_, &PulseCallbacks::streamState, this);
    pa_stream_set_write_callback(stream_, &PulseCallbacks::writable, this);
    pa_stream_set_underflow_callback(stream_, &PulseCallbacks::underflow, this);
    ok = pa_stream_connect_playback(stream_, nullptr, &attr, PA_STREAM_EARLY_REQUESTS, nullptr, nullptr) == 0;
  }
  while (ok && pa_stream_get_state(stream_) != PA_STREAM_READY) {
    if (lost_.load()) ok = false;
    else pa_threaded_mainloop_wait(loop_);
  }
  if (deadline) pa_threaded_mainloop_get_api(loop_)->time_free(deadline);
  if (!ok && cause.empty()) {
    if (timedOut_) {
      cause = noAnswerWithin(budgetNs);
    } else {
      const int error = pa_context_errno(context_);
      cause = error ? pa_strerror(error) : "refused the stream";
      if (!cause.empty()) cause[0] = static_cast<char>(tolower(static_cast<unsigned char>(cause[0])));
    }
  }
  if (ok) timer_ = pa_context_rttime_new(context_, pa_rtclock_now() + kTimeEveryUs, &PulseCallbacks::timer, this);
  pa_threaded_mainloop_unlock(loop_);
  if (!ok) return fail(cause);
  return true;
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
  feed_ = nullptr;
}

// On the stream's thread: the server has room for `bytes` more. They are
// filled straight into the server's buffer, a chunk at a time, so nothing is
// allocated here.
void PulseOutput::write(size_t bytes) {
  if (!priorityRaised_) {
    raiseThreadPriority();
    priorityRaised_ = true;
  }
  // The server asks for all it has room for; the queue is kept at the depth
  // the feed needs now, judged again after every chunk (a stream that has
  // just stopped needs no deep queue of silence after it).
  for (;;) {
    const uint64_t target =
        static_cast<uint64_t>(feed_->playing() ? kQueueFrames : kIdleQueueFrames) * kBytesPerFrame;
    // Queued by the latest answer, and written since (what the server took
    // since is not counted: the queue is kept at least this full).
    const uint64_t queued = static_cast<uint64_t>(queuedAtAnswer_) + (written_ - writtenAtAnswer_);
    bytes = static_cast<size_t>(std::min<uint64_t>(bytes, target > queued ? target - queued : 0));
    if (bytes < kBytesPerFrame) break;
    size_t size = std::min<size_t>(bytes, chunkFrames_ * kBytesPerFrame);
    void* buffer = nullptr;
    if (pa_stream_begin_write(stream_, &buffer, &size) < 0 || !buffer) break;
    size = std::min<size_t>(size, chunkFrames_ * kBytesPerFrame);
    size -= size % kBytesPerFrame;
    if (size == 0) {
      pa_stream_cancel_write(stream_);
      break;
    }
    feed_->fill(static_cast<int16_t*>(buffer), static_cast<int>(size / kBytesPerFrame));
    if (pa_stream_write(stream_, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) break;
    written_ += size;
    bytes -= size;
  }
}

// The server asks only when it has played some of the queue; a queue kept
// below what it asked for (nothing plays yet, or it has just grown) is
// filled up from here too, else a queue under the start threshold would
// wait for good.
void PulseOutput::topUp() {
  if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) return;
  const size_t room = pa_stream_writable_size(stream_);
  if (room != static_cast<size_t>(-1) && room > 0) write(room);
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
  if (!info || info->read_index_corrupt || info->write_index_corrupt) return;
  // What was written and is not yet heard: the queue, then the sink.
  const double queued = static_cast<double>(info->write_index - info->read_index);
  queuedAtAnswer_ = std::max(queued, 0.0);
  writtenAtAnswer_ = written_;
  // A late answer cannot be placed in time well enough.
  if (now - askedNs_ > kLateAnswerNs) return;
  const int64_t at = askedNs_ + (now - askedNs_) / 2;
  const double frames = (static_cast<double>(written_) - queued) / kBytesPerFrame -
                        static_cast<double>(info->sink_usec) * kOutputRate / 1e6;
  feed_->heard(at, frames);
}

// What is queued goes: the server plays what comes next at once. The
// layer's count of what was heard follows, as the server's write index
// moves back to its read index.
void PulseOutput::discardQueued() {
  if (!loop_ || !stream_) return;
  pa_threaded_mainloop_lock(loop_);
  if (pa_stream_get_state(stream_) == PA_STREAM_READY) {
    if (pa_operation* op = pa_stream_flush(stream_, nullptr, nullptr)) pa_operation_unref(op);
    queuedAtAnswer_ = 0;
    writtenAtAnswer_ = written_;
  }
  pa_threaded_mainloop_unlock(loop_);
}

}  // namespace audio
}  // namespace platform
