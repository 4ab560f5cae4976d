// The reduce-flashing mode over the show's own screens where they flash
// most, the scene changes included: the limited screens rendered as the
// renderers draw them and measured by the flash analyser tool.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#include "flash_scan.h"
#include "platform/layer_song_player.h"
#include "show/show_core.h"
#include "support/show_archive_test.h"
#include "util/ascii/reference_renderer.h"

namespace {

// Renders each screen on the CPU and hands the picture to the scan (bottom
// row first: the same windows, upside down).
class ScanningReference : public ScreenRenderer {
 public:
  explicit ScanningReference(ChartPixels chart) : reference_(std::move(chart)) {}
  void present(const AsciiEngine& engine) override {
    reference_.present(engine);
    ++screens;
    if (scan != nullptr) scan->addFrame(reference_.picture.data(), AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight);
  }
  FlashScan* scan = nullptr;
  int screens = 0;

 private:
  ReferenceRenderer reference_;
};

struct Stretch {
  double from, to;
  const char* what;
};

struct Measured {
  double general, red;
  int frames, screens;
};

// The show at 60 frames a second, advanced without a picture up to each
// stretch and drawn through it.
std::vector<Measured> measure(bool reduceFlashing, const std::vector<Stretch>& stretches) {
  ChartPixels chart;
  EXPECT_TRUE(loadChartPixels(AsciiEngine::kChartFile, &chart));
  ShowOptions options;
  options.player = &platform::songPlayer();
  options.steppedFps = 60;
  options.spectrumSong = "";
  options.reduceFlashing = reduceFlashing;
  Show show(options);
  show.start();
  ScanningReference renderer(chart);
  FrameOutput output;
  output.renderer = &renderer;
  std::vector<Measured> results;
  for (const Stretch& stretch : stretches) {
    show.stopAt(stretch.from);
    while (!show.advanceWithoutPicture().stopped) {
    }
    FlashScan scan(AsciiEngine::kColumns, AsciiEngine::kRows, 60);
    renderer.scan = &scan;
    renderer.screens = 0;
    while (show.advance(output).time.beat < stretch.to) {
    }
    renderer.scan = nullptr;
    results.push_back(Measured{scan.worstGeneral(), scan.worstRed(), scan.frames(), renderer.screens});
  }
  return results;
}

using ShowFlashing = ShowArchiveTest;

}  // namespace

TEST_F(ShowFlashing, ReduceFlashingHoldsTheLimitWhereTheShowFlashesMost) {
  const std::vector<Stretch> stretches = {
      {84, 92, "mask squash"},       {118, 126, "dance strobe"},       {150, 158, "dancer spin"},
      {321, 328, "big sprite comes in"}, {476, 484, "sunset wobble"}, {554, 561, "closing title comes in"}};
  const std::vector<Measured> limited = measure(true, stretches);
  ASSERT_EQ(stretches.size(), limited.size());
  for (size_t k = 0; k < stretches.size(); ++k) {
    const Measured& m = limited[k];
    EXPECT_LE(m.general, 3.0) << stretches[k].what;
    EXPECT_LE(m.red, 3.0) << stretches[k].what;
    EXPECT_GE(m.frames, 7 * 18 - 1) << stretches[k].what;
    // One picture a frame, also where two slots meet.
    EXPECT_EQ(m.frames, m.screens) << stretches[k].what;
  }
}

TEST_F(ShowFlashing, WithoutTheModeTheStrobeAndTheSpinFlashAsTheyAreDrawn) {
  // The measure sees what the mode is there for.
  const std::vector<Measured> raw = measure(false, {{118, 126, "dance strobe"}, {150, 158, "dancer spin"}});
  ASSERT_EQ(2u, raw.size());
  EXPECT_GT(raw[0].general, 3.0);
  EXPECT_GT(raw[1].general, 3.0);
}
