#pragma once

class Fl_Window;

namespace platform {

// Shows modal boxes to the viewer. The default presenter uses FLTK; when no
// display can be opened (or KESTRUNE_NO_BOXES is set) the title and text go
// to standard error and every question is answered with OK.
class BoxPresenter {
 public:
  virtual ~BoxPresenter() = default;
  // One OK button; returns once acknowledged.
  virtual void message(const char* title, const char* text) = 0;
  // OK and Cancel; true when the viewer chose OK.
  virtual bool askOkCancel(const char* title, const char* text) = 0;
};

void showMessageBox(const char* title, const char* text);
bool askOkCancel(const char* title, const char* text);

// Tests install a recording presenter; nullptr restores the default.
void setBoxPresenter(BoxPresenter* presenter);

// The window of a message box: the text and one OK button that closes it.
// The caller shows, runs and deletes it. Needs a display.
Fl_Window* buildOkBox(const char* title, const char* text);

// True when boxes can be shown on a display (used by the setup dialog too).
bool displayAvailable();

}  // namespace platform
