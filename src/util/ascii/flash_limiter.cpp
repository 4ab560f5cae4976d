#include "util/ascii/flash_limiter.h"

#include <algorithm>
#include <utility>

#include "util/error.h"

namespace {

// A frame's swing counts against those of the second before it: the frames
// after the one a second earlier (half a frame at 60 a second spares that
// one from rounded frame times).
constexpr int64_t kWindowMs = 992;

// Tighter than the measure, so that sums taken in another order by an
// analyser of the rendered pictures never find a swing the limiter missed.
constexpr float kLimiterLuminanceSwing = kLuminanceSwing - 0.005f;
constexpr float kLimiterDarkerBelow = kDarkerBelow + 0.005f;
constexpr float kLimiterRedSwing = kRedSwing - 0.5f;

int cellCount() { return AsciiEngine::kCells; }

float distance(const FlashLimiter::CellLook& a, const FlashLimiter::CellLook& b) {
  // Brightness differences weigh less than colour ones: a damped flash
  // should look like a dimmer version of itself, not like another colour.
  const float dl = a.luma - b.luma, db = a.blueDiff - b.blueDiff, dr = a.redDiff - b.redDiff;
  return dl * dl + 4.0f * (db * db + dr * dr);
}

}  // namespace

FlashArea::FlashArea() : windows_(kAcross * kDown), over_(AsciiEngine::kCells) {}

void FlashArea::startFrame(const std::vector<unsigned char>& overLimit) {
  over_ = overLimit;
  std::fill(windows_.begin(), windows_.end(), 0);
  for (int cell = 0; cell < AsciiEngine::kCells; ++cell) {
    if (over_[static_cast<size_t>(cell)]) {
      over_[static_cast<size_t>(cell)] = 0;
      take(cell);
    }
  }
}

bool FlashArea::allows(int cell) const {
  if (over_[static_cast<size_t>(cell)]) return true;
  const int column = cell % AsciiEngine::kColumns, row = cell / AsciiEngine::kColumns;
  for (int y = std::max(0, row - kWindowRows + 1); y <= std::min(kDown - 1, row); ++y)
    for (int x = std::max(0, column - kWindowColumns + 1); x <= std::min(kAcross - 1, column); ++x)
      if (windows_[static_cast<size_t>(y * kAcross + x)] >= kMostPerWindow) return false;
  return true;
}

void FlashArea::take(int cell) {
  if (over_[static_cast<size_t>(cell)]) return;
  over_[static_cast<size_t>(cell)] = 1;
  const int column = cell % AsciiEngine::kColumns, row = cell / AsciiEngine::kColumns;
  for (int y = std::max(0, row - kWindowRows + 1); y <= std::min(kDown - 1, row); ++y)
    for (int x = std::max(0, column - kWindowColumns + 1); x <= std::min(kAcross - 1, column); ++x)
      ++windows_[static_cast<size_t>(y * kAcross + x)];
}

FlashLimiter::FlashLimiter(ScreenRenderer* nextRenderer, GlyphAtlas atlas)
    : next(nextRenderer),
      atlas_(std::move(atlas)),
      order_(static_cast<size_t>(cellCount())),
      luminanceCounts_(static_cast<size_t>(cellCount())),
      redCounts_(static_cast<size_t>(cellCount())),
      looks_(256),
      state_(AsciiEngine::kCells),
      before_(AsciiEngine::kCells),
      history_(AsciiEngine::kCells),
      limited_(nullptr) {
  // A fixed shuffle with a generator of its own: the show's random sequence
  // stays untouched.
  uint32_t seed = 0x2545F491u;
  for (int i = 0; i < cellCount(); ++i) order_[static_cast<size_t>(i)] = i;
  for (int i = cellCount() - 1; i > 0; --i) {
    seed = seed * 1664525u + 1013904223u;
    std::swap(order_[static_cast<size_t>(i)], order_[static_cast<size_t>((seed >> 8) % static_cast<uint32_t>(i + 1))]);
  }
}

FlashLimiter::~FlashLimiter() = default;

std::unique_ptr<FlashLimiter> FlashLimiter::forShow(ScreenRenderer* nextRenderer) {
  const char* const kChart = "data/common/images/asciichart.png";
  ChartPixels chart;
  if (!loadChartPixels(kChart, &chart)) ErrorBox("Cannot read the character chart %s", kChart);
  return std::unique_ptr<FlashLimiter>(new FlashLimiter(nextRenderer, buildGlyphAtlas(chart)));
}

const FlashLimiter::CellLook& FlashLimiter::look(int glyph, int fg, int bg, const AsciiEngine& engine) {
  std::unique_ptr<GlyphLooks>& table = looks_[static_cast<size_t>(glyph & 255)];
  if (!table) {
    // Every colour pair of this glyph, pixel by pixel as the renderers add
    // the two masks.
    table.reset(new GlyphLooks());
    const int pixels = GlyphAtlas::kCellWidth * GlyphAtlas::kCellHeight;
    for (int f = 0; f < 16; ++f) {
      for (int b = 0; b < 16; ++b) {
        float linear[3] = {0, 0, 0}, srgb[3] = {0, 0, 0};
        for (int y = 0; y < GlyphAtlas::kCellHeight; ++y) {
          for (int x = 0; x < GlyphAtlas::kCellWidth; ++x) {
            const unsigned char* fgMask = atlas_.foreground(glyph & 255, x, y);
            const unsigned char* bgMask = atlas_.background(glyph & 255, x, y);
            for (int c = 0; c < 3; ++c) {
              int level = maskedLevel(engine.colour(b)[c], bgMask[c]) + maskedLevel(engine.colour(f)[c], fgMask[c]);
              if (level > 255) level = 255;
              linear[c] += linearLevel(level);
              srgb[c] += level / 255.0f;
            }
          }
        }
        for (int c = 0; c < 3; ++c) {
          linear[c] /= pixels;
          srgb[c] /= pixels;
        }
        CellLook& out = table->byColours[static_cast<size_t>(f * 16 + b)];
        out.luminance = relativeLuminance(linear[0], linear[1], linear[2]);
        out.red = redLevel(linear[0], linear[1], linear[2]);
        out.luma = 0.299f * srgb[0] + 0.587f * srgb[1] + 0.114f * srgb[2];
        out.blueDiff = srgb[2] - out.luma;
        out.redDiff = srgb[0] - out.luma;
      }
    }
    // A full block hides its background: 16 looks, not 256, to choose from.
    for (int pair = 0; pair < 256; ++pair) {
      const CellLook& l = table->byColours[static_cast<size_t>(pair)];
      bool seen = false;
      for (unsigned char other : table->distinct) {
        const CellLook& o = table->byColours[other];
        seen = seen || (o.luminance == l.luminance && o.red == l.red && o.luma == l.luma &&
                        o.blueDiff == l.blueDiff && o.redDiff == l.redDiff);
      }
      if (!seen) table->distinct.push_back(static_cast<unsigned char>(pair));
    }
  }
  return table->byColours[static_cast<size_t>((fg & 15) * 16 + (bg & 15))];
}

void FlashLimiter::beginFrame(int64_t milliseconds) {
  now_ = milliseconds;
  presentsThisFrame_ = 0;
}

void FlashLimiter::present(const AsciiEngine& engine) {
  // A second screen in the same frame is limited against the frames before,
  // like the first.
  if (presentsThisFrame_++ == 0) {
    before_ = state_;
  } else {
    state_ = before_;
  }
  limited_ = engine;
  limited_.renderer = nullptr;
  changedCells = 0;
  std::vector<unsigned char> luminanceOver(static_cast<size_t>(cellCount())), redOver(luminanceOver.size());
  for (size_t i = 0; i < luminanceOver.size(); ++i) {
    luminanceCounts_[i] = history_[i].luminance.countAfter(now_ - kWindowMs);
    redCounts_[i] = history_[i].red.countAfter(now_ - kWindowMs);
    luminanceOver[i] = luminanceCounts_[i] > kSafeTransitionsPerSecond;
    redOver[i] = redCounts_[i] > kSafeTransitionsPerSecond;
  }
  luminanceArea_.startFrame(luminanceOver);
  redArea_.startFrame(redOver);
  for (int i : order_) limitCell(i, engine);
  changedTotal += changedCells;
  if (next != nullptr) next->present(limited_);
}

void FlashLimiter::limitCell(int i, const AsciiEngine& engine) {
  CellState& state = state_[static_cast<size_t>(i)];
  CellHistory& history = history_[static_cast<size_t>(i)];
  const int glyph = engine.chars[i];
  // One more transition in a second than is safe: only where the area rule
  // leaves room.
  const bool luminanceSpent = luminanceCounts_[static_cast<size_t>(i)] >= kSafeTransitionsPerSecond;
  const bool redSpent = redCounts_[static_cast<size_t>(i)] >= kSafeTransitionsPerSecond;
  const bool luminanceFree = !luminanceSpent || luminanceArea_.allows(i);
  const bool redFree = !redSpent || redArea_.allows(i);

  // Feeds a look to copies of the cell's trackers: whether it is allowed,
  // and the trackers and transitions it leaves.
  struct Outcome {
    bool allowed;
    CellState after;
    bool luminanceTurn, redTurn;
  };
  auto tryLook = [&](const CellLook& l) {
    Outcome o{true, state, false, false};
    o.luminanceTurn = o.after.luminance.feed(l.luminance, kLimiterLuminanceSwing, kLimiterDarkerBelow);
    o.redTurn = o.after.red.feed(l.red, kLimiterRedSwing, kNoDarkLimit);
    o.allowed = !(o.luminanceTurn && !luminanceFree) && !(o.redTurn && !redFree);
    return o;
  };

  const CellLook wanted = look(glyph, engine.fg[i], engine.bg[i], engine);
  Outcome chosen = tryLook(wanted);
  if (!chosen.allowed) {
    // The nearest look of the same glyph that keeps within the budget; the
    // cell as shown last is always one (it changes nothing).
    const CellLook shown = look(history.chars, history.fg, history.bg, engine);
    float best = distance(wanted, shown);
    int bestFg = history.fg, bestBg = history.bg, bestGlyph = history.chars;
    chosen = tryLook(shown);
    const GlyphLooks& looks = *looks_[static_cast<size_t>(glyph)];
    for (unsigned char pair : looks.distinct) {
      const CellLook& candidate = looks.byColours[pair];
      const float d = distance(wanted, candidate);
      if (d >= best) continue;
      const Outcome o = tryLook(candidate);
      if (!o.allowed) continue;
      best = d;
      chosen = o;
      bestGlyph = glyph;
      bestFg = pair / 16;
      bestBg = pair % 16;
    }
    limited_.chars[i] = static_cast<unsigned char>(bestGlyph);
    limited_.fg[i] = static_cast<unsigned char>(bestFg);
    limited_.bg[i] = static_cast<unsigned char>(bestBg);
    ++changedCells;
  }
  state = chosen.after;
  if (chosen.luminanceTurn) {
    history.luminance.add(now_);
    if (luminanceSpent) luminanceArea_.take(i);
  }
  if (chosen.redTurn) {
    history.red.add(now_);
    if (redSpent) redArea_.take(i);
  }
  history.chars = limited_.chars[i];
  history.fg = limited_.fg[i];
  history.bg = limited_.bg[i];
}
