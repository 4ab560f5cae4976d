#include "util/boxes.h"

#include <cstdio>

namespace {

class StderrPresenter : public BoxPresenter {
 public:
  void message(const char* title, const char* text) override {
    std::fprintf(stderr, "%s\n%s\n", title, text);
    std::fflush(stderr);
  }
  bool askOkCancel(const char* title, const char* text) override {
    message(title, text);
    return true;
  }
};

StderrPresenter stderrPresenter;
BoxPresenter* currentPresenter = &stderrPresenter;

}  // namespace

void showMessageBox(const char* title, const char* text) { currentPresenter->message(title, text); }

bool askOkCancel(const char* title, const char* text) { return currentPresenter->askOkCancel(title, text); }

void setBoxPresenter(BoxPresenter* presenter) { currentPresenter = presenter ? presenter : &stderrPresenter; }

BoxPresenter* boxPresenter() { return currentPresenter; }
