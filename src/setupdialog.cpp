#include "setupdialog.h"

#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/error.h"

const char* const kFixedResolutions[13] = {
    "640x480",   "720x480",   "720x576",   "800x600",   "1024x768",  "1152x864",  "1280x768",
    "1280x800",  "1280x960",  "1280x1024", "1360x768",  "1440x900",  "1600x1200"};

namespace {
const char* const kAspectChoices[3] = {"4:3", "16:9", "16:10"};
}

SetupDialogModel::SetupDialogModel(DisplaySettings& settings) : settings_(settings) {}

int SetupDialogModel::open(ModeKind kind, const std::vector<Mode>& largestFirst) {
  if (kind == ModeKind::None || (kind == ModeKind::Listed && largestFirst.empty())) return -1;

  int select = 0;
  if (kind == ModeKind::AnySize) {
    resolutions.assign(std::begin(kFixedResolutions), std::end(kFixedResolutions));
  } else {
    // Smallest first: the video system lists the largest mode first.
    for (auto mode = largestFirst.rbegin(); mode != largestFirst.rend(); ++mode) {
      char text[32];
      std::snprintf(text, sizeof text, "%ix%i", mode->width, mode->height);
      resolutions.push_back(text);
      if (mode->width == settings_.screenWidth && mode->height == settings_.screenHeight) {
        select = static_cast<int>(resolutions.size()) - 1;
      }
    }
    if (settings_.screenWidth == -1 || settings_.screenHeight == -1) {
      select = static_cast<int>(resolutions.size()) - 1;
    }
  }
  selectedResolution = select;

  aspects.assign(std::begin(kAspectChoices), std::end(kAspectChoices));
  selectedAspect = 0;
  fullscreenCheck = settings_.videoFlags != 0 ? 1 : 0;
  vsyncCheck = settings_.vsync != 0 ? 1 : 0;

  // Copy every control into the settings (102 names no control).
  for (int id : {100, 102, 101, 103, 104}) command(id, kSelectionDone);
  return 0;
}

namespace {

// Index of `text` in `entries`, appended when it is not there yet.
int selectOrAdd(std::vector<std::string>& entries, const std::string& text) {
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i] == text) return static_cast<int>(i);
  }
  entries.push_back(text);
  return static_cast<int>(entries.size()) - 1;
}

}  // namespace

void SetupDialogModel::applyPresets(const DisplayPresets& presets) {
  if (presets.size) {
    chooseResolution(selectOrAdd(resolutions, std::to_string(presets.size->width) + "x" +
                                                  std::to_string(presets.size->height)));
  }
  if (presets.aspect) {
    chooseAspect(selectOrAdd(aspects, std::to_string(presets.aspect->numerator) + ":" +
                                          std::to_string(presets.aspect->denominator)));
  }
  if (presets.fullscreen && (fullscreenCheck == 1) != *presets.fullscreen) toggleFullscreen();
  if (presets.vsync && (vsyncCheck == 1) != *presets.vsync) toggleVsync();
}

int SetupDialogModel::command(int id, int notification) {
  switch (id) {
    case kRunit:
    case kNah:
      endValue = id | (notification << 16);
      return endValue;
    case kResolution:
      if (notification == kSelectionDone && selectedResolution >= 0 &&
          selectedResolution < static_cast<int>(resolutions.size())) {
        char text[512];
        std::snprintf(text, sizeof text, "%s", resolutions[selectedResolution].c_str());
        char* cut = std::strchr(text, 'x');
        if (cut) *cut = '\0';
        settings_.screenWidth = std::atoi(text);
        settings_.screenHeight = cut ? std::atoi(cut + 1) : 0;
      }
      return 0;
    case kFullscreen:
      if (fullscreenCheck == 1) {
        settings_.videoFlags |= SDL_FULLSCREEN;
      } else {
        settings_.videoFlags = 0;
      }
      return 0;
    case kVsync:
      settings_.vsync = vsyncCheck == 1 ? 1 : 0;
      return 0;
    case kAspect:
      if (notification == kSelectionDone && selectedAspect >= 0 &&
          selectedAspect < static_cast<int>(aspects.size())) {
        const std::string& text = aspects[selectedAspect];
        if (text == "4:3") {
          settings_.aspectNumerator = 4;
          settings_.aspectDenominator = 3;
        } else if (text == "16:9") {
          settings_.aspectNumerator = 16;
          settings_.aspectDenominator = 9;
        } else if (text == "16:10") {
          settings_.aspectNumerator = 16;
          settings_.aspectDenominator = 10;
        } else {
          ErrorBox("Unrecognized aspect ratio option %s!", text.c_str());
        }
      }
      return 0;
    default:
      return 0;
  }
}

int SetupDialogModel::chooseResolution(int index) {
  selectedResolution = index;
  return command(kResolution, kSelectionDone);
}

int SetupDialogModel::chooseAspect(int index) {
  selectedAspect = index;
  return command(kAspect, kSelectionDone);
}

int SetupDialogModel::toggleFullscreen() {
  fullscreenCheck = fullscreenCheck == 1 ? 0 : 1;
  return command(kFullscreen, kClicked);
}

int SetupDialogModel::toggleVsync() {
  vsyncCheck = vsyncCheck == 1 ? 0 : 1;
  return command(kVsync, kClicked);
}
