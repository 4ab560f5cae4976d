#include "platform/audio_sdl.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/audio.h"

namespace platform {
namespace audio {

namespace {

// SDL keeps per-thread state (its error text) and frees it only for threads
// it started itself; the opening runs on a thread of ours, so it hands that
// state back before it ends. SDL 1.2's interface runs over SDL 2 here.
void releaseSdlThreadState() {
  void* sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (sdl2 == nullptr) return;
  using Cleanup = void (*)();
  if (auto cleanup = reinterpret_cast<Cleanup>(dlsym(sdl2, "SDL_TLSCleanup"))) cleanup();
  dlclose(sdl2);
}

// ALSA reports every step of a failed opening on standard error, eight lines
// where one cause does. Its error handler is process-wide; SDL loads the same
// library, so setting it here quiets SDL's use of it too.
extern "C" void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

void quietAlsaMessages() {
  const char* wanted = getenv("KESTRUNE_ALSA_MESSAGES");
  if (wanted && *wanted) return;
  static void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (!library) return;
  using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
  using SetHandler = int (*)(Handler);
  if (auto set = reinterpret_cast<SetHandler>(dlsym(library, "snd_lib_error_set_handler"))) set(&quietAlsa);
}

bool pulseNamed(const char* driver) {
  return driver && (strcmp(driver, "pulseaudio") == 0 || strcmp(driver, "pulse") == 0);
}

// How messages name a driver.
std::string attemptName(const char* driver) {
  if (strcmp(driver, "alsa") == 0) return "ALSA";
  return std::string("SDL driver ") + driver;
}

// SDL's words without a lead that repeats the driver's name.
std::string sdlCause(std::string error, const char* driver) {
  const std::string lead = attemptName(driver) + ": ";
  if (error.compare(0, lead.size(), lead) == 0) error.erase(0, lead.size());
  if (error.empty()) error = "no reason given";
  error[0] = static_cast<char>(tolower(static_cast<unsigned char>(error[0])));
  return error;
}

}  // namespace

struct SdlOutput::Attempt {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool abandoned = false;
  bool ok = false;
  bool subsystemOurs = false;
  std::string error;
};

bool SdlOutput::wanted() const { return !pulseNamed(getenv("SDL_AUDIODRIVER")); }

bool SdlOutput::open(uint32_t chunkFrames, int64_t deadlineNs, OutputFeed* feed, std::string* why) {
  close();
  const char* named = getenv("SDL_AUDIODRIVER");
  const std::string driver = named && *named ? named : "alsa";
  const auto deadline = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadlineNs));
  if (hung_) {
    // An opening that did not come back in time holds SDL's audio until it
    // does.
    std::unique_lock<std::mutex> lock(hung_->mutex);
    if (!hung_->done.wait_until(lock, deadline, [&] { return hung_->finished; })) {
      *why = attemptName(driver.c_str()) + ": an earlier opening never came back";
      return false;
    }
    lock.unlock();
    hung_.reset();
  }
  feed_ = feed;
  if (driver == "alsa") quietAlsaMessages();
  // SDL reads its driver from the environment when its audio starts.
  const bool chosen = named && *named;
  if (!chosen) setenv("SDL_AUDIODRIVER", driver.c_str(), 1);

  SDL_AudioSpec want;
  memset(&want, 0, sizeof want);
  want.freq = static_cast<int>(kOutputRate);
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(chunkFrames);
  want.callback = &SdlOutput::callback;
  want.userdata = this;

  const int64_t budgetNs = deadlineNs - clockNs();
  auto attempt = std::make_shared<Attempt>();
  try {
    std::thread([attempt, want]() mutable {
      bool ours = false;
      bool ok = true;
      if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        ours = ok;
      }
      // No "obtained" spec: SDL converts to the device's format and rate if
      // it must, so the callback always works at the stream rate.
      if (ok) ok = SDL_OpenAudio(&want, nullptr) == 0;
      const std::string error = ok ? "" : SDL_GetError();
      if (!ok && ours) SDL_QuitSubSystem(SDL_INIT_AUDIO);
      std::lock_guard<std::mutex> lock(attempt->mutex);
      if (attempt->abandoned && ok) {
        // Too late: the layer went on without it.
        SDL_CloseAudio();
        if (ours) SDL_QuitSubSystem(SDL_INIT_AUDIO);
      }
      attempt->ok = ok;
      attempt->subsystemOurs = ours;
      attempt->error = error;
      attempt->finished = true;
      attempt->done.notify_all();
      releaseSdlThreadState();
    }).detach();
  } catch (const std::system_error& e) {
    if (!chosen) unsetenv("SDL_AUDIODRIVER");
    *why = attemptName(driver.c_str()) + ": cannot start a thread (" + e.what() + ")";
    return false;
  }

  std::unique_lock<std::mutex> lock(attempt->mutex);
  attempt->done.wait_until(lock, deadline, [&] { return attempt->finished; });
  if (!chosen) unsetenv("SDL_AUDIODRIVER");
  if (!attempt->finished) {
    attempt->abandoned = true;
    hung_ = attempt;
    *why = attemptName(driver.c_str()) + ": " + noAnswerWithin(budgetNs);
    feed_ = nullptr;
    return false;
  }
  if (!attempt->ok) {
    *why = attemptName(driver.c_str()) + ": " + sdlCause(attempt->error, driver.c_str());
    return false;
  }
  subsystemOurs_ = attempt->subsystemOurs;
  open_ = true;
  if (!SDL_AudioDriverName(driver_, sizeof driver_)) snprintf(driver_, sizeof driver_, "%s", driver.c_str());
  SDL_PauseAudio(0);
  return true;
}

void SdlOutput::close() {
  if (!open_) return;
  SDL_CloseAudio();
  if (subsystemOurs_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystemOurs_ = false;
  open_ = false;
  driver_[0] = 0;
}

double SdlOutput::estimatedDelayFrames(uint32_t bufferFrames) const {
  return (strcmp(driver_, "dummy") == 0 ? 1.0 : 2.0) * bufferFrames;
}

void SdlOutput::callback(void* self, uint8_t* out, int len) {
  SdlOutput* output = static_cast<SdlOutput*>(self);
  const int frames = len / static_cast<int>(kBytesPerFrame);
  if (!output->feed_) {
    memset(out, 0, static_cast<size_t>(len));
    return;
  }
  output->feed_->fill(reinterpret_cast<int16_t*>(out), frames);
  if (len % kBytesPerFrame) memset(out + frames * kBytesPerFrame, 0, len % kBytesPerFrame);
}

}  // namespace audio
}  // namespace platform
