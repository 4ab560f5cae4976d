#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sheet.h"

// What to render and how to drive the show.
struct PreviewOptions {
  std::string archive = "build/data.tvl";
  std::string outDir;  // empty: out/ beside the preview program, in the build tree
  std::vector<double> beats;  // one PNG each
  bool cells = false;         // and a text file of each one's cells
  bool sheet = false;         // a contact sheet of sheetFrom..sheetTo
  double sheetFrom = 0.0;
  double sheetTo = 560.0;
  double sheetStep = 4.0;
  std::string sheetName = "contact_sheet.png";
  int sheetColumns = 12;
  int sheetShrink = 4;
  uint32_t startTick = 100000;  // tick count at beat 0
  int fps = 60;                 // frames simulated per second of music
  std::vector<std::string> only;  // slot names to build; empty: all
  double digit1From = -1.0;       // hold key 1 from this beat (negative: never)
  double digit2From = -1.0;       // hold key 2 from this beat
  bool reduceFlashing = false;    // the show's flash limiter, as --reduce-flashing
  std::string song = "data/common/music/chipcore5.mp3";  // for the spectrum
  double bandsFrom = -1.0;  // with bandsTo: print the analyser's bar heights
  double bandsTo = -1.0;    // over these beats instead of drawing PNGs
};

// The show without window or audio: the scheduled scenes on a headless
// engine, a hand-driven music position and a tick count that moves with it.
// Frames run at `fps` from beat 0, so every class-wide clock and start tick
// sees the same history as in the show; the frames asked for are rendered
// exactly at their beats through the reference renderer, the pictures of
// scenes sharing a beat added together.
class ShowPreview {
 public:
  explicit ShowPreview(const PreviewOptions& options);
  ~ShowPreview();

  // Renders the frames at `beats` (taken in ascending order, each once),
  // continuing the simulation from where the last call stopped. Beats
  // before that point are rendered where the show stands.
  void render(std::vector<double> beats, const std::function<void(double, const RgbImage&)>& sink);

  // Bar heights (rows) of the closing scene's spectrum analyser after the
  // last frame; empty when that scene was not built.
  std::vector<int> analyserLevels() const;

  // The cells of the last frame rendered: 50 rows of 80 "glyph.fg.bg" in
  // hex, the last scene presenting in that frame winning.
  std::string cellText() const;

  // Number of scenes built.
  int sceneCount() const;
  // True when the song was found and decoded for the analyser's spectrum.
  bool hasSong() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Parses the command line; false with a message in `error` on bad input.
bool parsePreviewArgs(int argc, char** argv, PreviewOptions& options, std::string& error, bool& help);
// The help text, its defaults and slot names taken from the options and the schedule.
std::string previewUsage();

// Renders the frames and the sheet the options ask for into outDir. Returns
// the process exit code; messages go to stderr.
int runPreview(const PreviewOptions& options);
