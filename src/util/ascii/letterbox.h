#pragma once

// The aspect-preserving viewport of a window: the same rule decides the
// scene viewport and the text engine's letterbox.
struct Letterbox {
  int x, y, width, height;
};
Letterbox computeLetterbox(int width, int height, float aspect);
