#pragma once

#include <cstddef>
#include <vector>

#include "util/keysyms.h"

// The show's key symbols of the keys a terminal sends, and what else its input carries.
namespace terminal_keys {
constexpr int kEscape = keysym::kEscape;
constexpr int kReturn = keysym::kReturn;
constexpr int kUp = keysym::kUp;
constexpr int kDown = keysym::kDown;
constexpr int kRight = keysym::kRight;
constexpr int kLeft = keysym::kLeft;
constexpr int kF1 = keysym::kF1;  // F1 .. F12 follow in order
// Ctrl-C, which raw input delivers as a byte: no SDL symbol, the show ends.
constexpr int kInterrupt = -1;
// Ctrl-Z, likewise: the show steps aside as a job stopped by its shell.
constexpr int kSuspend = -2;
// Not a key: the terminal's answer to a device-attributes query ("CSI ? ... c"),
// which tells that everything written before the query has been shown.
constexpr int kDeviceAnswer = -3;
}  // namespace terminal_keys

// Reads the bytes a terminal sends for key presses: printable keys as
// themselves (letters as lower case), Return, Tab, Escape, the cursor keys
// and F1-F12 in the escape sequences of xterm, the Linux console and their
// kin (with modifiers too). A terminal has no key releases: each press is
// a tap. Sequences it does not know are skipped whole.
class TerminalKeyParser {
 public:
  // Appends the keys found in `bytes`. An Escape at the end stays pending:
  // it may be the start of a sequence split across reads.
  void feed(const char* bytes, size_t size, std::vector<int>* keys);
  // No byte followed within the wait: a pending Escape was the key itself.
  void flush(std::vector<int>* keys);
  bool pending() const { return state_ != State::Ground; }

 private:
  enum class State { Ground, Escape, Csi, Ss3 };
  void finishCsi(char final, std::vector<int>* keys);

  State state_ = State::Ground;
  int params_[4] = {0, 0, 0, 0};
  int paramCount_ = 0;
  bool private_ = false;  // "CSI ?": an answer of the terminal, not a key
};
