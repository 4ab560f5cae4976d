#include "show/show_clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "util/music/music.h"
#include "util/music/song_player.h"

uint32_t LiveClock::ticks() const {
  // The monotonic clock in milliseconds, wrapping like every tick count.
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

FrameTime LiveClock::nextFrame(Music& music, bool* stopped) {
  *stopped = false;
  music.update();
  FrameTime time;
  time.beat = music.beatTime();
  time.ticks = ticks();
  music.fillSpectrum(spectrum_);
  time.spectrum = spectrum_;
  return time;
}

SteppedShowClock::SteppedShowClock(int framesPerSecond, uint32_t startTick, std::unique_ptr<SongAnalysis> song)
    : steps_(framesPerSecond), startTick_(startTick), ticks_(startTick), song_(std::move(song)) {}

SteppedShowClock::~SteppedShowClock() = default;

FrameTime SteppedShowClock::nextFrame(Music& music, bool* stopped) { return standAt(music, steps_.next(stopped)); }

FrameTime SteppedShowClock::frameAt(Music& music, double seconds) { return standAt(music, std::max(seconds, last_)); }

FrameTime SteppedShowClock::standAt(Music& music, double seconds) {
  last_ = seconds;
  ticks_ = startTick_ + static_cast<uint32_t>(std::llround(seconds * 1000.0));
  // After the song's end its position stays there; the ticks go on.
  const double position = song_ ? std::min(seconds, song_->seconds()) : seconds;
  music.setManualPosition(position);
  if (song_) {
    song_->spectrum(position, spectrum_);
  } else {
    std::fill(std::begin(spectrum_), std::end(spectrum_), 0.0f);
  }
  music.update();
  FrameTime time;
  time.beat = music.beatTime();
  time.ticks = ticks_;
  time.spectrum = spectrum_;
  return time;
}

bool SteppedShowClock::nextFrameStops() const {
  FrameSteps ahead = steps_;
  bool stops = false;
  ahead.next(&stops);
  return stops;
}
