#include "platform/messagebox.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

void writeToStderr(const char* title, const char* text) {
  std::fprintf(stderr, "%s\n%s\n", title, text);
  std::fflush(stderr);
}

// FLTK sizes a box to its longest line and never wraps, so long messages
// (the missing-extension question is over 400 characters) would run off the
// screen. Break lines at blanks so none is longer than `width` characters;
// the viewer reads the same words.
std::string wrapForDisplay(const char* text, size_t width = 90) {
  std::string out;
  size_t lineStart = 0;
  size_t lastBlank = std::string::npos;
  for (const char* p = text; *p; ++p) {
    out += *p;
    if (*p == '\n') {
      lineStart = out.size();
      lastBlank = std::string::npos;
    } else if (*p == ' ') {
      lastBlank = out.size() - 1;
    }
    if (out.size() - lineStart > width && lastBlank != std::string::npos) {
      out[lastBlank] = '\n';
      lineStart = lastBlank + 1;
      lastBlank = std::string::npos;
    }
  }
  return out;
}

void hideWindowOf(Fl_Widget* widget, void*) { widget->window()->hide(); }

}  // namespace

Fl_Window* buildOkBox(const char* title, const char* text) {
  fl_open_display();
  const int margin = 15;
  const int buttonWidth = 90;
  const int buttonHeight = 25;
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  int textWidth = 0;
  int textHeight = 0;
  fl_measure(text, textWidth, textHeight, 0);
  if (textWidth < 200) textWidth = 200;
  const int width = textWidth + 2 * margin;
  const int height = textHeight + 3 * margin + buttonHeight;

  Fl_Window* window = new Fl_Window(width, height);
  window->copy_label(title);
  Fl_Box* message = new Fl_Box(margin, margin, textWidth, textHeight);
  message->copy_label(text);
  message->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
  Fl_Return_Button* ok = new Fl_Return_Button((width - buttonWidth) / 2, height - margin - buttonHeight,
                                              buttonWidth, buttonHeight, "OK");
  ok->callback(hideWindowOf);
  window->end();
  window->set_modal();
  return window;
}

namespace {

class DefaultPresenter : public BoxPresenter {
 public:
  void message(const char* title, const char* text) override {
    if (!displayAvailable()) {
      writeToStderr(title, text);
      return;
    }
    // One OK button and no icon; Return, Escape and the close box all
    // acknowledge it.
    Fl_Window* box = buildOkBox(title, wrapForDisplay(text).c_str());
    box->show();
    while (box->shown()) Fl::wait();
    delete box;
  }

  bool askOkCancel(const char* title, const char* text) override {
    if (!displayAvailable()) {
      writeToStderr(title, text);
      return true;
    }
    fl_message_title(title);
    // Button 0 is what Escape and the close box answer, so it is Cancel.
    const bool ok = fl_choice("%s", "Cancel", "OK", nullptr, wrapForDisplay(text).c_str()) == 1;
    // Send the box's unmapping now: the show that follows never runs FLTK's
    // loop again, and the box would stay on the screen over it.
    Fl::flush();
    return ok;
  }
};


}  // namespace

bool displayAvailable() {
  static int cached = -1;
  if (cached < 0) {
    const char* off = std::getenv("KESTRUNE_NO_BOXES");
    if (off && *off) {
      cached = 0;
    } else {
      Display* display = XOpenDisplay(nullptr);
      cached = display != nullptr;
      if (display) XCloseDisplay(display);
    }
  }
  return cached == 1;
}

BoxPresenter& dialogBoxes() {
  static DefaultPresenter presenter;
  return presenter;
}

}  // namespace platform
