// Recording speed: how many seconds of video the recorder makes per second
// at 1280 x 720 and 1920 x 1080, for the program's configuration and for
// the previous release's in the same run, and where the time goes. The
// default stretch, beats 32 to 132, holds the dearest scenes: the end of the
// fire, the talking mask and the start of the dance. Needs data.tvl (and a
// display only where EGL has no surfaceless platform):
//
//   cd build && bench/bench_capture [--from BEAT] [--seconds S] [--rounds N]
//       [--preset P] [--crf N] [--split] [--keep]
//
// The machine is shared: the two configurations take turns, each size
// `--rounds` times, and the best round of each counts. Besides the wall
// clock the process's CPU time per second of video is shown, the figure
// that does not depend on the load: with nothing else running, two cores
// make at most 2 / that many times real time.
// --keep leaves the videos (bench_capture_<size>_{earlier,now}.mp4); with
// --crf 0 they are lossless, the reference to measure the quality against.
// --split waits for each frame's drawing to finish before reading it back,
// so that drawing and reading back are told apart (and the run is slower).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/capture_command.h"
#include "capture/show_recorder.h"
#include "util/data/data.h"

namespace {

struct Round {
  CaptureStats stats;
  double speed() const { return stats.videoSeconds / stats.totalSeconds; }
  double cpuPerVideoSecond() const { return stats.cpuSeconds / stats.videoSeconds; }
};

}  // namespace

int main(int argc, char** argv) {
  // Frames before --from are drawn too (not timed): a late start costs time.
  double fromBeat = 32.0;
  double seconds = 30.0;
  int rounds = 1;
  bool keep = false;  // leave the last videos of both configurations, to compare their quality
  RecorderTuning tuning;
  tuning.showProgress = false;
  int crf = -1;  // the configurations' own unless given
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--from" && i + 1 < argc) {
      fromBeat = std::atof(argv[++i]);
    } else if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--preset" && i + 1 < argc) {
      tuning.preset = argv[++i];
    } else if (arg == "--crf" && i + 1 < argc) {
      crf = std::atoi(argv[++i]);
    } else if (arg == "--keep") {
      keep = true;
    } else if (arg == "--split") {
      tuning.separateDrawing = true;
    } else {
      std::fprintf(stderr,
                   "usage: bench_capture [--from BEAT] [--seconds S] [--rounds N] [--preset P] [--crf N] [--split] [--keep]\n");
      return 2;
    }
  }
  RecorderTuning earlier = RecorderTuning::earlier();
  earlier.showProgress = false;
  earlier.separateDrawing = tuning.separateDrawing;
  if (crf >= 0) tuning.crf = earlier.crf = crf;

  std::string why, renderer;
  if (!openRecordingContext(1920, 1080, why, renderer)) {
    std::fprintf(stderr, "bench_capture: %s\n", why.c_str());
    return 1;
  }
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  std::printf("renderer: %s, beats %.1f to %.1f, best of %d rounds%s\n", renderer.c_str(), fromBeat,
              fromBeat + seconds / 0.3, rounds, tuning.separateDrawing ? ", drawing finished before readback" : "");
  std::printf("now:     x264 preset %s crf %d\n", tuning.preset.c_str(), tuning.crf);
  std::printf("earlier: x264 preset %s crf %d\n\n", earlier.preset.c_str(), earlier.crf);
  std::printf("%-10s %-8s %7s %8s %7s %8s %6s %9s %7s\n", "size", "config", "frames", "wall s", "x real",
              "cpu/vid", "draw", "readback", "encode");

  const int sizes[][2] = {{1280, 720}, {1920, 1080}};
  for (const auto& size : sizes) {
    CaptureRequest request;
    request.width = size[0];
    request.height = size[1];
    request.fromBeat = fromBeat;
    request.toBeat = fromBeat + seconds / 0.3;
    Round best[2];
    for (int round = 0; round < rounds; ++round) {
      for (int config = 0; config < 2; ++config) {
        Round r;
        std::string error;
        request.videoPath = std::string("bench_capture_") + std::to_string(size[0]) + "x" +
                            std::to_string(size[1]) + (config == 0 ? "_earlier" : "_now") + ".mp4";
        if (!recordShow(request, config == 0 ? earlier : tuning, r.stats, error)) {
          std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
          return 1;
        }
        if (!keep) std::remove(request.videoPath.c_str());
        if (round == 0 || r.speed() > best[config].speed()) best[config] = r;
      }
    }
    for (int config = 0; config < 2; ++config) {
      const Round& r = best[config];
      const double total = r.stats.totalSeconds;
      std::printf("%4dx%-5d %-8s %7lld %8.2f %7.2f %8.2f %5.0f%% %8.0f%% %6.0f%%\n", size[0], size[1],
                  config == 0 ? "earlier" : "now", static_cast<long long>(r.stats.frames), total, r.speed(),
                  r.cpuPerVideoSecond(), 100.0 * r.stats.drawSeconds / total,
                  100.0 * r.stats.readbackSeconds / total, 100.0 * r.stats.encodeSeconds / total);
    }
    std::printf("%4dx%-5d now / earlier: %.2f x the speed, %.2f x the CPU time\n\n", size[0], size[1],
                best[1].speed() / best[0].speed(), best[1].cpuPerVideoSecond() / best[0].cpuPerVideoSecond());
    std::fflush(stdout);
  }
  std::printf("draw and readback: shares of the drawing thread's wall time; encode: the worker's\n"
              "(converting, encoding, writing; with the scaling where the worker scales). Waiting for\n"
              "a free buffer counts as readback, and so does GL's drawing when nothing finishes it\n"
              "earlier (no swap, no --split).\n"
              "cpu/vid: CPU seconds of the whole process (all threads) per second of video.\n");
  return 0;
}
