#pragma once

#include "util/boxes.h"

class Fl_Window;

namespace platform {

// The boxes on a display, with FLTK; when no display can be opened (or
// KESTRUNE_NO_BOXES is set) the title and text go to standard error and
// every question is answered with OK. The program installs it with
// setBoxPresenter() before anything can fail.
BoxPresenter& dialogBoxes();

// The window of a message box: the text and one OK button that closes it.
// The caller shows, runs and deletes it. Needs a display.
Fl_Window* buildOkBox(const char* title, const char* text);

// True when boxes can be shown on a display (used by the setup dialog too).
bool displayAvailable();

}  // namespace platform
