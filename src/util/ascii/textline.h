#pragma once

class AsciiEngine;

// Writes `text` from (column, row) one character per cell to the right in
// the given colours. A space leaves its cell unchanged; characters that land
// outside the screen are dropped.
void writeText(AsciiEngine* engine, int column, int row, const char* text, int foreground, int background);

// Writes `value` in decimal, left-aligned, without leading zeros or blanks.
void writeNumber(AsciiEngine* engine, int column, int row, int value, int foreground, int background);
