#pragma once

#include <optional>
#include <vector>

#include "terminal/ansi_screen.h"

// `kestrune --terminal`: the show in the terminal it runs in, with its
// song on the audio device. Returns the exit code: 0 after Escape, 2 when
// this is no terminal for it, 128 + the signal when one ended the show
// (Ctrl-C counts as SIGINT). A fatal error gives the terminal back before
// its message and ends the process with 1.
struct TerminalPlayOptions {
  // Above 0: the stepped clock of the window's --frame-rate (no sound),
  // holding at `holdBeats` (announced as "held at beat B" on standard
  // error) until SIGUSR1.
  int frameRate = 0;
  std::vector<double> holdBeats;
  bool reduceFlashing = false;  // through the flash limiter
  // --colors: the colour mode, instead of the one the terminal announces.
  std::optional<ColourMode> colours;
};
int playInTerminal(const TerminalPlayOptions& options);
