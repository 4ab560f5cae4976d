#include "show.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "util/keystate.h"
#include "scenes/textending.h"
#include "show_archive.h"
#include "show/show_core.h"
#include "show_driver.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"
#include "util/texture/png_writer.h"

namespace {

constexpr int kWidth = AsciiEngine::kTargetWidth;
constexpr int kHeight = AsciiEngine::kTargetHeight;

// Adds every picture a scene presents while capturing is on: scenes that
// share a beat add up, as with the show's additive blending.
class CaptureRenderer : public ScreenRenderer {
 public:
  explicit CaptureRenderer(ChartPixels chartPixels) : chart(std::move(chartPixels)), bottomUp(kWidth * kHeight * 3) {}

  void present(const AsciiEngine& engine) override {
    char cell[16];
    cells.clear();
    for (int i = 0; i < AsciiEngine::kCells; ++i) {
      std::snprintf(cell, sizeof cell, "%02x.%x.%x", engine.chars[i], engine.fg[i] & 15, engine.bg[i] & 15);
      cells += cell;
      cells += (i + 1) % AsciiEngine::kColumns ? ' ' : '\n';
    }
    renderReference(engine, chart, bottomUp.data());
    RgbImage picture(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y)
      std::memcpy(picture.at(0, y), &bottomUp[static_cast<size_t>(kHeight - 1 - y) * kWidth * 3], kWidth * 3);
    addImage(frame, picture);
  }

  ChartPixels chart;
  std::string cells;
  RgbImage frame{kWidth, kHeight};

 private:
  std::vector<unsigned char> bottomUp;
};

bool makeDirectory(const std::string& path) {
  if (path.empty()) return true;
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '/') {
      if (!partial.empty() && mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    if (i < path.size()) partial += path[i];
  }
  return true;
}

bool writeImage(const std::string& path, const RgbImage& image) {
  if (!writePng(path, image.width, image.height, 3, image.pixels)) {
    std::fprintf(stderr, "preview: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

bool writeCells(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "w");
  const bool ok = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file && std::fclose(file) != 0) return false;
  if (!ok) std::fprintf(stderr, "preview: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
  return ok;
}

std::string beatLabel(double beat) {
  char text[32];
  if (beat == std::floor(beat))
    std::snprintf(text, sizeof text, "%.0f", beat);
  else
    std::snprintf(text, sizeof text, "%.2f", beat);
  return text;
}

}  // namespace

struct ShowPreview::State {
  explicit State(const std::string& archivePath) : archive(archivePath) {}
  ShowArchive archive;  // first: outlives what loads from it
  std::unique_ptr<CaptureRenderer> renderer;
  std::unique_ptr<Show> show;
};

ShowPreview::ShowPreview(const PreviewOptions& options) : state_(new State(options.archive)) {
  State& s = *state_;

  ChartPixels chart;
  if (!loadChartPixels(AsciiEngine::kChartFile, &chart)) {
    std::fprintf(stderr, "preview: %s holds no usable %s\n", options.archive.c_str(), AsciiEngine::kChartFile);
    std::exit(1);
  }
  s.renderer.reset(new CaptureRenderer(std::move(chart)));

  ShowOptions show = requestedShow(options.fps, {}, options.reduceFlashing);
  show.startTick = options.startTick;
  show.spectrumSong = options.song.c_str();
  const std::vector<std::string> only = options.only;
  show.wantedSlots = [only](const ScheduleSlot& slot) {
    return only.empty() || std::find(only.begin(), only.end(), slot.name) != only.end();
  };
  const double digit1From = options.digit1From;
  const double digit2From = options.digit2From;
  show.scriptedKeys = [digit1From, digit2From](const FrameTime& time, KeyState& keys) {
    keys.down[kKeyDigit1] = digit1From >= 0 && time.beat >= digit1From;
    keys.down[kKeyDigit2] = digit2From >= 0 && time.beat >= digit2From;
  };
  s.show.reset(new Show(show));
  s.show->start();
}

ShowPreview::~ShowPreview() = default;

std::vector<int> ShowPreview::analyserLevels() const {
  for (const std::unique_ptr<Scene>& scene : state_->show->scenes())
    if (const TextEnding* ending = dynamic_cast<const TextEnding*>(scene.get()))
      return std::vector<int>(ending->bandLevels, ending->bandLevels + TextEnding::kBands);
  return {};
}

std::string ShowPreview::cellText() const { return state_->renderer->cells; }

int ShowPreview::sceneCount() const { return static_cast<int>(state_->show->scenes().size()); }
bool ShowPreview::hasSong() const { return state_->show->hasSpectrumSong(); }

namespace {

// Stops at each beat asked for in turn; only those frames are rendered, the
// others advance the show.
class BeatFrames : public ShowOutput {
 public:
  BeatFrames(Show& show, CaptureRenderer& renderer, std::vector<double> beats,
             const std::function<void(double, const RgbImage&)>& sink)
      : show_(show), renderer_(renderer), beats_(std::move(beats)), sink_(sink) {}

  bool beginFrame(FrameOutput& picture) override {
    if (next_ == beats_.size()) return false;
    if (!asked_) show_.stopAt(beats_[next_]);
    asked_ = true;
    if (show_.nextFrameStops()) {
      std::fill(renderer_.frame.pixels.begin(), renderer_.frame.pixels.end(), 0);
      picture.renderer = &renderer_;
    }
    return true;
  }
  bool endFrame(const ShownFrame&) override { return true; }
  bool stopped(double) override {
    sink_(beats_[next_++], renderer_.frame);
    asked_ = false;
    return true;
  }

 private:
  Show& show_;
  CaptureRenderer& renderer_;
  const std::vector<double> beats_;
  const std::function<void(double, const RgbImage&)>& sink_;
  size_t next_ = 0;     // the beat the show is heading for
  bool asked_ = false;  // and it knows
};

}  // namespace

void ShowPreview::render(std::vector<double> beats, const std::function<void(double, const RgbImage&)>& sink) {
  std::sort(beats.begin(), beats.end());
  beats.erase(std::unique(beats.begin(), beats.end()), beats.end());
  BeatFrames frames(*state_->show, *state_->renderer, std::move(beats), sink);
  driveShow(*state_->show, frames);
}

namespace {

// Every frame from beat `from` to `to`: how high each analyser bar stands
// (median, mean, 90th percentile in rows) and how often it reaches 3 rows.
int printAnalyserBands(PreviewOptions options) {
  options.only = {"TextEnding"};
  ShowPreview show(options);
  if (!show.hasSong()) {
    std::fprintf(stderr, "preview: %s not in the archive\n", options.song.c_str());
    return 1;
  }
  const double step = 200.0 / 60.0 / options.fps;  // beats per frame
  std::vector<double> beats;
  for (double b = options.bandsFrom; b < options.bandsTo; b += step) beats.push_back(b);
  std::vector<std::vector<int>> levels;
  show.render(beats, [&](double, const RgbImage&) {
    const std::vector<int> now = show.analyserLevels();
    if (levels.empty()) levels.resize(now.size());
    for (size_t k = 0; k < now.size(); ++k) levels[k].push_back(now[k]);
  });
  std::printf("analyser bars, beats %g-%g, %zu frames\n", options.bandsFrom, options.bandsTo, beats.size());
  std::printf("band  median   mean    p90  frames>=3\n");
  for (size_t k = 0; k < levels.size(); ++k) {
    std::vector<int> v = levels[k];
    std::sort(v.begin(), v.end());
    double sum = 0;
    int high = 0;
    for (int x : v) {
      sum += x;
      high += x >= 3;
    }
    const auto at = [&](double q) { return v[std::min(v.size() - 1, static_cast<size_t>(q * v.size()))]; };
    std::printf("%4zu %7d %6.2f %6d %9.1f%%\n", k + 1, at(0.5), sum / v.size(), at(0.9), 100.0 * high / v.size());
  }
  return 0;
}

}  // namespace

int runPreview(const PreviewOptions& options) {
  if (options.bandsTo > options.bandsFrom && options.bandsFrom >= 0) return printAnalyserBands(options);
  if (!makeDirectory(options.outDir)) {
    std::fprintf(stderr, "preview: cannot create %s: %s\n", options.outDir.c_str(), std::strerror(errno));
    return 1;
  }
  std::vector<double> sheetBeats;
  if (options.sheet && options.sheetStep > 0)
    for (double b = options.sheetFrom; b <= options.sheetTo + 1e-9; b += options.sheetStep) sheetBeats.push_back(b);
  std::vector<double> all = options.beats;
  all.insert(all.end(), sheetBeats.begin(), sheetBeats.end());
  if (all.empty()) {
    std::fprintf(stderr, "preview: nothing to render\n");
    return 1;
  }

  ShowPreview show(options);
  if (!show.hasSong() && !options.song.empty())
    std::fprintf(stderr, "preview: %s not in the archive; the analyser gets silence\n", options.song.c_str());

  std::vector<SheetCell> cells;
  bool ok = true;
  show.render(all, [&](double beat, const RgbImage& frame) {
    if (std::find(options.beats.begin(), options.beats.end(), beat) != options.beats.end()) {
      char name[64];
      std::snprintf(name, sizeof name, "/beat_%s.png", beatLabel(beat).c_str());
      const std::string path = options.outDir + name;
      if (writeImage(path, frame))
        std::printf("%s\n", path.c_str());
      else
        ok = false;
      if (options.cells) ok = writeCells(path.substr(0, path.size() - 4) + ".cells", show.cellText()) && ok;
    }
    if (std::find(sheetBeats.begin(), sheetBeats.end(), beat) != sheetBeats.end())
      cells.push_back(SheetCell{shrink(frame, options.sheetShrink), beatLabel(beat)});
  });
  if (!cells.empty()) {
    const std::string path = options.outDir + "/" + options.sheetName;
    if (writeImage(path, makeContactSheet(cells, options.sheetColumns)))
      std::printf("%s\n", path.c_str());
    else
      ok = false;
  }
  return ok ? 0 : 1;
}

namespace {

// The slot names for --only, each once, in running order, wrapped to the
// usage text's column.
std::string slotNameLines() {
  std::vector<std::string> names;
  for (const ScheduleSlot& slot : kShowSchedule)
    if (std::find(names.begin(), names.end(), slot.name) == names.end()) names.push_back(slot.name);
  const std::string indent(21, ' ');
  std::string text = indent + "(";
  size_t lineStart = 0;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string item = names[i] + (i + 1 < names.size() ? "," : ")");
    if (text.size() - lineStart + item.size() + 1 > 73) {
      text += "\n" + indent;
      lineStart = text.size() - indent.size();
    } else if (i > 0) {
      text += ' ';
    }
    text += item;
  }
  return text + "\n";
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

}  // namespace

std::string previewUsage() {
  const PreviewOptions defaults;
  const std::string sheetSize = std::to_string(kWidth / defaults.sheetShrink) + " x " +
                                std::to_string(kHeight / defaults.sheetShrink);
  return "usage: preview [options]\n"
         "Renders the show's text screen at chosen beats to PNG files (" + std::to_string(kWidth) + " x " +
         std::to_string(kHeight) + "),\n"
         "without window or audio, through the CPU reference renderer.\n"
         "\n"
         "  --data PATH        archive to read (default " + defaults.archive + ")\n"
         "  --out DIR          output directory (default: out/ beside this program,\n"
         "                     build/tools/preview/out)\n"
         "  --beat B[,B...]    one frame per beat, written as DIR/beat_<B>.png\n"
         "                     (repeatable; fractions allowed)\n"
         "  --cells            with --beat, also DIR/beat_<B>.cells: the text screen's\n"
         "                     cells as " + std::to_string(AsciiEngine::kRows) + " lines of " +
         std::to_string(AsciiEngine::kColumns) + " glyph.fg.bg in hex\n"
         "  --sheet [A:B:S]    contact sheet of beats A to B every S (default " + number(defaults.sheetFrom) + ":" +
         number(defaults.sheetTo) + ":" + number(defaults.sheetStep) + "),\n"
         "                     written as DIR/" + defaults.sheetName + "\n"
         "  --sheet-name NAME  file name of the sheet\n"
         "  --columns N        frames per sheet row (default " + std::to_string(defaults.sheetColumns) + ")\n"
         "  --shrink N         sheet frames reduced N times (default " + std::to_string(defaults.sheetShrink) + ": " +
         sheetSize + ")\n"
         "  --only NAME[,...]  build and draw only these schedule slots\n" + slotNameLines() +
         "  --key1-from B      hold key 1 from beat B on (the automatic snake)\n"
         "  --key2-from B      hold key 2 from beat B on (the viewer's snake)\n"
         "  --reduce-flashing  the flash limiter of the program's --reduce-flashing\n"
         "  --fps N            frames simulated per second (default " + std::to_string(defaults.fps) + ")\n"
         "  --start-tick T     tick count at beat 0 (default " + std::to_string(defaults.startTick) + ")\n"
         "  --song NAME        archive file for the analyser's spectrum\n"
         "                     (default " + defaults.song + "; '' for silence)\n"
         "  --bands A:B        print the closing analyser's bar heights over beats A..B\n"
         "                     (per bar: median, mean, 90th percentile, share >= 3 rows)\n"
         "  -h, --help         this text\n"
         "\n"
         "The show runs frame by frame from beat 0 with the tick count moving with\n"
         "the music (300 ms per beat), so effects that step on the tick count stand\n"
         "where they stand in the show. Without --beat or --sheet a sheet of the\n"
         "whole show is made.\n"
         "\n"
         "Example: preview --data build/data.tvl --beat 208,430 --sheet 176:232:2\n";
}

namespace {

bool parseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != nullptr && *end == '\0' && std::isfinite(value);
}

bool parseInt(const std::string& text, long lo, long hi, long& value) {
  double d = 0;
  if (!parseNumber(text, d) || d != std::floor(d) || d < lo || d > hi) return false;
  value = static_cast<long>(d);
  return true;
}

std::vector<std::string> splitList(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text) {
    if (c == separator) {
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(part);
  return parts;
}

}  // namespace

bool parsePreviewArgs(int argc, char** argv, PreviewOptions& options, std::string& error, bool& help) {
  help = false;
  bool sheetGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = arg + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-h" || arg == "--help") {
      help = true;
      return true;
    } else if (arg == "--cells") {
      options.cells = true;
    } else if (arg == "--reduce-flashing") {
      options.reduceFlashing = true;
    } else if (arg == "--data") {
      if (!value(options.archive)) return false;
    } else if (arg == "--out") {
      if (!value(options.outDir)) return false;
    } else if (arg == "--beat") {
      if (!value(v)) return false;
      for (const std::string& part : splitList(v, ',')) {
        double beat = 0;
        if (!parseNumber(part, beat) || beat < 0 || beat > 100000) {
          error = "bad beat '" + part + "'";
          return false;
        }
        options.beats.push_back(beat);
      }
    } else if (arg == "--sheet") {
      sheetGiven = true;
      options.sheet = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') {
        v = argv[++i];
        const std::vector<std::string> parts = splitList(v, ':');
        double a = 0, b = 0, step = 0;
        if (parts.size() != 3 || !parseNumber(parts[0], a) || !parseNumber(parts[1], b) ||
            !parseNumber(parts[2], step) || a < 0 || b < a || b > 100000 || step <= 0 || (b - a) / step > 5000) {
          error = "bad sheet range '" + v + "' (FROM:TO:STEP, at most 5000 frames)";
          return false;
        }
        options.sheetFrom = a;
        options.sheetTo = b;
        options.sheetStep = step;
      }
    } else if (arg == "--bands") {
      if (!value(v)) return false;
      const std::vector<std::string> parts = splitList(v, ':');
      double a = 0, b = 0;
      if (parts.size() != 2 || !parseNumber(parts[0], a) || !parseNumber(parts[1], b) || a < 0 || b <= a ||
          b > 100000) {
        error = "bad band range '" + v + "' (FROM:TO)";
        return false;
      }
      options.bandsFrom = a;
      options.bandsTo = b;
    } else if (arg == "--sheet-name") {
      if (!value(options.sheetName)) return false;
    } else if (arg == "--columns" || arg == "--shrink" || arg == "--fps" || arg == "--start-tick") {
      if (!value(v)) return false;
      long n = 0;
      const long hi = arg == "--start-tick" ? 4294967295L : arg == "--fps" ? 1000 : 100;
      if (!parseInt(v, arg == "--start-tick" ? 0 : 1, hi, n)) {
        error = "bad value '" + v + "' for " + arg;
        return false;
      }
      if (arg == "--columns") options.sheetColumns = static_cast<int>(n);
      if (arg == "--shrink") options.sheetShrink = static_cast<int>(n);
      if (arg == "--fps") options.fps = static_cast<int>(n);
      if (arg == "--start-tick") options.startTick = static_cast<uint32_t>(n);
    } else if (arg == "--only") {
      if (!value(v)) return false;
      for (const std::string& name : splitList(v, ',')) {
        bool known = false;
        for (const ScheduleSlot& slot : kShowSchedule) known = known || name == slot.name;
        if (!known) {
          error = "no slot named '" + name + "'";
          return false;
        }
        options.only.push_back(name);
      }
    } else if (arg == "--key1-from" || arg == "--key2-from") {
      if (!value(v)) return false;
      double beat = 0;
      if (!parseNumber(v, beat) || beat < 0) {
        error = "bad beat '" + v + "' for " + arg;
        return false;
      }
      (arg == "--key1-from" ? options.digit1From : options.digit2From) = beat;
    } else if (arg == "--song") {
      if (!value(options.song)) return false;
    } else {
      error = "unknown option '" + arg + "'";
      return false;
    }
  }
  if (options.beats.empty() && !sheetGiven) options.sheet = true;
  return true;
}
