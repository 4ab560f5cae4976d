// Message boxes in the browser: the page shows them as a message in itself.
#include <emscripten/emscripten.h>

#include "platform/messagebox.h"

namespace {

// clang-format off
EM_JS(void, pageMessage, (const char* title, const char* text), {
  Module.kestruneMessage(UTF8ToString(title), UTF8ToString(text));
});
EM_JS(int, pageQuestion, (const char* title, const char* text), {
  return Module.kestruneQuestion(UTF8ToString(title), UTF8ToString(text)) ? 1 : 0;
});
// clang-format on

platform::BoxPresenter* presenter = nullptr;

}  // namespace

namespace platform {

void showMessageBox(const char* title, const char* text) {
  if (presenter)
    presenter->message(title, text);
  else
    pageMessage(title, text);
}

bool askOkCancel(const char* title, const char* text) {
  return presenter ? presenter->askOkCancel(title, text) : pageQuestion(title, text) != 0;
}

void setBoxPresenter(BoxPresenter* newPresenter) { presenter = newPresenter; }

bool displayAvailable() { return true; }

}  // namespace platform
