#include "show_core.h"

#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <cstdlib>

#include "platform/audio.h"
#include "platform/random.h"
#include "platform/ticks.h"
#include "steppedclock.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/flash_limiter.h"
#include "util/error.h"
#include "util/music/music.h"
#include "util/timing/classwide.h"

namespace {

// The beat clock is the song's position and stops with the song: a song that
// ends before the last slot begins would hold the show in an earlier scene
// for good, without a word. Such a song is refused before it plays. (A
// stream that failed to load is left to play(), which reports it.)
void requireSongReachesLastScene(const Music& music) {
  if (music.stream == 0 || music.lengthBytes == platform::audio::kLengthError) return;
  const double seconds = platform::audio::bytesToSeconds(music.stream, music.lengthBytes);
  const double endBeat = seconds * (1.0 / 60) * music.bpm + music.beatOffset;
  const ScheduleSlot& last = kShowSchedule[kScheduleLength - 1];
  if (endBeat >= last.startTime) return;
  const double neededSeconds = (last.startTime - music.beatOffset) * 60.0 / music.bpm;
  ErrorBox("The song %s ends at beat %.1f (%.1f s), before the show's last scene begins at beat %.0f: "
           "it needs a song of at least %.1f s.",
           music_file, endBeat, seconds, static_cast<double>(last.startTime), neededSeconds);
}

}  // namespace

Show::Show(const ShowOptions& options) : aspect_(options.aspect), scriptedKeys_(options.scriptedKeys) {
  // The stepped clock is the tick source before any scene reads the ticks.
  if (options.steppedFps > 0) steppedClock_.reset(new SteppedClock(options.startTick));
  // A show starts from the first frame's class-wide clocks and modes,
  // whatever ran before in this process.
  resetClasswideState();
  // The scenes draw on the random sequence while they are built, before
  // start() seeds it: from where a new process has it.
  platform::srand(platform::kFirstSeed);
  ascii_.reset(new AsciiEngine(nullptr));
  if (options.reduceFlashing) flashLimiter_ = FlashLimiter::forShow(nullptr);
  if (steppedClock_) {
    music_.reset(new Music(Music::Manual{}));
    const char* song = options.spectrumSong ? options.spectrumSong : music_file;
    if (*song != '\0') steppedClock_->loadSong(song);
    frameSteps_.reset(new FrameSteps(options.steppedFps));
    std::vector<double> beats = options.stopBeats;
    std::sort(beats.begin(), beats.end());
    beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
    for (double beat : beats) stopAt(beat);
  } else {
    music_.reset(new Music());
  }
  scenes_ = buildScheduledScenes(SceneResources{music_.get(), options.fbo, ascii_.get(), aspect_},
                                 options.wantedSlots);
}

Show::~Show() = default;

void Show::start() {
  platform::srand(platform::getTickCount());
  if (steppedClock_) return;  // no sound: the clock steps with the frames
  platform::audio::setAttribute(music_->stream, platform::audio::kAttribVolume, 1.0f);
  // Hidden hook for long runs (bench/soak.sh): start the beat clock at a
  // later beat, so the show opens in a later scene.
  if (const char* beat = std::getenv("KESTRUNE_START_BEAT")) music_->beatOffset = std::strtof(beat, nullptr);
  requireSongReachesLastScene(*music_);
  music_->play();
  // Busy wait: only a negative beat offset makes this loop at all.
  while (music_->beatTime() < 0.0f) {
  }
}

void Show::stopAt(double beat) {
  if (!frameSteps_) return;
  frameSteps_->choose(secondsOfBeat(*music_, beat));
  stopBeats_.push_back(beat);
}

bool Show::nextFrameStops() const {
  if (!frameSteps_) return false;
  FrameSteps ahead = *frameSteps_;
  bool stops = false;
  ahead.next(&stops);
  return stops;
}

bool Show::hasSpectrumSong() const { return steppedClock_ && steppedClock_->hasSong(); }

ShownFrame Show::readTime(const double* seconds) {
  ShownFrame frame;
  if (frameSteps_) {
    lastSeconds_ = seconds ? std::max(*seconds, lastSeconds_) : frameSteps_->next(&frame.stopped);
    steppedClock_->setTime(*music_, lastSeconds_);
    if (frame.stopped && !stopBeats_.empty()) {
      frame.stopBeat = stopBeats_.front();
      stopBeats_.erase(stopBeats_.begin());
    }
  }
  music_->update();
  frame.time = readFrameTime(*music_);
  return frame;
}

ShownFrame Show::advance(const FrameOutput& output) { return draw(readTime(nullptr), output); }

ShownFrame Show::advanceAt(double seconds, const FrameOutput& output) {
  return draw(readTime(frameSteps_ ? &seconds : nullptr), output);
}

ShownFrame Show::draw(const ShownFrame& frame, const FrameOutput& output) {
  if (scriptedKeys_) scriptedKeys_(frame.time, keys_);
  ascii_->renderer = output.renderer;
  if (flashLimiter_ && output.renderer) {
    flashLimiter_->next = output.renderer;
    flashLimiter_->beginFrame(frame.time.ticks);
    ascii_->renderer = flashLimiter_.get();
  }
  drawScheduledScenes(scenes_, frame.time, &keys_, &keyPresses_, output.width, output.height,
                      output.renderer != nullptr && output.sceneGlState);
  ascii_->renderer = nullptr;
  keyFrameDrawn(keys_, keyTaps_);
  return frame;
}

void Show::keyEvent(int sdlSymbol, bool down) {
  if (sdlSymbol == SDLK_ESCAPE) {
    finished_ = true;
    return;
  }
  int bytes[2];
  const int count = keyStateBytes(sdlSymbol, bytes);
  for (int i = 0; i < count; ++i) {
    recordKey(keys_, keyTaps_, bytes[i], down);
    recordPress(keyPresses_, bytes[i], down);
  }
}

void Show::setOutputSize(int width, int height, bool fill) {
  ascii_->setViewport(width, height, aspect_);
  if (fill) {
    // The letterbox arithmetic, made for a chosen ratio, would truncate the
    // output's own ratio and lose a row or column.
    ascii_->viewX = ascii_->viewY = 0;
    ascii_->viewWidth = width;
    ascii_->viewHeight = height;
  }
}
