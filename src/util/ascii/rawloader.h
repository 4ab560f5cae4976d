#pragma once

#include <cstdio>

class AsciiEngine;

// File colour number -> palette index: swaps bit 0 (red in the files) and
// bit 2 (blue).
extern const unsigned char kRawRemap[16];

// Reads the first width x height colour bytes of `stream` into palette
// indices through kRawRemap and closes it; bytes after them are ignored. A
// stream that ends early or holds a colour above 15 is fatal, naming
// `fileName`.
void readRawFile(std::FILE* stream, const char* fileName, unsigned char* out, int width, int height);
