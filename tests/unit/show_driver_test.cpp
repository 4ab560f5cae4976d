// The driver loop every output runs the show through, and the held frame.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "show_driver.h"
#include "support/test_archive.h"

namespace {

// A stepped show of no scenes: the clock, the stops and the loop alone.
ShowOptions bareShow(int fps, std::vector<double> stops) {
  ShowOptions options = requestedShow(fps, std::move(stops));
  options.spectrumSong = "";
  options.wantedSlots = [](const ScheduleSlot&) { return false; };
  return options;
}

// Ends the show after `frames` frames (or as told) and notes what it saw.
class Script : public ShowOutput {
 public:
  explicit Script(int frames) : frames_(frames) {}
  bool beginFrame(FrameOutput&) override { return static_cast<int>(beats.size()) < frames_; }
  bool endFrame(const ShownFrame& frame) override {
    beats.push_back(frame.time.beat);
    return static_cast<int>(beats.size()) != endAfter;
  }
  bool stopped(double beat) override {
    stops.push_back(beat);
    return static_cast<int>(stops.size()) != stopsBeforeEnd;
  }
  int endAfter = -1;        // endFrame says stop after this many frames
  int stopsBeforeEnd = -1;  // stopped() says stop at this stop
  std::vector<float> beats;
  std::vector<double> stops;

 private:
  int frames_;
};

class ShowDriver : public ::testing::Test {
 protected:
  ShowDriver() : archive_({{"data/unused.txt", "-"}}) {}
  TestArchive archive_;
};

TEST_F(ShowDriver, RunsFramesUntilTheOutputEndsThemAndReportsEachStopOnce) {
  // 20 frames a second: 200 beats a minute make a beat every 6 frames.
  Show show(bareShow(20, {5.0, 1.0}));
  show.start();
  Script script(40);
  driveShow(show, script);
  ASSERT_EQ(40u, script.beats.size());
  for (size_t i = 1; i < script.beats.size(); ++i) EXPECT_GE(script.beats[i], script.beats[i - 1]) << i;
  EXPECT_GT(script.beats.back(), 5.0f);
  EXPECT_EQ((std::vector<double>{1.0, 5.0}), script.stops);

  // The output that ends the show after a frame or at a stop gets no more.
  Show again(bareShow(20, {1.0, 5.0}));
  again.start();
  Script ending(40);
  ending.stopsBeforeEnd = 1;
  driveShow(again, ending);
  EXPECT_EQ((std::vector<double>{1.0}), ending.stops);
  EXPECT_FLOAT_EQ(1.0f, ending.beats.back());

  Show third(bareShow(20, {1.0}));
  third.start();
  Script early(40);
  early.endAfter = 3;
  driveShow(third, early);
  EXPECT_EQ(3u, early.beats.size());
  EXPECT_TRUE(early.stops.empty());
}

TEST(FrameHold, AnnouncesTheBeatAndWaitsForSigusr1UnlessTheShowEnds) {
  FrameHold hold;
  FILE* announce = std::tmpfile();
  ASSERT_NE(nullptr, announce);
  int waits = 0;
  EXPECT_TRUE(hold.hold(12.5, announce, [&] {
    if (++waits == 3) std::raise(SIGUSR1);
    return true;
  }));
  EXPECT_EQ(3, waits);

  // A release is used up by the hold it ended; the next one waits anew and
  // gives up when the show is to end.
  waits = 0;
  EXPECT_FALSE(hold.hold(300, announce, [&] { return ++waits < 5; }));
  EXPECT_EQ(5, waits);

  std::rewind(announce);
  char text[64] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, announce);
  std::fclose(announce);
  EXPECT_EQ("held at beat 12.5\nheld at beat 300\n", std::string(text, n));
}

}  // namespace
