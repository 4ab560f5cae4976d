// What `kestrune --terminal` costs on the line and on the CPU: the whole
// show on a stepped clock at 60 frames a second (beat 0 to two seconds after
// the song's end), each frame turned into terminal output and written to
// /dev/null as the player does it (only changed cells, colour codes where
// the colour changes), against a full redraw of the same frames in the same
// run. The three colour modes, and the reduced picture of an 80 x 24 terminal.
// Reports bytes per second (mean and the worst second), the output's CPU
// time per frame (mean, median, 99th percentile) and its share of one core
// at 60 frames a second; per scene slot the mean rate of the changed cells.
//
//   build/bench/bench_terminal_output --data=build/data.tvl
//
// The goal for the player: a mean of at most 1.5 MB/s and under 25 % of a
// core for its output.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "show/schedule.h"
#include "platform/layer_song_player.h"
#include "show/show_core.h"
#include "terminal/ansi_screen.h"
#include "terminal/terminal_output.h"
#include "terminal/terminal_session.h"
#include "util/ascii/reference_renderer.h"
#include "util/data/data.h"

namespace {

constexpr int kFps = 60;
constexpr double kBeatsPerSecond = 200.0 / 60.0;

double threadCpuMs() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// One way of writing the frames, with what it cost.
struct Variant {
  const char* name;
  AnsiScreen screen;
  TerminalSize size;
  bool fullRedraw;
  std::vector<double> cpuMs;
  std::vector<size_t> bytes;
};

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p * (values.size() - 1))];
}

void report(const Variant& v) {
  double bytes = 0, cpu = 0, worstSecond = 0, second = 0;
  for (size_t i = 0; i < v.bytes.size(); ++i) {
    bytes += v.bytes[i];
    cpu += v.cpuMs[i];
    second += v.bytes[i];
    if (i >= kFps) second -= v.bytes[i - kFps];
    worstSecond = std::max(worstSecond, second);
  }
  const double frames = static_cast<double>(v.bytes.size());
  const double meanMBps = bytes / frames * kFps / 1e6;
  const double meanCpu = cpu / frames;
  std::printf("%-32s %8.3f MB/s mean  %7.3f MB/s worst second  %7.3f ms/frame mean  %7.3f median  %7.3f p99  %5.1f %% of a core\n",
              v.name, meanMBps, worstSecond / 1e6, meanCpu, percentile(v.cpuMs, 0.5), percentile(v.cpuMs, 0.99),
              meanCpu * kFps / 10.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string archive = "data.tvl";
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--data=", 7) == 0) archive = argv[i] + 7;
  data_mode = DATA_MODE_ARCHIVE;
  data_read_archive(archive.c_str());
  const int sink = ::open("/dev/null", O_WRONLY);
  ChartPixels chart;
  if (!loadChartPixels(AsciiEngine::kChartFile, &chart)) {
    std::fprintf(stderr, "no character chart in %s\n", archive.c_str());
    return 1;
  }
  const std::array<uint8_t, 256> ink = glyphInk(chart);

  std::vector<Variant> variants;
  variants.push_back({"24-bit, changed cells", AnsiScreen(ColourMode::TrueColour, ink), {80, 50}, false, {}, {}});
  variants.push_back({"24-bit, full redraw", AnsiScreen(ColourMode::TrueColour, ink), {80, 50}, true, {}, {}});
  variants.push_back({"256 colours, changed cells", AnsiScreen(ColourMode::Ansi256, ink), {80, 50}, false, {}, {}});
  variants.push_back({"16 colours, changed cells", AnsiScreen(ColourMode::Ansi16, ink), {80, 50}, false, {}, {}});
  variants.push_back({"16 colours, full redraw", AnsiScreen(ColourMode::Ansi16, ink), {80, 50}, true, {}, {}});
  variants.push_back({"24-bit 80 x 24, changed cells", AnsiScreen(ColourMode::TrueColour, ink), {80, 24}, false, {}, {}});
  variants.push_back({"24-bit 80 x 24, full redraw", AnsiScreen(ColourMode::TrueColour, ink), {80, 24}, true, {}, {}});

  TerminalRenderer renderer;
  ShowOptions options;
  options.player = &platform::songPlayer();
  options.steppedFps = kFps;
  Show show(options);
  show.start();
  FrameOutput picture;
  picture.renderer = &renderer;
  const double lastBeat = 557.0 + 2.0 * kBeatsPerSecond;  // the song ends at beat 557
  std::string bytes;
  std::vector<double> frameBeats;
  for (long frame = 0; frame / double(kFps) * kBeatsPerSecond <= lastBeat; ++frame) {
    show.advance(picture);
    if (!renderer.takeFrame()) continue;
    frameBeats.push_back(frame / double(kFps) * kBeatsPerSecond);
    for (Variant& v : variants) {
      const double start = threadCpuMs();
      bytes.clear();
      if (v.fullRedraw) v.screen.invalidate();
      v.screen.compose(renderer.cells(), v.size, &bytes);
      writeWithin(sink, bytes.data(), bytes.size(), 1000);
      v.cpuMs.push_back(threadCpuMs() - start);
      v.bytes.push_back(bytes.size());
    }
  }
  std::printf("terminal output over the whole show: %zu frames at %d fps (beats 0 to %.0f)\n", frameBeats.size(), kFps,
              lastBeat);
  for (const Variant& v : variants) report(v);

  std::printf("\nper scene slot, 24-bit changed cells at 80 x 50:\n");
  for (const ScheduleSlot& slot : kShowSchedule) {
    double sum = 0;
    size_t count = 0;
    for (size_t i = 0; i < frameBeats.size(); ++i) {
      if (frameBeats[i] < slot.startTime || frameBeats[i] > std::min<double>(slot.endTime, lastBeat)) continue;
      sum += variants[0].bytes[i];
      ++count;
    }
    if (count) std::printf("  %-14s beats %3.0f-%-4.0f %7.3f MB/s\n", slot.name, slot.startTime, slot.endTime,
                           sum / count * kFps / 1e6);
  }
  ::close(sink);
  return 0;
}
