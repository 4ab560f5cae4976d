#pragma once

namespace platform {

// SDL 1.2 key symbols of the two function keys that switch the ending's fire.
constexpr int kKeyF8 = 289;
constexpr int kKeyF9 = 290;

// Whether a key is held right now, read from SDL's key state table (the
// keyboard as of the last event poll), independent of the show's KeyState.
// Without an initialised SDL video subsystem no key counts as held.
bool isKeyHeld(int sdlKey);

// Tests and the preview tool decide which keys are held. Passing nullptr
// restores SDL's key state table.
using KeyHeldSource = bool (*)(int sdlKey);
void setKeyHeldSource(KeyHeldSource source);

}  // namespace platform
