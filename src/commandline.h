#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "setupdialog.h"

// What the program was asked to do on its command line.
struct CommandLine {
  enum class Action { Run, Help, Version, Fail };
  Action action = Action::Run;
  std::string error;  // Fail: one line naming the option, without program name

  DisplayPresets presets;  // preset in the setup dialog
  bool noDialog = false;   // start at once with the presets
  bool reduceFlashing = false;  // hold every output to three flashes a second

  // Hidden, for tests and captures: a picture aspect the dialog does not
  // offer (it overrides the dialog's), frames at fixed steps instead of the
  // audio device's position (0: follow the music), the beats to hold at.
  std::optional<DisplayPresets::Aspect> pictureAspect;
  int frameRate = 0;
  std::vector<double> holdBeats;
  // Recording the show instead of showing it: --capture FILE, --frames DIR.
  std::string captureFile;
  std::string framesDir;
  std::optional<int> fps;  // default 60
  std::optional<double> fromBeat;
  std::optional<double> toBeat;
  bool terminal = false;  // --terminal: play in the text terminal instead of a window
  std::string terminalColours;  // --colors 16|256|24bit ("": as the terminal announces)
  bool records() const { return !captureFile.empty() || !framesDir.empty(); }
};

// Reads the arguments after the program name, left to right. Options take
// their value as the next argument or after '=' ("--size 800x600",
// "--size=800x600"); a later option overrides an earlier one. The first
// --help, --version or fault decides the action.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The synopsis and one line per option.
std::string commandLineUsage();

// The options --help lists, by name ("--size").
std::vector<std::string> documentedOptions();

// The same options as entries of a manual page (roff: .TP paragraphs), in
// the order and with the words of --help, so that the manual cannot lag.
std::string manualOptionEntries();

// Help, version and faults: prints what they call for (help and version to
// `out`, a fault as "kestrune: <error>" and the usage to `err`) and returns
// the exit code (0, or 2 for a fault). -1 for Run, which prints nothing.
int reportCommandLine(const CommandLine& line, FILE* out, FILE* err);
