#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture/show_recorder.h"
#include "support/gl_window.h"
#include "support/mp4_reader.h"
#include "support/test_archive.h"

namespace {

class CaptureTest : public GlTest {};

// The opening's white flashes sit on the song's hits. Recorded through the
// real scenes and renderer, read back from the muxed file, each flash must
// start within one frame of the hit it belongs to; the file holds as many
// frames, and lasts as long, as asked for (within one frame).
TEST_F(CaptureTest, FlashesOfTheOpeningMeetTheSongsHitsInTheRecordedFile) {
  const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
  ASSERT_NE(nullptr, tvl) << "KESTRUNE_DATA_TVL names the show's archive";
  TestArchive show(CopyOfArchive{}, tvl);

  CaptureRequest request;
  request.videoPath = show.dir() + "/opening.mp4";
  request.width = 160;
  request.height = 150;
  request.fps = 60;
  request.toBeat = 37.0;
  RecorderTuning tuning;
  tuning.showProgress = false;
  CaptureStats stats;
  std::string error;
  ASSERT_TRUE(recordShow(request, tuning, stats, error)) << error;

  Mp4Contents video;
  ASSERT_TRUE(readMp4(request.videoPath, video, error)) << error;
  std::remove(request.videoPath.c_str());

  const double frame = 1.0 / request.fps;
  const double asked = 37.0 * 0.3;  // 666 frames
  EXPECT_EQ(666, stats.frames);
  EXPECT_NEAR(asked / frame, static_cast<double>(video.videoFrames), 1.0);
  EXPECT_NEAR(asked, video.videoSeconds, frame);
  EXPECT_NEAR(asked, video.soundSeconds, frame);
  // Decoders may keep the padding of the last sound block.
  EXPECT_GE(static_cast<double>(video.sound.size()) / video.soundRate, asked - frame);
  EXPECT_EQ(160, video.width);
  EXPECT_EQ(150, video.height);

  for (double beat : {12.0, 20.0, 28.0, 36.0}) {
    const double expected = beat * 0.3;
    // The flash: the first nearly white picture near the beat.
    long flash = -1;
    for (long i = std::lround((expected - 0.15) / frame); i < std::lround((expected + 0.15) / frame); ++i) {
      if (i >= 0 && i < static_cast<long>(video.lumaMeans.size()) && video.lumaMeans[i] > 200.0) {
        flash = i;
        break;
      }
    }
    ASSERT_GE(flash, 0) << "no white frame near beat " << beat;
    // Within half a sixteenth of the beat: the hat a sixteenth before a
    // limited hit can rise more steeply than the hit itself.
    const double hit = strongestOnset(video.sound, video.soundRate, expected, 0.035);
    EXPECT_NEAR(hit, flash * frame, frame) << "beat " << beat << ": flash at frame " << flash << ", hit at "
                                           << hit << " s";
  }
}

}  // namespace
