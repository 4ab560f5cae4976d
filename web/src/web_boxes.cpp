// Message boxes in the browser: the page shows them as a message in itself.
#include <emscripten/emscripten.h>

#include "util/boxes.h"
#include "web_boxes.h"

namespace {

// clang-format off
EM_JS(void, pageMessage, (const char* title, const char* text), {
  Module.kestruneMessage(UTF8ToString(title), UTF8ToString(text));
});
EM_JS(int, pageQuestion, (const char* title, const char* text), {
  return Module.kestruneQuestion(UTF8ToString(title), UTF8ToString(text)) ? 1 : 0;
});
// clang-format on

class PageBoxes : public BoxPresenter {
 public:
  void message(const char* title, const char* text) override { pageMessage(title, text); }
  bool askOkCancel(const char* title, const char* text) override { return pageQuestion(title, text) != 0; }
};

}  // namespace

void showBoxesInThePage() {
  static PageBoxes boxes;
  setBoxPresenter(&boxes);
}
