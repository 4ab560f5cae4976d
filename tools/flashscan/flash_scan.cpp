#include "flash_scan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

FlashScan::FlashScan(int columns, int rows, int fps, int firstFrame)
    : columns_(columns),
      rows_(rows),
      fps_(fps),
      windowColumns_((columns + 2) / 3),
      windowRows_((rows + 2) / 3),
      firstFrame_(firstFrame),
      frame_(firstFrame),
      areas_(static_cast<size_t>(columns) * rows),
      table_(static_cast<size_t>(columns + 1) * (rows + 1)) {}

void FlashScan::addFrame(const unsigned char* rgb, int width, int height) {
  std::vector<double> sums(areas_.size() * 3, 0.0);
  std::vector<int> pixels(areas_.size(), 0);
  for (int y = 0; y < height; ++y) {
    const int row = static_cast<int>(static_cast<int64_t>(y) * rows_ / height);
    for (int x = 0; x < width; ++x) {
      const int column = static_cast<int>(static_cast<int64_t>(x) * columns_ / width);
      const size_t a = static_cast<size_t>(row) * columns_ + column;
      const unsigned char* p = rgb + (static_cast<size_t>(y) * width + x) * 3;
      for (int c = 0; c < 3; ++c) sums[a * 3 + c] += linearLevel(p[c]);
      ++pixels[a];
    }
  }
  std::vector<int> luminanceCounts(areas_.size()), redCounts(areas_.size());
  const int64_t since = frame_ - fps_;
  for (size_t a = 0; a < areas_.size(); ++a) {
    Area& area = areas_[a];
    const double n = pixels[a] > 0 ? pixels[a] : 1;
    const float r = static_cast<float>(sums[a * 3] / n), g = static_cast<float>(sums[a * 3 + 1] / n),
                b = static_cast<float>(sums[a * 3 + 2] / n);
    if (area.luminance.feed(relativeLuminance(r, g, b), kLuminanceSwing, kDarkerBelow)) area.luminanceTurns.add(frame_);
    if (area.red.feed(redLevel(r, g, b), kRedSwing, kNoDarkLimit)) area.redTurns.add(frame_);
    luminanceCounts[a] = area.luminanceTurns.countAfter(since);
    redCounts[a] = area.redTurns.countAfter(since);
  }
  double rate, share;
  judge(luminanceCounts, &rate, &share);
  record(general_, frame_, rate, share);
  worstGeneral_ = std::max(worstGeneral_, rate);
  judge(redCounts, &rate, &share);
  record(red_, frame_, rate, share);
  worstRed_ = std::max(worstRed_, rate);
  ++frame_;
}

void FlashScan::judge(const std::vector<int>& counts, double* rate, double* share) {
  *rate = 0;
  *share = 0;
  const int most = *std::max_element(counts.begin(), counts.end());
  const int area = windowColumns_ * windowRows_;
  const int stride = columns_ + 1;
  // From the first rate above the limit upwards: the share of each window's
  // areas at or above it.
  for (int level = kSafeTransitionsPerSecond + 1; level <= most; ++level) {
    for (int y = 0; y < rows_; ++y) {
      int rowSum = 0;
      for (int x = 0; x < columns_; ++x) {
        rowSum += counts[static_cast<size_t>(y) * columns_ + x] >= level ? 1 : 0;
        table_[static_cast<size_t>(y + 1) * stride + x + 1] = table_[static_cast<size_t>(y) * stride + x + 1] + rowSum;
      }
    }
    int best = 0;
    for (int y = 0; y + windowRows_ <= rows_; ++y) {
      for (int x = 0; x + windowColumns_ <= columns_; ++x) {
        const auto at = [&](int cx, int cy) { return table_[static_cast<size_t>(cy) * stride + cx]; };
        const int inside = at(x + windowColumns_, y + windowRows_) - at(x, y + windowRows_) -
                           at(x + windowColumns_, y) + at(x, y);
        best = std::max(best, inside);
      }
    }
    if (level == kSafeTransitionsPerSecond + 1) *share = static_cast<double>(best) / area;
    if (best * 4 <= area) break;
    *rate = level / 2.0;
  }
}

void FlashScan::record(std::vector<Episode>& episodes, int frame, double rate, double share) const {
  if (rate <= 0) return;
  // Less than a second apart: one stretch of flashing, as a viewer sees it.
  if (episodes.empty() || episodes.back().lastFrame < frame - fps_) {
    episodes.push_back(Episode{});
    episodes.back().firstFrame = frame;
  }
  Episode& e = episodes.back();
  e.lastFrame = frame;
  e.flashesPerSecond = std::max(e.flashesPerSecond, rate);
  e.share = std::max(e.share, share);
}

namespace {

std::string clock(double seconds) {
  char text[32];
  const int minutes = static_cast<int>(seconds / 60);
  std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - minutes * 60);
  return text;
}

void describe(std::string& out, const char* kind, const std::vector<FlashScan::Episode>& episodes, int fps,
              double secondsPerBeat) {
  out += kind;
  out += episodes.empty() ? ": none above 3 a second\n" : " above 3 a second:\n";
  for (const FlashScan::Episode& e : episodes) {
    // A flash is judged over the second before its frame: the episode's
    // flashing began up to a second before it is first seen.
    const double from = std::max(0.0, (e.firstFrame - fps + 1.0) / fps), to = (e.lastFrame + 1.0) / fps;
    char line[200];
    std::snprintf(line, sizeof line, "  %s-%s  beats %.1f-%.1f  up to %.1f a second, over up to %.0f %% of a window\n",
                  clock(from).c_str(), clock(to).c_str(), from / secondsPerBeat, to / secondsPerBeat,
                  e.flashesPerSecond, e.share * 100.0);
    out += line;
  }
}

}  // namespace

std::string describeScan(const FlashScan& scan, double secondsPerBeat) {
  char head[200];
  const double first = static_cast<double>(scan.firstFrame()) / scan.fps();
  std::snprintf(head, sizeof head, "%d frames at %d a second (%s-%s), windows of %d x %d areas\n", scan.frames(),
                scan.fps(), clock(first).c_str(),
                clock(first + static_cast<double>(scan.frames()) / scan.fps()).c_str(), scan.windowColumns(),
                scan.windowRows());
  std::string out = head;
  describe(out, "general flashes", scan.general(), scan.fps(), secondsPerBeat);
  describe(out, "red flashes", scan.red(), scan.fps(), secondsPerBeat);
  char tail[120];
  std::snprintf(tail, sizeof tail, "worst: %.1f general and %.1f red flashes a second\n", scan.worstGeneral(),
                scan.worstRed());
  out += tail;
  return out;
}
