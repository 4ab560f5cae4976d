#pragma once

class Texture;

// Uncompressed 24-bit Windows bitmaps, bottom-up rows.
bool load_bmp(const char* fileName, Texture* texture);
