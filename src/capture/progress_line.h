#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// One self-updating line on a terminal: how far a long job is, how fast it
// goes and how long it still needs. Quiet when the stream is not a terminal,
// so logs and pipes get no carriage-return clutter.
class ProgressLine {
 public:
  // `total` steps of work; `out` usually stderr; `label` leads the line.
  ProgressLine(FILE* out, int64_t total, std::string label = std::string());
  // Force the line on or off (tests); by default it is on for terminals.
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // `done` steps after `seconds` of work; redrawn at most a few times a second.
  void update(int64_t done, double seconds);
  // Ends the line so that later messages start on a fresh one.
  void finish();

  // The text of the line, without the carriage return.
  static std::string format(int64_t done, int64_t total, double seconds);

 private:
  FILE* out_;
  int64_t total_;
  std::string label_;
  bool enabled_;
  bool shown_ = false;
  double lastDrawn_ = -1.0;
};
