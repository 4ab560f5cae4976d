#include "platform/audio_server.h"

#include <pulse/pulseaudio.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {
constexpr pa_usec_t kAskEveryUs = 50000;
}  // namespace

struct ServerLatencyCallbacks {
  static void state(pa_context*, void* self) {
    pa_threaded_mainloop_signal(static_cast<ServerLatencyProbe*>(self)->loop_, 0);
  }

  static void timer(pa_mainloop_api*, pa_time_event* event, const struct timeval*, void* self) {
    auto* probe = static_cast<ServerLatencyProbe*>(self);
    probe->ask();
    pa_context_rttime_restart(probe->context_, event, pa_rtclock_now() + kAskEveryUs);
  }

  // One call per playback stream of the server, then one with eol set.
  static void sinkInput(pa_context*, const pa_sink_input_info* info, int eol, void* self) {
    auto* probe = static_cast<ServerLatencyProbe*>(self);
    if (eol) {
      probe->pending_ = false;
      return;
    }
    static const std::string ourPid = std::to_string(getpid());
    const char* pid = info ? pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID) : nullptr;
    if (!pid || ourPid != pid || info->corked) return;
    probe->listener_->answered(probe->stamp_, probe->sentNs_, clockNs(), info->buffer_usec, info->sink_usec);
  }
};

bool ServerLatencyProbe::start(Listener* listener) {
  stop();
  listener_ = listener;
  loop_ = pa_threaded_mainloop_new();
  if (!loop_) return false;
  context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Kestrune latency probe");
  if (!context_) {
    stop();
    return false;
  }
  pa_context_set_state_callback(context_, &ServerLatencyCallbacks::state, this);
  pa_threaded_mainloop_lock(loop_);
  bool ok = pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
            pa_threaded_mainloop_start(loop_) >= 0;
  while (ok) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) break;
    if (!PA_CONTEXT_IS_GOOD(state)) ok = false;
    else pa_threaded_mainloop_wait(loop_);
  }
  if (ok) ok = pa_context_rttime_new(context_, pa_rtclock_now(), &ServerLatencyCallbacks::timer, this) != nullptr;
  pa_threaded_mainloop_unlock(loop_);
  if (!ok) stop();
  return ok;
}

void ServerLatencyProbe::stop() {
  if (!loop_) return;
  pa_threaded_mainloop_stop(loop_);
  if (context_) {
    pa_context_disconnect(context_);
    pa_context_unref(context_);
  }
  pa_threaded_mainloop_free(loop_);
  loop_ = nullptr;
  context_ = nullptr;
  listener_ = nullptr;
  pending_ = false;
}

// On the probe's thread. One question at a time: an answer belongs to the
// stamp taken just before its question.
void ServerLatencyProbe::ask() {
  if (pending_ || pa_context_get_state(context_) != PA_CONTEXT_READY) return;
  stamp_ = listener_->asking();
  sentNs_ = clockNs();
  if (pa_operation* op = pa_context_get_sink_input_info_list(context_, &ServerLatencyCallbacks::sinkInput, this)) {
    pending_ = true;
    pa_operation_unref(op);
  }
}

}  // namespace audio
}  // namespace platform
