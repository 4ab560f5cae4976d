#include "capture/progress_line.h"

#include <unistd.h>

#include <cmath>
#include <utility>

namespace {

constexpr double kRedrawSeconds = 0.25;

std::string clockText(double seconds) {
  const long whole = std::lround(seconds);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

}  // namespace

ProgressLine::ProgressLine(FILE* out, int64_t total, std::string label)
    : out_(out), total_(total), label_(std::move(label)), enabled_(out != nullptr && isatty(fileno(out))) {}

std::string ProgressLine::format(int64_t done, int64_t total, double seconds) {
  const double share = total > 0 ? static_cast<double>(done) / total : 1.0;
  const double rate = seconds > 0.0 ? done / seconds : 0.0;
  std::string left = "--:--";
  if (rate > 0.0) left = clockText((total - done) / rate);
  char text[160];
  std::snprintf(text, sizeof text, "%3d%%  frame %lld/%lld  %.1f fps  %s left", static_cast<int>(share * 100.0),
                static_cast<long long>(done), static_cast<long long>(total), rate, left.c_str());
  return text;
}

void ProgressLine::update(int64_t done, double seconds) {
  if (!enabled_) return;
  if (shown_ && done < total_ && seconds - lastDrawn_ < kRedrawSeconds) return;
  lastDrawn_ = seconds;
  shown_ = true;
  // Clear to the end of the line: the new text may be shorter.
  std::fprintf(out_, "\r%s%s\033[K", label_.c_str(), format(done, total_, seconds).c_str());
  std::fflush(out_);
}

void ProgressLine::finish() {
  if (enabled_ && shown_) std::fputc('\n', out_);
  shown_ = false;
}
