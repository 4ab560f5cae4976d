#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include "demo.h"
#include "util/keystate.h"
#include "extensioncheck.h"
#include "util/ascii/letterbox.h"
#include "support/recording_presenter.h"

namespace {

const char* const kFixedPart =
    " not supported, which means this demo probably won't run very well or at all.";

TEST(ExtensionQuestionTest, NamesTheMissingExtensionsInOrder) {
  EXPECT_EQ("", missingExtensionQuestion(true, true));

  const std::string both = missingExtensionQuestion(false, false);
  EXPECT_EQ(0u, both.find("Extensions GL_EXT_framebuffer_object, "
                          "GL_ARB_texture_non_power_of_two not supported,"));
  const std::string second = missingExtensionQuestion(true, false);
  EXPECT_EQ(0u, second.find(std::string("Extension GL_ARB_texture_non_power_of_two") + kFixedPart));
  EXPECT_EQ(std::string("Extension GL_ARB_texture_non_power_of_two").size() + 418, second.size());
  EXPECT_EQ(')', second.back());
}

TEST(ExtensionQuestionTest, AsksOnlyWhenSomethingIsMissingAndObeysTheAnswer) {
  {
    RecordingPresenter declines(false);
    EXPECT_TRUE(confirmMissingExtensions(true, true));
    EXPECT_TRUE(declines.boxes.empty());
    EXPECT_FALSE(confirmMissingExtensions(false, true));
    ASSERT_EQ(1u, declines.boxes.size());
    EXPECT_EQ("Missing extension(s)", declines.boxes[0].title);
  }
  RecordingPresenter accepts(true);
  EXPECT_TRUE(confirmMissingExtensions(false, false));
}

TEST(KeyTableTest, DigitsSetBothCopiesAndZeroOnlyItsOwn) {
  int bytes[2];
  ASSERT_EQ(2, keyStateBytes(SDLK_5, bytes));
  EXPECT_EQ(9, bytes[0]);
  EXPECT_EQ(37, bytes[1]);
  ASSERT_EQ(1, keyStateBytes(SDLK_0, bytes));
  EXPECT_EQ(42, bytes[0]);
  ASSERT_EQ(2, keyStateBytes(SDLK_LALT, bytes));
  EXPECT_EQ(0, bytes[0]);
  EXPECT_EQ(27, bytes[1]);
}

TEST(KeyTableTest, EveryMappedKeyLandsInsideTheTable) {
  int seen[72] = {};
  for (int symbol = 0; symbol < SDLK_LAST; ++symbol) {
    int bytes[2];
    const int count = keyStateBytes(symbol, bytes);
    for (int i = 0; i < count; ++i) {
      ASSERT_GE(bytes[i], 0);
      ASSERT_LT(bytes[i], 72);
      ++seen[bytes[i]];
    }
  }
  EXPECT_EQ(0, seen[14]);  // never set
  EXPECT_EQ(2, seen[0]);   // both Alt keys
  EXPECT_EQ(1, seen[1]);
  EXPECT_EQ(1, seen[71]);
  int unused[2];
  EXPECT_EQ(0, keyStateBytes(SDLK_ESCAPE, unused));
  EXPECT_EQ(0, keyStateBytes(SDLK_HOME, unused));
}

// At 16 frames a second a quick tap of 1 in the Snake title screen is pressed
// and released between two frames.
TEST(KeyTableTest, TapWithinOnePollIsDownForTheNextFrameOnly) {
  KeyState keys{};
  KeyTaps taps{};
  recordKey(keys, taps, kKeyDigit1, true);
  recordKey(keys, taps, kKeyDigit1, false);
  EXPECT_EQ(1, keys.down[kKeyDigit1]) << "the frame after the tap sees it";
  keyFrameDrawn(keys, taps);
  EXPECT_EQ(0, keys.down[kKeyDigit1]) << "and the one after that does not";

  // Held over a frame: the release clears the byte at once.
  recordKey(keys, taps, kKeyLeft, true);
  keyFrameDrawn(keys, taps);
  EXPECT_EQ(1, keys.down[kKeyLeft]);
  recordKey(keys, taps, kKeyLeft, false);
  EXPECT_EQ(0, keys.down[kKeyLeft]);

  // Released and pressed again within one poll: still held afterwards.
  recordKey(keys, taps, kKeyUp, true);
  recordKey(keys, taps, kKeyUp, false);
  recordKey(keys, taps, kKeyUp, true);
  keyFrameDrawn(keys, taps);
  EXPECT_EQ(1, keys.down[kKeyUp]);
}

TEST(OffscreenBufferTest, NeverLargerThanTheRendererGivesNorEmpty) {
  int w = 0;
  int h = 0;
  offscreenSizeFor(20000, 900, 16384, &w, &h);
  EXPECT_EQ(16384, w);
  EXPECT_EQ(900, h);
  offscreenSizeFor(1280, 720, 16384, &w, &h);
  EXPECT_EQ(1280, w);
  EXPECT_EQ(720, h);
  offscreenSizeFor(0, -5, 8192, &w, &h);
  EXPECT_EQ(1, w);
  EXPECT_EQ(1, h);
}

TEST(LetterboxTest, StoredAspectIsSlightlyAboveTheExactRatio) {
  const float wide = 16.0f / 9.0f;
  Letterbox box = computeLetterbox(1920, 1080, wide);
  EXPECT_EQ(0, box.x);
  EXPECT_EQ(0, box.y);
  EXPECT_EQ(1920, box.width);
  EXPECT_EQ(1079, box.height);

  box = computeLetterbox(1280, 1024, wide);
  EXPECT_EQ(1280, box.width);
  EXPECT_EQ(719, box.height);
  EXPECT_EQ(152, box.y);

  box = computeLetterbox(1920, 1080, 4.0f / 3.0f);
  EXPECT_EQ(1440, box.width);
  EXPECT_EQ(1080, box.height);
  EXPECT_EQ(240, box.x);

  box = computeLetterbox(1680, 1050, 16.0f / 10.0f);
  EXPECT_EQ(1049, box.height);

  box = computeLetterbox(1024, 768, wide);
  EXPECT_EQ(575, box.height);
  EXPECT_EQ(96, box.y);

  // A zero height divides by one instead.
  box = computeLetterbox(640, 0, wide);
  EXPECT_EQ(0, box.height);
}

}  // namespace
