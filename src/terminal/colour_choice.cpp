#include "terminal/colour_choice.h"

#include <cstring>
#include <string>

namespace {

bool endsWith(const std::string& text, const char* end) {
  const size_t n = std::strlen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// Terminals with 24-bit colour whose terminfo entries (or the ones found
// on the machine running the show, often an older one over SSH) do not say so.
bool knownDirectColour(const std::string& term) {
  if (endsWith(term, "-direct")) return true;
  for (const char* name : {"xterm-kitty", "alacritty", "foot", "wezterm", "contour", "xterm-ghostty", "iterm2"})
    if (term == name || term.compare(0, std::strlen(name) + 1, std::string(name) + "-") == 0) return true;
  return false;
}

}  // namespace

ColourMode chooseColourMode(const char* colorterm, const char* term, const TerminfoColours& terminfo) {
  if (colorterm && (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0))
    return ColourMode::TrueColour;
  if (terminfo.directColour || (term && knownDirectColour(term))) return ColourMode::TrueColour;
  if (terminfo.colours >= 256) return ColourMode::Ansi256;
  return ColourMode::Ansi16;
}

bool parseColourMode(const char* text, ColourMode* mode) {
  if (std::strcmp(text, "16") == 0) *mode = ColourMode::Ansi16;
  else if (std::strcmp(text, "256") == 0) *mode = ColourMode::Ansi256;
  else if (std::strcmp(text, "24bit") == 0) *mode = ColourMode::TrueColour;
  else return false;
  return true;
}
