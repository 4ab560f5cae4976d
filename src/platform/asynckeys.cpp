#include "platform/asynckeys.h"

#include <SDL/SDL.h>

namespace platform {
namespace {

bool sdlKeyHeld(int sdlKey) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  if (sdlKey <= 0 || sdlKey >= SDLK_LAST) return false;
  int count = 0;
  const Uint8* state = SDL_GetKeyState(&count);
  if (state == nullptr || sdlKey >= count) return false;
  return state[sdlKey] != 0;
}

KeyHeldSource currentSource = sdlKeyHeld;

}  // namespace

bool isKeyHeld(int sdlKey) { return currentSource(sdlKey); }

void setKeyHeldSource(KeyHeldSource source) { currentSource = source ? source : sdlKeyHeld; }

}  // namespace platform
