// The show core on its own: built and linked with none of the platform
// libraries (the link line is checked by tests/check_layering.py), it runs
// the whole show from the archive on a stepped clock, with the sound
// system's part played by a stand-in.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "show/show_clock.h"
#include "show/show_core.h"
#include "util/ascii/asciiengine.h"
#include "util/data/data.h"
#include "util/music/music.h"
#include "util/music/song_player.h"

namespace {

// A song of `seconds` whose every spectrum bin stands at `level`.
class FlatSong : public SongAnalysis {
 public:
  FlatSong(double seconds, float level) : seconds_(seconds), level_(level) {}
  double seconds() const override { return seconds_; }
  void spectrum(double at, float* out512) const override {
    for (int i = 0; i < kBins; ++i) out512[i] = level_;
    out512[0] = static_cast<float>(at);  // which position was asked for
  }

 private:
  double seconds_;
  float level_;
};

// Decodes nothing and plays nothing: it only hands out FlatSongs.
class FlatSongPlayer : public SongPlayer {
 public:
  explicit FlatSongPlayer(float level) : level_(level) {}
  uint32_t version() override { return kContract << 16; }
  bool openDevice() override { return false; }
  const char* failureReason() override { return "no sound here"; }
  Stream createStream(const void*, uint64_t) override { return 0; }
  void freeStream(Stream) override {}
  uint64_t lengthBytes(Stream) override { return kNoLength; }
  double bytesToSeconds(Stream, uint64_t) override { return -1.0; }
  void setVolume(Stream, float) override {}
  bool play(Stream) override { return false; }
  bool isPlaying(Stream) override { return false; }
  uint64_t position(Stream) override { return kNoLength; }
  bool spectrum(Stream, float*) override { return false; }
  std::unique_ptr<SongAnalysis> analyse(const char*) override {
    return std::unique_ptr<SongAnalysis>(new FlatSong(600.0, level_));
  }

 private:
  float level_;
};

// Counts the screens of each frame and keeps the last one.
class ScreenCounter : public ScreenRenderer {
 public:
  void present(const AsciiEngine& engine) override {
    ++screens;
    std::memcpy(chars, engine.chars, sizeof chars);
  }
  int screens = 0;
  unsigned char chars[AsciiEngine::kCells] = {};
};

class ShowAlone : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* archive = std::getenv("KESTRUNE_DATA_TVL");
    data_mode = DATA_MODE_ARCHIVE;
    data_read_archive(archive ? archive : "data.tvl");
  }
};

// Steps `show` to `beat` and draws that frame into `counter`.
void drawAt(Show& show, double beat, ScreenCounter& counter) {
  show.stopAt(beat);
  while (!show.nextFrameStops()) show.advanceWithoutPicture();
  FrameOutput output;
  output.renderer = &counter;
  show.advance(output);
}

TEST_F(ShowAlone, EveryScenePresentsOnceAFrameAndBothDoWhereSlotsMeet) {
  ShowOptions options;
  options.steppedFps = 10;
  Show show(options);  // no sound system: a silent spectrum
  show.start();
  EXPECT_FALSE(show.hasSpectrumSong());
  for (double beat : {20.0, 44.0, 300.0, 557.0, 600.0}) {
    ScreenCounter counter;
    drawAt(show, beat, counter);
    const bool slotsMeet = beat == 44.0 || beat == 557.0;
    EXPECT_EQ(slotsMeet ? 2 : 1, counter.screens) << "beat " << beat;
  }
}

int analyserSquares(const ScreenCounter& counter) {
  int squares = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) squares += counter.chars[i] == 254;
  return squares;
}

TEST_F(ShowAlone, TheClosingAnalyserShowsTheSpectrumOfItsFrame) {
  int squares[2];
  for (int loud = 0; loud < 2; ++loud) {
    FlatSongPlayer player(loud ? 0.05f : 0.0f);
    ShowOptions options;
    options.steppedFps = 30;
    options.player = &player;
    options.wantedSlots = [](const ScheduleSlot& slot) { return std::strcmp(slot.name, "TextEnding") == 0; };
    Show show(options);
    show.start();
    EXPECT_TRUE(show.hasSpectrumSong());
    ScreenCounter counter;
    drawAt(show, 430.0, counter);
    squares[loud] = analyserSquares(counter);
  }
  // The bars stand on the fire (which has squares of its own) only when loud.
  EXPECT_GT(squares[1], squares[0] + 200);
}

// Keeps a digest of every screen presented, in order.
class ScreenDigests : public ScreenRenderer {
 public:
  void present(const AsciiEngine& engine) override {
    uint64_t hash = 14695981039346656037ull;  // FNV-1a over the three planes
    for (const unsigned char* plane : {engine.chars, engine.fg, engine.bg})
      for (int i = 0; i < AsciiEngine::kCells; ++i) hash = (hash ^ plane[i]) * 1099511628211ull;
    digests.push_back(hash);
  }
  std::vector<uint64_t> digests;
};

// A show through to the closing game, where `digit` picks the player at
// beat `pickAt`: fires, plasma, stars, the snake's food and moves all draw
// on the class-wide clocks and the random sequence.
ShowOptions showPicking(int digit, float pickAt, uint32_t startTick) {
  ShowOptions options;
  options.steppedFps = 10;
  options.startTick = startTick;
  options.scriptedKeys = [digit, pickAt](const FrameTime& time, KeyState& keys) {
    keys.down[digit] = time.beat >= pickAt && time.beat < pickAt + 1.0f;
  };
  return options;
}

constexpr int kFramesToBeat600 = 10 * 180;

std::vector<uint64_t> runAlone(const ShowOptions& options) {
  Show show(options);
  show.start();
  ScreenDigests screens;
  for (int frame = 0; frame < kFramesToBeat600; ++frame) show.advance(FrameOutput{&screens});
  return screens.digests;
}

// Two shows in one process, a frame of one then a frame of the other: each
// shows exactly what it shows alone.
TEST_F(ShowAlone, TwoShowsInOneProcessLeaveEachOtherAlone) {
  const ShowOptions first = showPicking(kKeyDigit1, 565.0f, 100000);
  const ShowOptions second = showPicking(kKeyDigit2, 570.0f, 103217);
  const std::vector<uint64_t> firstAlone = runAlone(first);
  const std::vector<uint64_t> secondAlone = runAlone(second);

  Show a(first), b(second);
  a.start();
  b.start();
  ScreenDigests screensA, screensB;
  for (int frame = 0; frame < kFramesToBeat600; ++frame) {
    a.advance(FrameOutput{&screensA});
    b.advance(FrameOutput{&screensB});
  }
  ASSERT_EQ(firstAlone.size(), screensA.digests.size());
  ASSERT_EQ(secondAlone.size(), screensB.digests.size());
  for (size_t i = 0; i < firstAlone.size(); ++i) ASSERT_EQ(firstAlone[i], screensA.digests[i]) << "screen " << i;
  for (size_t i = 0; i < secondAlone.size(); ++i) ASSERT_EQ(secondAlone[i], screensB.digests[i]) << "screen " << i;
  EXPECT_NE(firstAlone, secondAlone);
}

TEST(SteppedShowClock, EachFrameStandsAtItsStepWithItsTicksAndSpectrum) {
  SteppedShowClock clock(4, 5000, std::unique_ptr<SongAnalysis>(new FlatSong(0.5, 0.25f)));
  Music music{Music::Manual{}};
  EXPECT_EQ(5000u, clock.ticks());  // before the first frame: second 0
  const uint32_t wantTicks[] = {5000, 5250, 5500, 5750};
  const double wantPosition[] = {0.0, 0.25, 0.5, 0.5};  // the song ends at 0.5 s; the ticks go on
  for (int n = 0; n < 4; ++n) {
    bool stopped = true;
    const FrameTime time = clock.nextFrame(music, &stopped);
    EXPECT_FALSE(stopped);
    EXPECT_EQ(wantTicks[n], time.ticks);
    EXPECT_EQ(wantTicks[n], clock.ticks());
    ASSERT_NE(nullptr, time.spectrum);
    EXPECT_EQ(static_cast<float>(wantPosition[n]), time.spectrum[0]);
    EXPECT_EQ(0.25f, time.spectrum[511]);
    EXPECT_FLOAT_EQ(static_cast<float>(wantPosition[n] * 200.0 / 60.0), time.beat);
  }
}

TEST(SteppedShowClock, WithoutASongTheSpectrumIsSilence) {
  SteppedShowClock clock(10, 0, nullptr);
  Music music{Music::Manual{}};
  bool stopped = false;
  clock.nextFrame(music, &stopped);
  const FrameTime time = clock.nextFrame(music, &stopped);
  ASSERT_NE(nullptr, time.spectrum);
  for (int i = 0; i < SongAnalysis::kBins; ++i) ASSERT_EQ(0.0f, time.spectrum[i]);
  EXPECT_EQ(100u, time.ticks);
}

}  // namespace
