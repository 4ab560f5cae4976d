#include "platform/keystate.h"

#include <SDL/SDL.h>

#include <cstring>

int keyStateBytes(int symbol, int bytes[2]) {
  if (symbol >= SDLK_1 && symbol <= SDLK_9) {
    // Digit keys set both of their copies.
    bytes[0] = 5 + (symbol - SDLK_1);
    bytes[1] = 33 + (symbol - SDLK_1);
    return 2;
  }
  if (symbol >= SDLK_F1 && symbol <= SDLK_F12) {
    bytes[0] = 15 + (symbol - SDLK_F1);
    return 1;
  }
  if (symbol >= SDLK_a && symbol <= SDLK_z) {
    bytes[0] = 43 + (symbol - SDLK_a);
    return 1;
  }
  switch (symbol) {
    case SDLK_RALT:
    case SDLK_LALT:
      bytes[0] = 0;
      bytes[1] = 27;
      return 2;
    case SDLK_LEFT: bytes[0] = 1; return 1;
    case SDLK_RIGHT: bytes[0] = 2; return 1;
    case SDLK_UP: bytes[0] = 3; return 1;
    case SDLK_DOWN: bytes[0] = 4; return 1;
    case SDLK_RCTRL:
    case SDLK_LCTRL: bytes[0] = 28; return 1;
    case SDLK_RSHIFT:
    case SDLK_LSHIFT: bytes[0] = 29; return 1;
    case SDLK_TAB: bytes[0] = 30; return 1;
    case SDLK_SPACE: bytes[0] = 31; return 1;
    case SDLK_RETURN: bytes[0] = 32; return 1;
    case SDLK_0: bytes[0] = 42; return 1;
    case SDLK_KP_PLUS: bytes[0] = 69; return 1;
    case SDLK_KP_MINUS: bytes[0] = 70; return 1;
    case SDLK_PRINT: bytes[0] = 71; return 1;
    default: return 0;
  }
}

void recordKey(KeyState& keys, KeyTaps& taps, int byte, bool down) {
  if (down) {
    keys.down[byte] = 1;
    taps.pressed[byte] = 1;
    taps.releaseLater[byte] = 0;
  } else if (taps.pressed[byte]) {
    taps.releaseLater[byte] = 1;
  } else {
    keys.down[byte] = 0;
  }
}

void keyFrameDrawn(KeyState& keys, KeyTaps& taps) {
  for (int i = 0; i < static_cast<int>(sizeof keys.down); ++i) {
    if (taps.releaseLater[i]) keys.down[i] = 0;
  }
  std::memset(&taps, 0, sizeof taps);
}

void recordPress(KeyPresses& presses, int byte, bool down) {
  if (!down || byte < kKeyLeft || byte > kKeyDown) return;
  if (presses.count < 0 || presses.count >= KeyPresses::kCapacity) return;
  presses.bytes[presses.count++] = static_cast<unsigned char>(byte);
}

int takePress(KeyPresses& presses) {
  if (presses.count <= 0) return -1;
  const int byte = presses.bytes[0];
  std::memmove(presses.bytes, presses.bytes + 1, static_cast<size_t>(presses.count - 1));
  --presses.count;
  return byte;
}

void clearPresses(KeyPresses& presses) { presses.count = 0; }
