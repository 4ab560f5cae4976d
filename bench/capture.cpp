// Recording speed: how many seconds of video the recorder makes per second
// at 1920 x 1080 and 1280 x 720, and where the time goes (drawing, reading
// back, encoding). Needs a display and data.tvl:
//
//   cd build && xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX"
//       bench/bench_capture [--from BEAT] [--seconds S] [--preset P] [--split]
//
// --split waits for each frame's drawing to finish before reading it back,
// so that drawing and reading back are told apart (and the run is slower).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "capture/capture_command.h"
#include "capture/show_recorder.h"
#include "util/data/data.h"

int main(int argc, char** argv) {
  // Frames before --from are drawn too (not timed): a late start costs time.
  double fromBeat = 0.0;
  double seconds = 10.0;
  RecorderTuning tuning;
  tuning.showProgress = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--from" && i + 1 < argc) {
      fromBeat = std::atof(argv[++i]);
    } else if (arg == "--seconds" && i + 1 < argc) {
      seconds = std::atof(argv[++i]);
    } else if (arg == "--preset" && i + 1 < argc) {
      tuning.preset = argv[++i];
    } else if (arg == "--split") {
      tuning.separateDrawing = true;
    } else {
      std::fprintf(stderr, "usage: bench_capture [--from BEAT] [--seconds S] [--preset P] [--split]\n");
      return 2;
    }
  }

  std::string why, renderer;
  if (!openRecordingContext(1920, 1080, why, renderer)) {
    std::fprintf(stderr, "bench_capture: %s\n", why.c_str());
    return 1;
  }
  data_mode = DATA_MODE_ARCHIVE;
  data_open_archive();
  std::printf("renderer: %s, x264 preset %s, beats %.1f to %.1f%s\n", renderer.c_str(), tuning.preset.c_str(),
              fromBeat, fromBeat + seconds / 0.3, tuning.separateDrawing ? ", drawing finished before readback" : "");
  std::printf("%-10s %7s %9s %9s %8s %9s %8s\n", "size", "frames", "video s", "wall s", "x real", "draw", "readback");

  const int sizes[][2] = {{1280, 720}, {1920, 1080}};
  for (const auto& size : sizes) {
    CaptureRequest request;
    request.videoPath = "bench_capture.mp4";
    request.width = size[0];
    request.height = size[1];
    request.fromBeat = fromBeat;
    request.toBeat = fromBeat + seconds / 0.3;
    CaptureStats stats;
    std::string error;
    if (!recordShow(request, tuning, stats, error)) {
      std::fprintf(stderr, "bench_capture: %s\n", error.c_str());
      return 1;
    }
    std::remove(request.videoPath.c_str());
    const double total = stats.totalSeconds;
    std::printf("%4dx%-5d %7lld %9.2f %9.2f %8.2f %8.0f%% %7.0f%%   encoding (worker) %.0f%%\n", size[0], size[1],
                static_cast<long long>(stats.frames), stats.videoSeconds, total, stats.videoSeconds / total,
                100.0 * stats.drawSeconds / total, 100.0 * stats.readbackSeconds / total,
                100.0 * stats.encodeSeconds / total);
    std::fflush(stdout);
  }
  std::printf("draw and readback run on the drawing thread; encoding runs beside them on a worker,\n"
              "so the shares may add up to more than 100%%.\n");
  return 0;
}
