#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB or RGBA pictures as PNG files. Rows are given top row
// first, tightly packed. Returns false (with errno set by stdio) on failure.
bool writePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels);
