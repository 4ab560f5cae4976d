#pragma once

#include "util/image/png_decoder.h"

class Texture;

// PNG: 8-bit grey, RGB, palette, grey with alpha and RGBA, plain or Adam7
// interlaced, delivered as 32-bit RGBA bottom row first.
bool load_png(const char* fileName, Texture* texture);
