#include "util/ascii/textline.h"

#include <cstdio>

#include "util/ascii/asciiengine.h"

void writeText(AsciiEngine* engine, int column, int row, const char* text, int foreground, int background) {
  for (int i = 0; text[i] != '\0'; ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch != ' ') engine->setCell(column + i, row, ch, foreground, background);
  }
}

void writeNumber(AsciiEngine* engine, int column, int row, int value, int foreground, int background) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", value);
  writeText(engine, column, row, digits, foreground, background);
}
