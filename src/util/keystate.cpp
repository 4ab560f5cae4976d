#include "util/keystate.h"

#include <cstring>

#include "util/keysyms.h"

int keyStateBytes(int symbol, int bytes[2]) {
  if (symbol >= keysym::kDigit1 && symbol <= keysym::kDigit9) {
    // Digit keys set both of their copies.
    bytes[0] = 5 + (symbol - keysym::kDigit1);
    bytes[1] = 33 + (symbol - keysym::kDigit1);
    return 2;
  }
  if (symbol >= keysym::kF1 && symbol <= keysym::kF12) {
    bytes[0] = 15 + (symbol - keysym::kF1);
    return 1;
  }
  if (symbol >= keysym::kLetterA && symbol <= keysym::kLetterZ) {
    bytes[0] = 43 + (symbol - keysym::kLetterA);
    return 1;
  }
  switch (symbol) {
    case keysym::kRightAlt:
    case keysym::kLeftAlt:
      bytes[0] = 0;
      bytes[1] = 27;
      return 2;
    case keysym::kLeft: bytes[0] = 1; return 1;
    case keysym::kRight: bytes[0] = 2; return 1;
    case keysym::kUp: bytes[0] = 3; return 1;
    case keysym::kDown: bytes[0] = 4; return 1;
    case keysym::kRightCtrl:
    case keysym::kLeftCtrl: bytes[0] = 28; return 1;
    case keysym::kRightShift:
    case keysym::kLeftShift: bytes[0] = 29; return 1;
    case keysym::kTab: bytes[0] = 30; return 1;
    case keysym::kSpace: bytes[0] = 31; return 1;
    case keysym::kReturn: bytes[0] = 32; return 1;
    case keysym::kDigit0: bytes[0] = 42; return 1;
    case keysym::kKeypadPlus: bytes[0] = 69; return 1;
    case keysym::kKeypadMinus: bytes[0] = 70; return 1;
    case keysym::kPrint: bytes[0] = 71; return 1;
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
