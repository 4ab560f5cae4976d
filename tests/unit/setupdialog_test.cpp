#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include "setupdialog.h"

namespace {

using Model = SetupDialogModel;

const std::vector<Model::Mode> kThreeModes = {{1920, 1080}, {1280, 720}, {800, 600}};

TEST(SetupDialogTest, ListsModesSmallestFirstAndSelectsTheLargestWhenNothingChosen) {
  DisplaySettings settings;
  Model model(settings);
  ASSERT_EQ(0, model.open(Model::ModeKind::Listed, kThreeModes));
  EXPECT_EQ((std::vector<std::string>{"800x600", "1280x720", "1920x1080"}), model.resolutions);
  EXPECT_EQ(2, model.selectedResolution);
  // Opening copies every control into the settings: aspect forced to 4:3.
  EXPECT_EQ(1920, settings.screenWidth);
  EXPECT_EQ(1080, settings.screenHeight);
  EXPECT_EQ(4, settings.aspectNumerator);
  EXPECT_EQ(3, settings.aspectDenominator);
  EXPECT_EQ(static_cast<uint32_t>(SDL_FULLSCREEN), settings.videoFlags);
  EXPECT_EQ(1, settings.vsync);
  EXPECT_EQ(1, model.command(Model::kRunit, Model::kClicked));
}

TEST(SetupDialogTest, SelectsTheChosenSizeOrTheFirstEntryWhenItIsNotListed) {
  DisplaySettings settings;
  settings.screenWidth = 1280;
  settings.screenHeight = 720;
  Model chosen(settings);
  chosen.open(Model::ModeKind::Listed, kThreeModes);
  EXPECT_EQ(1, chosen.selectedResolution);

  settings.screenWidth = 1024;
  settings.screenHeight = 768;
  Model unlisted(settings);
  unlisted.open(Model::ModeKind::Listed, kThreeModes);
  EXPECT_EQ(0, unlisted.selectedResolution);
  EXPECT_EQ(800, settings.screenWidth);
  EXPECT_EQ(600, settings.screenHeight);
}

TEST(SetupDialogTest, AnySizeOffersTheFixedListFromItsFirstEntry) {
  DisplaySettings settings;
  Model model(settings);
  model.open(Model::ModeKind::AnySize, {});
  ASSERT_EQ(13u, model.resolutions.size());
  EXPECT_EQ("640x480", model.resolutions.front());
  EXPECT_EQ("1600x1200", model.resolutions.back());
  EXPECT_EQ(640, settings.screenWidth);
  EXPECT_EQ(480, settings.screenHeight);
}

TEST(SetupDialogTest, NoModesLeavesListsEmptyAndSettingsUntouched) {
  DisplaySettings settings;
  Model model(settings);
  EXPECT_EQ(-1, model.open(Model::ModeKind::None, {}));
  EXPECT_TRUE(model.resolutions.empty());
  EXPECT_TRUE(model.aspects.empty());
  EXPECT_EQ(0, model.fullscreenCheck);
  EXPECT_EQ(-1, settings.screenWidth);
  EXPECT_EQ(16, settings.aspectNumerator);
  // A resolution command with nothing to read changes nothing.
  model.command(Model::kResolution, Model::kSelectionDone);
  EXPECT_EQ(-1, settings.screenWidth);
}

TEST(SetupDialogTest, ControlsWriteTheirSettings) {
  DisplaySettings settings;
  Model model(settings);
  model.open(Model::ModeKind::Listed, kThreeModes);

  model.toggleFullscreen();
  EXPECT_EQ(0u, settings.videoFlags);
  model.toggleFullscreen();
  EXPECT_EQ(static_cast<uint32_t>(SDL_FULLSCREEN), settings.videoFlags);

  model.toggleVsync();
  EXPECT_EQ(0, settings.vsync);

  model.chooseAspect(2);
  EXPECT_EQ(16, settings.aspectNumerator);
  EXPECT_EQ(10, settings.aspectDenominator);
  model.chooseAspect(1);
  EXPECT_EQ(9, settings.aspectDenominator);

  model.chooseResolution(0);
  EXPECT_EQ(800, settings.screenWidth);

  // List commands count only once the choice is confirmed.
  model.selectedResolution = 1;
  model.command(Model::kResolution, 1);
  EXPECT_EQ(800, settings.screenWidth);
}

TEST(SetupDialogTest, PresetsAreSelectedAndAddedWhenTheListsLackThem) {
  DisplaySettings settings;
  Model model(settings);
  model.open(Model::ModeKind::Listed, kThreeModes);
  DisplayPresets presets;
  presets.size = DisplayPresets::Size{1280, 720};
  presets.aspect = DisplayPresets::Aspect{16, 10};
  presets.fullscreen = false;
  presets.vsync = false;
  model.applyPresets(presets);
  EXPECT_EQ(1, model.selectedResolution);
  EXPECT_EQ(3u, model.resolutions.size());
  EXPECT_EQ(2, model.selectedAspect);
  EXPECT_EQ(0, model.fullscreenCheck);
  EXPECT_EQ(0, model.vsyncCheck);
  EXPECT_EQ(1280, settings.screenWidth);
  EXPECT_EQ(720, settings.screenHeight);
  EXPECT_EQ(16, settings.aspectNumerator);
  EXPECT_EQ(10, settings.aspectDenominator);
  EXPECT_EQ(0u, settings.videoFlags);
  EXPECT_EQ(0, settings.vsync);

  // A size the video system does not list is offered too; a preset equal to
  // what the dialog already shows changes nothing.
  presets.size = DisplayPresets::Size{1000, 700};
  presets.fullscreen = true;
  presets.vsync = true;
  model.applyPresets(presets);
  model.applyPresets(presets);
  EXPECT_EQ((std::vector<std::string>{"800x600", "1280x720", "1920x1080", "1000x700"}), model.resolutions);
  EXPECT_EQ(1000, settings.screenWidth);
  EXPECT_EQ(700, settings.screenHeight);
  EXPECT_EQ(static_cast<uint32_t>(SDL_FULLSCREEN), settings.videoFlags);
  EXPECT_EQ(1, settings.vsync);
}

TEST(SetupDialogTest, NahEscapeAndCloseEndWithTwo) {
  DisplaySettings settings;
  Model model(settings);
  model.open(Model::ModeKind::AnySize, {});
  EXPECT_EQ(0, model.command(42, 0));
  EXPECT_EQ(2, model.command(Model::kNah, Model::kClicked));
  EXPECT_EQ(2, model.endValue);
}

TEST(SetupDialogTest, UnknownAspectTextIsFatal) {
  DisplaySettings settings;
  Model model(settings);
  model.open(Model::ModeKind::AnySize, {});
  model.aspects.push_back("21:9");
  EXPECT_EXIT(model.chooseAspect(3), ::testing::ExitedWithCode(1),
              "Unrecognized aspect ratio option 21:9!");
}

}  // namespace
