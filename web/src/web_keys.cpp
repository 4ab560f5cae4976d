// Held keys in the browser: the page's key events instead of SDL's table.
#include <set>

#include "platform/asynckeys.h"
#include "web_keys.h"

namespace {

std::set<int>& heldKeys() {
  static std::set<int> keys;
  return keys;
}

platform::KeyHeldSource source = nullptr;

}  // namespace

void setPageKey(int sdlSymbol, bool down) {
  if (down)
    heldKeys().insert(sdlSymbol);
  else
    heldKeys().erase(sdlSymbol);
}

namespace platform {

bool isKeyHeld(int sdlKey) { return source ? source(sdlKey) : heldKeys().count(sdlKey) > 0; }

void setKeyHeldSource(KeyHeldSource newSource) { source = newSource; }

}  // namespace platform
