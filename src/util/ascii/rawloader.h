#pragma once

#include <cstdio>

class AsciiEngine;

// File colour number -> palette index: swaps bit 0 (red in the files) and
// bit 2 (blue).
extern const unsigned char kRawRemap[16];

// Reads exactly width x height colour bytes from `stream` into palette
// indices through kRawRemap and closes it. A stream that ends early, goes on
// after them or holds a colour above 15 is fatal, naming `fileName`.
void readRawFile(std::FILE* stream, const char* fileName, unsigned char* out, int width, int height);
