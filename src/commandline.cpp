#include "commandline.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "terminal/colour_choice.h"

#ifndef KESTRUNE_VERSION
#error "KESTRUNE_VERSION comes from the build (the project's version)"
#endif

namespace {

// Memory grows with the frame: 16384 x 16384 once took 12.7 GB to record
// and 4.6 GB in a window. 8K UHD is the largest picture worth making (about
// 0.6 GB to record as PNG frames); a side of 8192 is within every GL the
// show runs on.
constexpr long kLargestSide = 8192;
constexpr long kLargestArea = 7680L * 4320;

// Stores the option's value in the command line; returns what a valid value
// looks like when `value` is not one, else an empty string.
using Apply = std::string (*)(CommandLine& line, const char* value);

struct Option {
  const char* name;
  const char* valueName;  // null: a switch that takes no value
  const char* help;       // null: left out of the usage
  Apply apply;
};

// Reads a decimal number in [min, max] from `text`, advancing it past the
// digits. No sign, no blanks.
bool readNumber(const char*& text, long min, long max, long& out) {
  if (*text < '0' || *text > '9') return false;
  long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > max) return false;
  }
  if (value < min) return false;
  out = value;
  return true;
}

std::string applySize(CommandLine& line, const char* value) {
  long width = 0, height = 0;
  const char* text = value;
  if (!readNumber(text, 1, kLargestSide, width) || (*text != 'x' && *text != 'X') ||
      !readNumber(++text, 1, kLargestSide, height) || *text != '\0' || width * height > kLargestArea) {
    return "WIDTHxHEIGHT in pixels, each 1 to " + std::to_string(kLargestSide) + ", at most 7680x4320 in all";
  }
  line.presets.size = DisplayPresets::Size{int(width), int(height)};
  return "";
}

std::string applyAspect(CommandLine& line, const char* value) {
  static const DisplayPresets::Aspect kAspects[] = {{4, 3}, {16, 9}, {16, 10}};
  for (const DisplayPresets::Aspect& aspect : kAspects) {
    if (std::to_string(aspect.numerator) + ":" + std::to_string(aspect.denominator) == value) {
      line.presets.aspect = aspect;
      return "";
    }
  }
  return "4:3, 16:9 or 16:10";
}

// Any W:H, for pictures of other shapes (the target's own is 16:15).
std::string applyPictureAspect(CommandLine& line, const char* value) {
  long numerator = 0, denominator = 0;
  const char* text = value;
  if (!readNumber(text, 1, 1000, numerator) || *text != ':' || !readNumber(++text, 1, 1000, denominator) ||
      *text != '\0') {
    return "W:H, each 1 to 1000";
  }
  line.pictureAspect = DisplayPresets::Aspect{int(numerator), int(denominator)};
  return "";
}

std::string applyFrameRate(CommandLine& line, const char* value) {
  long rate = 0;
  const char* text = value;
  if (!readNumber(text, 1, 1000, rate) || *text != '\0') return "frames per second, 1 to 1000";
  line.frameRate = int(rate);
  return "";
}

std::string applyHold(CommandLine& line, const char* value) {
  std::vector<double> beats;
  for (const char* text = value;;) {
    char* end = nullptr;
    const double beat = std::strtod(text, &end);
    if (end == text || !(beat >= 0 && beat <= 100000)) return "beats from 0 to 100000, separated by commas";
    beats.push_back(beat);
    if (*end == '\0') break;
    if (*end != ',') return "beats from 0 to 100000, separated by commas";
    text = end + 1;
  }
  line.holdBeats = beats;
  return "";
}

std::string applyTerminalColours(CommandLine& line, const char* value) {
  ColourMode mode;
  if (!parseColourMode(value, &mode)) return "16, 256 or 24bit";
  line.terminalColours = value;
  return "";
}

std::string applyFps(CommandLine& line, const char* value) {
  long fps = 0;
  const char* text = value;
  if (!readNumber(text, 1, 240, fps) || *text != '\0') return "frames per second, 1 to 240";
  line.fps = static_cast<int>(fps);
  return "";
}

// A beat of the show: a decimal number from 0 on, fractions allowed.
std::string applyBeat(std::optional<double>& beat, const char* value) {
  const char* kExpected = "a beat from 0 to 100000, e.g. 12 or 44.5";
  // Plain decimals only: strtod alone would also take "0x10" or " 3".
  if (*value < '0' || *value > '9') return kExpected;
  for (const char* c = value; *c; ++c)
    if ((*c < '0' || *c > '9') && *c != '.') return kExpected;
  char* end = nullptr;
  const double parsed = std::strtod(value, &end);
  if (*end != '\0' || parsed > 100000.0) return kExpected;
  beat = parsed;
  return "";
}

std::string applyPath(std::string& path, const char* value) {
  // "--capture --frames x" is a forgotten value, not a file named --frames.
  if (*value == '\0' || std::strncmp(value, "--", 2) == 0) return "a path (write one that starts with -- as ./--NAME)";
  path = value;
  return "";
}

const Option kOptions[] = {
    {"--size", "WxH", "size in pixels, e.g. 1280x720; at most 8192 a side, 7680x4320 in all", applySize},
    {"--aspect", "RATIO", "aspect ratio of the picture: 4:3, 16:9 or 16:10", applyAspect},
    {"--windowed", nullptr, "run in a window",
     [](CommandLine& line, const char*) { line.presets.fullscreen = false; return std::string(); }},
    {"--fullscreen", nullptr, "run full screen",
     [](CommandLine& line, const char*) { line.presets.fullscreen = true; return std::string(); }},
    {"--vsync", nullptr, "wait for the display's refresh before each frame",
     [](CommandLine& line, const char*) { line.presets.vsync = true; return std::string(); }},
    {"--no-vsync", nullptr, "draw frames as fast as possible",
     [](CommandLine& line, const char*) { line.presets.vsync = false; return std::string(); }},
    {"--no-dialog", nullptr, "start at once with these settings or the dialog's defaults",
     [](CommandLine& line, const char*) { line.noDialog = true; return std::string(); }},
    {"--terminal", nullptr, "play the show in this text terminal (80 x 50 for the full picture)",
     [](CommandLine& line, const char*) { line.terminal = true; return std::string(); }},
    {"--colors", "16|256|24bit", "colours of --terminal, instead of those the terminal announces",
     applyTerminalColours},
    {"--reduce-flashing", nullptr, "at most 3 flashes (3 red ones) a second on any third of the screen",
     [](CommandLine& line, const char*) { line.reduceFlashing = true; return std::string(); }},
    {"--mute", nullptr, "play the show without sound, at the song's pace (no sound device needed)",
     [](CommandLine& line, const char*) { line.mute = true; return std::string(); }},
    // Hidden: deterministic runs for tests and captures.
    {"--picture-aspect", "W:H", nullptr, applyPictureAspect},
    {"--frame-rate", "FPS", nullptr, applyFrameRate},
    {"--hold", "BEATS", nullptr, applyHold},
    {"--capture", "FILE", "record the show to an MP4 video (H.264, AAC) instead",
     [](CommandLine& line, const char* value) { return applyPath(line.captureFile, value); }},
    {"--frames", "DIR", "record the show's frames as PNG files into DIR",
     [](CommandLine& line, const char* value) { return applyPath(line.framesDir, value); }},
    {"--fps", "N", "frames per second of a recording (default 60)", applyFps},
    {"--from", "BEAT", "start a recording at this beat (default 0)",
     [](CommandLine& line, const char* value) { return applyBeat(line.fromBeat, value); }},
    {"--to", "BEAT", "end a recording at this beat (default: the song's end + 2 s)",
     [](CommandLine& line, const char* value) { return applyBeat(line.toBeat, value); }},
    {"--help", nullptr, "show this help and exit",
     [](CommandLine& line, const char*) { line.action = CommandLine::Action::Help; return std::string(); }},
    {"--version", nullptr, "show the version and exit",
     [](CommandLine& line, const char*) { line.action = CommandLine::Action::Version; return std::string(); }},
};

const Option* findOption(const std::string& name) {
  for (const Option& option : kOptions) {
    if (name == option.name) return &option;
  }
  return nullptr;
}

CommandLine fail(std::string error) {
  CommandLine line;
  line.action = CommandLine::Action::Fail;
  line.error = std::move(error);
  return line;
}

// A path as it will be reached: absolute, tidy, with the links of its
// existing part followed.
std::filesystem::path resolvedPath(const std::string& path) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, error), error);
  return error ? std::filesystem::path(path).lexically_normal() : resolved;
}

// What a recording cannot do, found before anything starts: "" when fine.
std::string recordingProblem(const CommandLine& line) {
  if (!line.captureFile.empty() && !line.framesDir.empty()) {
    const std::filesystem::path video = resolvedPath(line.captureFile);
    const std::filesystem::path frames = resolvedPath(line.framesDir);
    const auto mismatch = std::mismatch(video.begin(), video.end(), frames.begin(), frames.end());
    if (mismatch.first == video.end()) {
      return "--capture and --frames name the same place (" + line.captureFile + ", " + line.framesDir +
             "): the video is a file, the frames need a directory";
    }
  }
  // H.264 pictures (4:2:0) have even sides.
  if (!line.captureFile.empty() && line.presets.size &&
      (line.presets.size->width % 2 != 0 || line.presets.size->height % 2 != 0)) {
    return "--capture needs an even --size (H.264 video), got " + std::to_string(line.presets.size->width) + "x" +
           std::to_string(line.presets.size->height);
  }
  return "";
}

const char kSynopsis[] = "Usage: kestrune [OPTION]...\n";

const char kHelpIntro[] =
    "\nKestrune, a text-mode demo with music that ends in a game of Snake.\n"
    "A dialog first asks for the display settings; the options preset it,\n"
    "and --no-dialog starts the show at once.\n"
    "Defaults: the largest mode the display lists, full screen, vertical\n"
    "sync and a 4:3 picture, between black bars on a 16:9 or 16:10 screen;\n"
    "sound on, flashing not reduced.\n\n";

const char kHelpOutro[] =
    "\nKeys: Escape quits. In the closing Snake scene 1 watches the automatic\n"
    "player, 2 plays with the cursor keys; F9 puts the fire out, F8 lights it.\n"
    "\nA recording (--capture, --frames) draws the show off-screen as fast as the\n"
    "machine allows, frame n at n / fps seconds, at --size (default 1920x1080);\n"
    "the picture fills the frame unless --aspect is given. Files appear only\n"
    "when the recording is complete.\n"
    "\n--terminal plays the show with its music in the terminal it runs in, no\n"
    "display needed; a terminal smaller than 80 x 50 gets a reduced picture.\n"
    "\nSound plays through a PulseAudio or PipeWire server (PULSE_SERVER, and\n"
    "PULSE_SINK for the output), else ALSA's default device; without one the\n"
    "show does not start, and --mute plays it silent on the clock.\n"
    "\n--reduce-flashing (window, terminal and recordings): while a large part\n"
    "of the picture flashes more often, that part moves on in steps, five a\n"
    "second, and a flash that would still be one too many shows dimmed.\n"
    "\nExit status: 0 when the show or the dialog is left, 1 after a fatal error,\n"
    "2 for a wrong command line or a terminal --terminal cannot use, 128 + the\n"
    "signal for an interrupted recording or terminal show (Ctrl-C: 130).\n";

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.compare(0, 2, "--") != 0) return fail("unexpected argument '" + argument + "'");
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const Option* option = findOption(name);
    if (!option) return fail("unknown option '" + name + "'");

    const char* value = nullptr;
    if (option->valueName) {
      if (equals != std::string::npos) {
        value = argv[i] + equals + 1;
      } else if (i + 1 < argc) {
        value = argv[++i];
      } else {
        return fail("option '" + name + "' needs a value (" + option->valueName + ")");
      }
    } else if (equals != std::string::npos) {
      return fail("option '" + name + "' takes no value");
    }

    const std::string expected = option->apply(line, value);
    if (!expected.empty()) {
      return fail("invalid value '" + std::string(value) + "' for " + name + ": expected " +
                  expected);
    }
    if (line.action != CommandLine::Action::Run) return line;
  }
  if (!line.records() && (line.fromBeat || line.toBeat || line.fps)) {
    return fail("--fps, --from and --to belong to a recording (--capture or --frames)");
  }
  if (line.terminal && line.records()) return fail("--terminal cannot be combined with a recording");
  if (!line.terminalColours.empty() && !line.terminal) return fail("--colors belongs to --terminal");
  if (line.fromBeat && line.toBeat && *line.toBeat <= *line.fromBeat) {
    return fail("--to must come after --from");
  }
  const std::string problem = recordingProblem(line);
  if (!problem.empty()) return fail(problem);
  return line;
}

namespace {

std::string optionList() {
  std::string list = "Options:\n";
  for (const Option& option : kOptions) {
    if (!option.help) continue;
    std::string left = std::string("  ") + option.name;
    if (option.valueName) left += std::string(" ") + option.valueName;
    left.resize(std::max<size_t>(left.size() + 2, 20), ' ');
    list += left + option.help + "\n";
  }
  return list;
}

}  // namespace

std::vector<std::string> documentedOptions() {
  std::vector<std::string> names;
  for (const Option& option : kOptions) {
    if (option.help) names.push_back(option.name);
  }
  return names;
}

namespace {

// Text for roff: hyphens as minus signs (option names must not break or
// turn into dashes), backslashes escaped.
std::string roffText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '-' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

std::string manualOptionEntries() {
  std::string entries;
  for (const Option& option : kOptions) {
    if (!option.help) continue;
    entries += ".TP\n";
    if (option.valueName) {
      entries += ".BI " + roffText(option.name) + " \" " + roffText(option.valueName) + "\"\n";
    } else {
      entries += ".B " + roffText(option.name) + "\n";
    }
    std::string help = option.help;
    help[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(help[0])));
    entries += "\\&" + roffText(help) + ".\n";
  }
  return entries;
}

std::string commandLineUsage() { return kSynopsis + ("\n" + optionList()); }

int reportCommandLine(const CommandLine& line, FILE* out, FILE* err) {
  switch (line.action) {
    case CommandLine::Action::Run:
      return -1;
    case CommandLine::Action::Help:
      std::fprintf(out, "%s%s%s%s", kSynopsis, kHelpIntro, optionList().c_str(), kHelpOutro);
      return 0;
    case CommandLine::Action::Version:
      std::fprintf(out, "kestrune %s\n", KESTRUNE_VERSION);
      return 0;
    case CommandLine::Action::Fail:
      std::fprintf(err, "kestrune: %s\n%s", line.error.c_str(), commandLineUsage().c_str());
      return 2;
  }
  return 2;
}
