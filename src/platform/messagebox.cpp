#include "platform/messagebox.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
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

class DefaultPresenter : public BoxPresenter {
 public:
  void message(const char* title, const char* text) override {
    if (!displayAvailable()) {
      writeToStderr(title, text);
      return;
    }
    fl_message_title(title);
    fl_message("%s", wrapForDisplay(text).c_str());
  }

  bool askOkCancel(const char* title, const char* text) override {
    if (!displayAvailable()) {
      writeToStderr(title, text);
      return true;
    }
    fl_message_title(title);
    // Button 0 is what Escape and the close box answer, so it is Cancel.
    return fl_choice("%s", "Cancel", "OK", nullptr, wrapForDisplay(text).c_str()) == 1;
  }
};

DefaultPresenter defaultPresenter;
BoxPresenter* currentPresenter = &defaultPresenter;

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

void showMessageBox(const char* title, const char* text) { currentPresenter->message(title, text); }

bool askOkCancel(const char* title, const char* text) {
  return currentPresenter->askOkCancel(title, text);
}

void setBoxPresenter(BoxPresenter* presenter) {
  currentPresenter = presenter ? presenter : &defaultPresenter;
}

}  // namespace platform
