#pragma once

#include "terminal/ansi_screen.h"

// What the terminfo entry of a terminal says about its colours.
struct TerminfoColours {
  int colours = 0;            // "colors", 0 when unknown
  bool directColour = false;  // "Tc" or "RGB": 24-bit colour codes work
};
// The entry of `term` in the terminfo database (nothing known when there is none).
TerminfoColours readTerminfo(const char* term);

// The colour mode for a terminal: `COLORTERM` saying truecolor or 24bit,
// a terminfo entry with Tc or RGB, or a TERM of a terminal known for
// 24-bit colour choose 24-bit; 256 colours in terminfo choose those; else
// the 16 ANSI colours.
ColourMode chooseColourMode(const char* colorterm, const char* term, const TerminfoColours& terminfo);

// `--colors 16|256|24bit`; false for another value.
bool parseColourMode(const char* text, ColourMode* mode);
