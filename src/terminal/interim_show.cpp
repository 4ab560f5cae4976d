#include "terminal/interim_show.h"

#include <algorithm>

#include "platform/audio.h"
#include "platform/random.h"
#include "platform/ticks.h"
#include "steppedclock.h"
#include "util/ascii/asciiengine.h"
#include "util/music/music.h"
#include "util/timing/classwide.h"

namespace {

constexpr uint32_t kSteppedStartTick = 100000;
constexpr int kEscape = 27;

}  // namespace

InterimShow::InterimShow(ScreenRenderer* renderer, int steppedFps, std::vector<double> stopBeats)
    : stopBeats_(std::move(stopBeats)) {
  if (steppedFps > 0) steppedClock_.reset(new SteppedClock(kSteppedStartTick));
  ascii_.reset(new AsciiEngine(renderer));
  if (steppedClock_) {
    music_.reset(new Music(Music::Manual{}));
    steppedClock_->loadSong(music_file);
    frameSteps_.reset(new FrameSteps(steppedFps));
    std::sort(stopBeats_.begin(), stopBeats_.end());
    stopBeats_.erase(std::unique(stopBeats_.begin(), stopBeats_.end()), stopBeats_.end());
    for (double beat : stopBeats_) frameSteps_->choose(secondsOfBeat(*music_, beat));
  } else {
    music_.reset(new Music());
    stopBeats_.clear();
  }
  resetClasswideState();
  scenes_ = buildScheduledScenes(SceneResources{music_.get(), nullptr, ascii_.get()});
}

InterimShow::~InterimShow() = default;

void InterimShow::start() {
  platform::srand(platform::getTickCount());
  if (steppedClock_) return;
  platform::audio::setAttribute(music_->stream, platform::audio::kAttribVolume, 1.0f);
  music_->play();
  while (music_->beatTime() < 0.0f) {
  }
}

InterimShow::Frame InterimShow::advance() {
  Frame frame;
  if (frameSteps_) {
    bool chosen = false;
    steppedClock_->setTime(*music_, frameSteps_->next(&chosen));
    if (chosen && !stopBeats_.empty()) {
      frame.stopped = true;
      frame.stopBeat = stopBeats_.front();
      stopBeats_.erase(stopBeats_.begin());
    }
  }
  music_->update();
  drawScheduledScenes(scenes_, music_.get(), &keys_, AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight, false);
  keyFrameDrawn(keys_, keyTaps_);
  return frame;
}

void InterimShow::keyEvent(int sdlSymbol, bool down) {
  if (sdlSymbol == kEscape) {
    finished_ = true;
    return;
  }
  int bytes[2];
  const int count = keyStateBytes(sdlSymbol, bytes);
  for (int i = 0; i < count; ++i) recordKey(keys_, keyTaps_, bytes[i], down);
}
