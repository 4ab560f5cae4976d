// The show core as every output drives it: frames advanced without a
// picture, keys handed in, stops at chosen beats.

#include <gtest/gtest.h>

#include <SDL/SDL_keysym.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "scenes_b_support.h"
#include "platform/layer_song_player.h"
#include "show/show_core.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/music/music.h"

namespace {

// The cells of every screen presented in the last frame, and what a probe
// saw while each was presented.
class CellRecorder : public ScreenRenderer {
 public:
  void present(const AsciiEngine& engine) override {
    std::string cells(reinterpret_cast<const char*>(engine.chars), AsciiEngine::kCells * 3);
    screens.push_back(cells);
    if (probe) probes.push_back(probe());
  }
  std::vector<std::string> screens;
  std::function<int()> probe;
  std::vector<int> probes;
};

std::vector<TestArchiveFile> showFiles() {
  using scenes_b_test::rawPicture;
  using scenes_b_test::solidPicture;
  std::vector<TestArchiveFile> files;
  for (int k = 1; k <= 8; ++k)
    files.push_back({"data/textraster/nick" + std::to_string(k) + ".raw",
                     rawPicture(80, 50, [k](int x, int) { return x == 10 + k ? 3 : 0; })});
  files.push_back({"data/textraster/fastintro.raw", rawPicture(800, 50, [](int x, int y) { return (x + y) % 16; })});
  files.push_back({"data/texttalkingv/vexmask.raw", solidPicture(80, 50, 0)});
  files.push_back({"data/textsnake/snakeinterface.raw", solidPicture(80, 50, 1)});
  return files;
}

ShowOptions steppedShow(int fps) {
  ShowOptions options;
  options.player = &platform::songPlayer();
  options.steppedFps = fps;
  options.spectrumSong = "";
  options.wantedSlots = [](const ScheduleSlot& slot) {
    return std::strcmp(slot.name, "TextRaster") == 0 || std::strcmp(slot.name, "TextSnake") == 0;
  };
  return options;
}

class ShowCore : public ::testing::Test {
 protected:
  ShowCore() : archive_(showFiles()) {}
  TestArchive archive_;
};

// The cells of the frame at `beat`, every earlier frame drawn or only advanced.
std::vector<std::string> screensAt(double beat, bool drawEarlierFrames, int automaticFrom) {
  ShowOptions options = steppedShow(20);
  // The automatic snake plays from `automaticFrom`: its moves draw on the
  // random sequence and the tick count, so they show any history lost.
  options.scriptedKeys = [automaticFrom](const FrameTime& time, KeyState& keys) {
    keys.down[kKeyDigit1] = time.beat >= automaticFrom;
  };
  Show show(options);
  show.start();
  show.stopAt(beat);
  CellRecorder cells;
  FrameOutput picture;
  picture.renderer = &cells;
  for (;;) {
    cells.screens.clear();
    const bool last = show.nextFrameStops();
    const ShownFrame frame = show.advance(last || drawEarlierFrames ? picture : FrameOutput{});
    EXPECT_EQ(last, frame.stopped);
    if (frame.stopped) break;
    EXPECT_TRUE(drawEarlierFrames || cells.screens.empty());
  }
  return cells.screens;
}

TEST_F(ShowCore, FramesAdvancedWithoutAPictureLeaveTheShowWhereDrawingThemWould) {
  for (double beat : {214.5, 300.0}) {
    const std::vector<std::string> drawn = screensAt(beat, true, 260);
    const std::vector<std::string> advanced = screensAt(beat, false, 260);
    ASSERT_EQ(1u, drawn.size());
    EXPECT_TRUE(drawn == advanced) << "beat " << beat;
  }
}

TEST_F(ShowCore, StopsLandOnTheAskedBeatsAndTheStepsGoOnAfterThem) {
  ShowOptions options = steppedShow(7);
  options.stopBeats = {10.5, 3.0, 10.5};
  Show show(options);
  show.start();
  std::vector<ShownFrame> stops;
  uint32_t lastTicks = 0;
  for (int n = 0; n < 200 && stops.size() < 2; ++n) {
    const ShownFrame frame = show.advanceWithoutPicture();
    if (n > 0) {
      EXPECT_GT(frame.time.ticks, lastTicks);
    }
    lastTicks = frame.time.ticks;
    if (frame.stopped) stops.push_back(frame);
  }
  ASSERT_EQ(2u, stops.size());  // ascending, each once
  EXPECT_EQ(3.0, stops[0].stopBeat);
  EXPECT_EQ(3.0f, stops[0].time.beat);
  EXPECT_EQ(10.5, stops[1].stopBeat);
  EXPECT_EQ(10.5f, stops[1].time.beat);
  EXPECT_EQ(100000u + 3150u, stops[1].time.ticks);
  EXPECT_FALSE(show.nextFrameStops());
  const ShownFrame after = show.advanceWithoutPicture();
  EXPECT_FALSE(after.stopped);
  EXPECT_EQ(100000u + 3286u, after.time.ticks);  // the step 23 / 7 s
}

TEST_F(ShowCore, FramesAtTheCallersTimesStandThereAndNeverGoBack) {
  Show show(steppedShow(60));
  show.start();
  const ShownFrame first = show.advanceAt(3.0, FrameOutput{});
  EXPECT_EQ(10.0f, first.time.beat);  // 200 beats a minute
  EXPECT_EQ(100000u + 3000u, first.time.ticks);
  const ShownFrame earlier = show.advanceAt(2.5, FrameOutput{});
  EXPECT_EQ(10.0f, earlier.time.beat);
  EXPECT_EQ(first.time.ticks, earlier.time.ticks);
  EXPECT_EQ(11.0f, show.advanceAt(3.3, FrameOutput{}).time.beat);
}

TEST_F(ShowCore, KeysReachTheScenesForAFrameAndEscapeEndsTheShow) {
  Show show(steppedShow(20));
  show.start();
  show.stopAt(240.0);
  while (!show.advanceWithoutPicture().stopped) {
  }
  CellRecorder cells;
  const Scene& snake = show.scenes()[1];
  cells.probe = [&snake] {
    return snake.keys->down[kKeyDigit2] + 2 * snake.keys->down[kKeyFunction9] + 4 * snake.keys->down[kKeyLeft];
  };
  FrameOutput picture;
  picture.renderer = &cells;

  // A tap within one poll still reaches the next frame; a held key stays.
  show.keyEvent(SDLK_2, true);
  show.keyEvent(SDLK_2, false);
  show.keyEvent(SDLK_F9, true);
  show.keyEvent(SDLK_F9, false);
  show.keyEvent(SDLK_LEFT, true);
  show.advance(picture);
  show.advance(picture);
  show.keyEvent(SDLK_LEFT, false);
  show.advance(picture);
  EXPECT_EQ((std::vector<int>{7, 4, 0}), cells.probes);

  EXPECT_FALSE(show.finished());
  show.keyEvent(SDLK_ESCAPE, true);
  EXPECT_TRUE(show.finished());
}

}  // namespace
