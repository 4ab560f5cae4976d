#pragma once

// Standard MIDI Files written byte by byte for the parser's tests, and the
// fatal messages of the sync path as they reach standard error.

#include <cstdint>
#include <initializer_list>
#include <string>

namespace midi_builder {

inline std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

inline std::string bigEndian(uint32_t value, int count) {
  std::string out;
  for (int i = count - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// Variable-length quantity, most significant group first.
inline std::string deltaTime(uint32_t value) {
  std::string out(1, static_cast<char>(value & 0x7F));
  while ((value >>= 7) != 0) out.insert(out.begin(), static_cast<char>(0x80 | (value & 0x7F)));
  return out;
}

inline std::string header(int tracks, int division = 96) {
  return "MThd" + bigEndian(6, 4) + bigEndian(1, 2) + bigEndian(tracks, 2) + bigEndian(division, 2);
}

inline std::string track(const std::string& events) { return "MTrk" + bigEndian(events.size(), 4) + events; }

// Event helpers: delta time followed by the event bytes.
inline std::string event(uint32_t delta, std::initializer_list<int> values) { return deltaTime(delta) + bytes(values); }

inline std::string meta(uint32_t delta, int type, const std::string& data) {
  return deltaTime(delta) + bytes({0xFF, type, static_cast<int>(data.size())}) + data;
}

inline std::string trackName(const std::string& name) { return meta(0, 0x03, name); }
inline std::string tempo(uint32_t microseconds) { return meta(0, 0x51, bigEndian(microseconds, 3)); }
inline std::string endOfTrack() { return meta(0, 0x2F, ""); }

// A regular expression matching `text` literally.
inline std::string escapeRegex(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string(".[]{}()\\*+?^$|").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

// The box of a fatal error in `source` ("midi", "syncconfig") without a
// display: its title, an empty line, then `message`.
inline std::string fatalIn(const std::string& source, const std::string& message) {
  return "Error in file src\\\\util\\\\music\\\\" + source + "\\.cpp:[0-9]+\n\n" + escapeRegex(message);
}

}  // namespace midi_builder
