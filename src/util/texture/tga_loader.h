#pragma once

class Texture;

// Uncompressed (type 2) and run-length encoded (type 10) true-colour TGA,
// 24 or 32 bits per pixel, rows in file order.
bool load_tga(const char* fileName, Texture* texture);
