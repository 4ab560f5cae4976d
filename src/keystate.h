#pragma once

// Key-down flags recorded by the Demo and read by the scenes: byte 1..4 the
// cursor keys Left, Right, Up, Down; 33 and 34 the digit keys 1 and 2.
struct KeyState {
  unsigned char down[72];
};
static_assert(sizeof(KeyState) == 72, "the key table is 72 bytes");

// Which bytes of KeyState an SDL 1.2 key symbol sets. Returns how many
// indices were written to `bytes` (0, 1 or 2).
int keyStateBytes(int symbol, int bytes[2]);
