#pragma once

// Key-down flags recorded by the show and read by the scenes: byte 1..4 the
// cursor keys Left, Right, Up, Down; 22 and 23 the function keys F8 and F9;
// 33 and 34 the digit keys 1 and 2.
struct KeyState {
  unsigned char down[72];
};
static_assert(sizeof(KeyState) == 72, "the key table is 72 bytes");

// Bytes of KeyState the scenes read.
constexpr int kKeyLeft = 1;
constexpr int kKeyRight = 2;
constexpr int kKeyUp = 3;
constexpr int kKeyDown = 4;
constexpr int kKeyFunction8 = 22;
constexpr int kKeyFunction9 = 23;
constexpr int kKeyDigit1 = 33;
constexpr int kKeyDigit2 = 34;

// Which bytes of KeyState an SDL 1.2 key symbol sets. Returns how many
// indices were written to `bytes` (0, 1 or 2).
int keyStateBytes(int symbol, int bytes[2]);

// Key events between two frames. A key pressed and released within one poll
// of the event queue stays down until the next frame has been drawn, so a tap
// shorter than a frame still reaches the scenes; a release after that frame
// clears its byte at once.
struct KeyTaps {
  unsigned char pressed[72];       // pressed since the last frame was drawn
  unsigned char releaseLater[72];  // released since then, after such a press
};

// Records one press (down) or release of KeyState byte `byte`.
void recordKey(KeyState& keys, KeyTaps& taps, int byte, bool down);
// After a frame: the releases held back for it take effect.
void keyFrameDrawn(KeyState& keys, KeyTaps& taps);

// Cursor presses in the order they came, each kept until a game step takes
// it: the Snake steps about ten times a second, far slower than frames, so a
// short tap would otherwise fall between two steps, and two taps between
// steps would merge into one. Presses past the capacity are dropped.
struct KeyPresses {
  static constexpr int kCapacity = 8;
  unsigned char bytes[kCapacity];  // KeyState bytes, oldest first
  int count;
};

// Queues a press of KeyState byte `byte` when it is a cursor key (1..4).
void recordPress(KeyPresses& presses, int byte, bool down);
// The oldest queued cursor byte, removed; -1 when none is queued.
int takePress(KeyPresses& presses);
void clearPresses(KeyPresses& presses);
