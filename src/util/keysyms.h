#pragma once

// The key symbols the show takes (Show::keyEvent): SDL 1.2's numbering, so
// that the window passes its events on unchanged and every other output
// maps its own keys to these.
namespace keysym {
constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kDigit0 = 48;
constexpr int kDigit1 = 49;
constexpr int kDigit2 = 50;
constexpr int kDigit9 = 57;
constexpr int kLetterA = 97;
constexpr int kLetterZ = 122;
constexpr int kKeypadMinus = 269;
constexpr int kKeypadPlus = 270;
constexpr int kUp = 273;
constexpr int kDown = 274;
constexpr int kRight = 275;
constexpr int kLeft = 276;
constexpr int kF1 = 282;
constexpr int kF8 = 289;
constexpr int kF9 = 290;
constexpr int kF12 = 293;
constexpr int kRightShift = 303;
constexpr int kLeftShift = 304;
constexpr int kRightCtrl = 305;
constexpr int kLeftCtrl = 306;
constexpr int kRightAlt = 307;
constexpr int kLeftAlt = 308;
constexpr int kPrint = 316;
}  // namespace keysym
