#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings.h"

// Display settings chosen before the dialog opens (on the command line).
// Each one left empty keeps what the dialog would offer by itself.
struct DisplayPresets {
  struct Size {
    int width, height;
  };
  struct Aspect {
    int numerator, denominator;
  };
  std::optional<Size> size;
  std::optional<Aspect> aspect;
  std::optional<bool> fullscreen;
  std::optional<bool> vsync;
};

// The logic of the setup dialog, free of any toolkit: the controls' state,
// what happens when the dialog opens and when a control reports a command,
// and the settings it writes. The FLTK view only shows this state and
// forwards the viewer's actions.
class SetupDialogModel {
 public:
  enum ControlId {
    kRunit = 1,
    kNah = 2,
    kResolution = 100,
    kFullscreen = 101,
    kVsync = 103,
    kAspect = 104,
  };
  static constexpr int kSelectionDone = 9;  // a list choice was confirmed
  static constexpr int kClicked = 0;

  // What the video system offers for full-screen use.
  enum class ModeKind { None, AnySize, Listed };
  struct Mode {
    int width, height;
  };

  explicit SetupDialogModel(DisplaySettings& settings);

  // Fills the controls and copies them into the settings. `largestFirst`
  // holds the modes when kind is Listed. Returns -1 when there are no modes
  // (the lists stay empty), else 0.
  int open(ModeKind kind, const std::vector<Mode>& largestFirst);

  // After open: selects the presets in the controls and copies them into the
  // settings. A size or aspect the lists do not offer is added to them.
  void applyPresets(const DisplayPresets& presets);

  // A command from control `id`; returns the dialog's end value (1 Runit,
  // 2 Nah/Escape/close) when it ends the dialog, else 0.
  int command(int id, int notification);

  // The viewer's actions, as the view forwards them.
  int chooseResolution(int index);
  int chooseAspect(int index);
  int toggleFullscreen();
  int toggleVsync();

  std::vector<std::string> resolutions;
  int selectedResolution = -1;
  std::vector<std::string> aspects;
  int selectedAspect = -1;
  int fullscreenCheck = 0;
  int vsyncCheck = 0;
  int endValue = 0;

 private:
  DisplaySettings& settings_;
};

// The resolutions offered when any size is accepted.
extern const char* const kFixedResolutions[13];
