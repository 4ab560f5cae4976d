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

BoxPresenter& stderrBoxes() {
  static StderrPresenter presenter;
  return presenter;
}

// Null: standard error.
BoxPresenter* chosenPresenter = nullptr;

}  // namespace

void showMessageBox(const char* title, const char* text) { boxPresenter()->message(title, text); }

bool askOkCancel(const char* title, const char* text) { return boxPresenter()->askOkCancel(title, text); }

void setBoxPresenter(BoxPresenter* presenter) { chosenPresenter = presenter; }

BoxPresenter* boxPresenter() { return chosenPresenter ? chosenPresenter : &stderrBoxes(); }
