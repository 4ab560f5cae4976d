#include "show_driver.h"

#include <csignal>
#include <utility>

#include "platform/layer_song_player.h"

namespace {

volatile std::sig_atomic_t g_holdReleased = 0;
void releaseHold(int) { g_holdReleased = 1; }

}  // namespace

ShowOptions requestedShow(int frameRate, std::vector<double> stopBeats, bool reduceFlashing, float aspect) {
  ShowOptions options;
  options.aspect = aspect;
  options.steppedFps = frameRate;
  options.stopBeats = std::move(stopBeats);
  options.reduceFlashing = reduceFlashing;
  options.player = &platform::songPlayer();
  return options;
}

void driveShow(Show& show, ShowOutput& output) {
  FrameOutput picture;
  while (output.beginFrame(picture)) {
    const ShownFrame frame = show.advance(picture);
    picture = FrameOutput{};
    if (!output.endFrame(frame)) return;
    if (frame.stopped && !output.stopped(frame.stopBeat)) return;
  }
}

FrameHold::FrameHold() { std::signal(SIGUSR1, releaseHold); }

bool FrameHold::hold(double beat, FILE* announce, const std::function<bool()>& wait) {
  std::fprintf(announce, "held at beat %g\n", beat);
  std::fflush(announce);
  bool released = true;
  while (!g_holdReleased) {
    if (!wait()) {
      released = false;
      break;
    }
  }
  g_holdReleased = 0;
  return released;
}
