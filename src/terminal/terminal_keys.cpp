#include "terminal/terminal_keys.h"

using namespace terminal_keys;

namespace {

constexpr char kEsc = 0x1b;
constexpr char kCtrlC = 0x03;
constexpr char kCtrlZ = 0x1a;

// The key of a plain byte, or 0 for none.
int plainKey(unsigned char byte) {
  if (byte == '\r' || byte == '\n') return kReturn;
  if (byte == '\t') return '\t';
  if (byte == kCtrlC) return kInterrupt;
  if (byte == kCtrlZ) return kSuspend;
  if (byte >= 'A' && byte <= 'Z') return byte - 'A' + 'a';
  if (byte >= 0x20 && byte < 0x7f) return byte;
  return 0;
}

// Cursor keys and F1-F4 by the final byte of CSI or SS3 sequences.
int letterKey(char final) {
  switch (final) {
    case 'A': return kUp;
    case 'B': return kDown;
    case 'C': return kRight;
    case 'D': return kLeft;
    case 'P': return kF1;
    case 'Q': return kF1 + 1;
    case 'R': return kF1 + 2;
    case 'S': return kF1 + 3;
    default: return 0;
  }
}

// F1-F12 of the "CSI n ~" kind: 11-15, 17-21, 23-24 (the gaps are history).
int tildeKey(int code) {
  if (code >= 11 && code <= 15) return kF1 + code - 11;
  if (code >= 17 && code <= 21) return kF1 + 5 + code - 17;
  if (code == 23 || code == 24) return kF1 + 10 + code - 23;
  return 0;
}

}  // namespace

void TerminalKeyParser::finishCsi(char final, std::vector<int>* keys) {
  int key = 0;
  if (private_) {
    if (final == 'c') key = kDeviceAnswer;
  } else if (final == '~') {
    key = tildeKey(params_[0]);
  } else if (paramCount_ <= 1 || params_[0] == 1) {
    key = letterKey(final);  // "CSI A", or with a modifier "CSI 1;5A"
  }
  if (key) keys->push_back(key);
  state_ = State::Ground;
}

void TerminalKeyParser::feed(const char* bytes, size_t size, std::vector<int>* keys) {
  for (size_t i = 0; i < size; ++i) {
    const char byte = bytes[i];
    switch (state_) {
      case State::Ground:
        if (byte == kEsc) {
          state_ = State::Escape;
        } else if (int key = plainKey(static_cast<unsigned char>(byte))) {
          keys->push_back(key);
        }
        break;
      case State::Escape:
        if (byte == '[') {
          state_ = State::Csi;
          paramCount_ = 0;
          private_ = false;
          for (int& p : params_) p = 0;
        } else if (byte == 'O') {
          state_ = State::Ss3;
        } else if (byte == kEsc) {
          keys->push_back(kEscape);  // Escape twice: the first was the key
        } else {
          // Alt with a key: the key alone.
          state_ = State::Ground;
          if (int key = plainKey(static_cast<unsigned char>(byte))) keys->push_back(key);
        }
        break;
      case State::Csi:
        if (byte >= '0' && byte <= '9') {
          if (paramCount_ == 0) paramCount_ = 1;
          int& p = params_[paramCount_ - 1];
          if (p < 10000) p = p * 10 + (byte - '0');
        } else if (byte == '?' && paramCount_ == 0) {
          private_ = true;
        } else if (byte == ';') {
          if (paramCount_ == 0) paramCount_ = 1;
          if (paramCount_ < 4) ++paramCount_;
        } else if (byte >= 0x40 && byte <= 0x7e) {
          finishCsi(byte, keys);
        } else if (byte < 0x20 || byte > 0x7e) {
          state_ = State::Ground;  // not a sequence after all
        }
        break;
      case State::Ss3:
        if (int key = letterKey(byte)) keys->push_back(key);
        state_ = State::Ground;
        break;
    }
  }
}

void TerminalKeyParser::flush(std::vector<int>* keys) {
  if (state_ == State::Escape) keys->push_back(kEscape);
  state_ = State::Ground;
}
