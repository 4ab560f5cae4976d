#pragma once

// The text mode's vocabulary: the 16 CGA colours (foreground and background
// of a cell) and the code-page-437 glyphs the show draws by number.

enum CgaColour : int {
  kBlack = 0,
  kBlue = 1,
  kGreen = 2,
  kCyan = 3,
  kRed = 4,
  kMagenta = 5,
  kBrown = 6,
  kLightGrey = 7,
  kDarkGrey = 8,
  kLightBlue = 9,
  kLightGreen = 10,
  kLightCyan = 11,
  kLightRed = 12,
  kLightMagenta = 13,
  kYellow = 14,
  kWhite = 15,
};

// A bright colour's dark twin: the bright ones are the dark ones plus 8.
constexpr int kBrightOffset = 8;

constexpr int kSmileyInverse = 2;  // the inverse smiling face
constexpr int kHeart = 3;
constexpr int kLightShade = 176;
constexpr int kFullBlock = 219;  // the cell shows nothing but its foreground colour
constexpr int kSmallSquare = 254;
