#include "util/ascii/flash_limiter.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "util/error.h"

namespace {

// A frame's swing counts against those of the second before it: the frames
// after the one a second earlier (half a frame at 60 a second spares that
// one from rounded frame times).
constexpr int64_t kWindowMs = 992;

// A held picture moves on five times a second: no cell swings more often,
// and each has room left for a swing from before the picture was held.
constexpr int64_t kStepMs = 200;
// A step put off while a flash passes is taken after this at the latest.
constexpr int64_t kLongestStepMs = 600;

// Tighter than the measure: an analyser sums the rendered pixels in
// another order, and a scaled picture blends each cell's edge with its
// neighbours', so a swing the limiter lets pass must stay clear of the
// thresholds.
constexpr float kLimiterLuminanceSwing = kLuminanceSwing - 0.02f;
constexpr float kLimiterDarkerBelow = kDarkerBelow + 0.03f;
constexpr float kLimiterRedSwing = kRedSwing - 2.0f;

int cellCount() { return AsciiEngine::kCells; }

float distance(const FlashLimiter::CellLook& a, const FlashLimiter::CellLook& b) {
  // Brightness differences weigh less than colour ones: a damped flash
  // should look like a dimmer version of itself, not like another colour.
  const float dl = a.luma - b.luma, db = a.blueDiff - b.blueDiff, dr = a.redDiff - b.redDiff;
  return dl * dl + 4.0f * (db * db + dr * dr);
}

}  // namespace

FlashArea::FlashArea()
    : grownSums_((AsciiEngine::kColumns + 1) * (AsciiEngine::kRows + 1)),
      crowdedSums_((kAcross + 1) * (kDown + 1)),
      held_(AsciiEngine::kCells) {}

void FlashArea::judge(const std::vector<unsigned char>& tooOften) {
  constexpr int kColumns = AsciiEngine::kColumns, kRows = AsciiEngine::kRows;
  if (std::find(tooOften.begin(), tooOften.end(), 1) == tooOften.end()) {
    std::fill(held_.begin(), held_.end(), 0);
    return;
  }
  const auto marked = [&](int x, int y) {
    return x >= 0 && x < kColumns && y >= 0 && y < kRows && tooOften[static_cast<size_t>(y * kColumns + x)] != 0;
  };
  // Each flashing cell with its eight neighbours, summed over areas.
  const int stride = kColumns + 1;
  for (int y = 0; y < kRows; ++y) {
    int rowSum = 0;
    for (int x = 0; x < kColumns; ++x) {
      bool grown = false;
      for (int dy = -1; dy <= 1 && !grown; ++dy)
        for (int dx = -1; dx <= 1 && !grown; ++dx) grown = marked(x + dx, y + dy);
      rowSum += grown ? 1 : 0;
      grownSums_[static_cast<size_t>((y + 1) * stride + x + 1)] = grownSums_[static_cast<size_t>(y * stride + x + 1)] + rowSum;
    }
  }
  const auto grownIn = [&](int x0, int y0, int x1, int y1) {  // x1, y1 exclusive
    return grownSums_[static_cast<size_t>(y1 * stride + x1)] - grownSums_[static_cast<size_t>(y0 * stride + x1)] -
           grownSums_[static_cast<size_t>(y1 * stride + x0)] + grownSums_[static_cast<size_t>(y0 * stride + x0)];
  };
  // The crowded windows, by their top left cell, summed again.
  const int windowStride = kAcross + 1;
  for (int y = 0; y < kDown; ++y) {
    int rowSum = 0;
    for (int x = 0; x < kAcross; ++x) {
      rowSum += grownIn(x, y, x + kWindowColumns, y + kWindowRows) > kMostPerWindow ? 1 : 0;
      crowdedSums_[static_cast<size_t>((y + 1) * windowStride + x + 1)] =
          crowdedSums_[static_cast<size_t>(y * windowStride + x + 1)] + rowSum;
    }
  }
  // A cell is held when a crowded window covers it or a neighbour.
  for (int y = 0; y < kRows; ++y) {
    const int y0 = std::max(0, y - kWindowRows), y1 = std::min(kDown, y + 2);
    for (int x = 0; x < kColumns; ++x) {
      const int x0 = std::max(0, x - kWindowColumns), x1 = std::min(kAcross, x + 2);
      const int crowded = crowdedSums_[static_cast<size_t>(y1 * windowStride + x1)] -
                          crowdedSums_[static_cast<size_t>(y0 * windowStride + x1)] -
                          crowdedSums_[static_cast<size_t>(y1 * windowStride + x0)] +
                          crowdedSums_[static_cast<size_t>(y0 * windowStride + x0)];
      held_[static_cast<size_t>(y * kColumns + x)] = crowded > 0 ? 1 : 0;
    }
  }
}

FlashLimiter::FlashLimiter(ScreenRenderer* nextRenderer, GlyphAtlas atlas)
    : next_(nextRenderer),
      atlas_(std::move(atlas)),
      luminanceCounts_(static_cast<size_t>(cellCount())),
      redCounts_(static_cast<size_t>(cellCount())),
      wanted_(static_cast<size_t>(cellCount())),
      stepping_(static_cast<size_t>(cellCount())),
      looks_(256),
      state_(AsciiEngine::kCells),
      history_(AsciiEngine::kCells),
      limited_(nullptr) {}

FlashLimiter::~FlashLimiter() = default;

std::unique_ptr<FlashLimiter> FlashLimiter::forShow(ScreenRenderer* nextRenderer) {
  ChartPixels chart;
  if (!loadChartPixels(AsciiEngine::kChartFile, &chart))
    ErrorBox("Cannot read the character chart %s", AsciiEngine::kChartFile);
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
  // On the frame where one slot hands over to the next both scenes draw,
  // and the GL renderers would add their pictures into a double exposure
  // that no cell's look describes: that frame shows the first scene alone.
  if (presentsThisFrame_++ > 0) {
    ++droppedScreens;
    return;
  }
  limited_ = engine;
  limited_.setRenderer(nullptr);
  changedCells = 0;
  // Which cells would flash too often as drawn; the area rule decides
  // where they must not.
  const size_t cells = static_cast<size_t>(cellCount());
  std::vector<unsigned char> luminanceTooOften(cells), redTooOften(cells), drawnTooOften(cells);
  for (int i = 0; i < cellCount(); ++i) {
    const size_t k = static_cast<size_t>(i);
    CellHistory& h = history_[k];
    luminanceCounts_[k] = h.luminance.countAfter(now_ - kWindowMs);
    redCounts_[k] = h.red.countAfter(now_ - kWindowMs);
    const CellLook& drawn = look(engine.chars[i], engine.fg[i], engine.bg[i], engine);
    wanted_[k] = tryLook(i, drawn);
    // The picture as drawn is followed too: where it flashes too often the
    // area stays held even while the steps keep what is shown within the
    // budget.
    if (h.drawnLuminance.feed(drawn.luminance, kLimiterLuminanceSwing, kLimiterDarkerBelow)) h.drawnLuminanceTurns.add(now_);
    if (h.drawnRed.feed(drawn.red, kLimiterRedSwing, kNoDarkLimit)) h.drawnRedTurns.add(now_);
    const bool drawnLuminanceTooOften = h.drawnLuminanceTurns.countAfter(now_ - kWindowMs) > kSafeTransitionsPerSecond;
    const bool drawnRedTooOften = h.drawnRedTurns.countAfter(now_ - kWindowMs) > kSafeTransitionsPerSecond;
    drawnTooOften[k] = drawnLuminanceTooOften || drawnRedTooOften;
    luminanceTooOften[k] =
        luminanceCounts_[k] > kSafeTransitionsPerSecond || luminanceBeyond(i, wanted_[k]) || drawnLuminanceTooOften;
    redTooOften[k] = redCounts_[k] > kSafeTransitionsPerSecond || redBeyond(i, wanted_[k]) || drawnRedTooOften;
  }
  luminanceArea_.judge(luminanceTooOften);
  redArea_.judge(redTooOften);

  // Where the area rule holds cells, those that flash as drawn (and their
  // neighbours) move on in steps, a few times a second, all at once: no
  // cell there swings more often, and the flashing picture stays whole.
  // The rest, a game beside a spinning picture say, runs on as drawn. A cell
  // keeps stepping for a second after it was last held.
  int steppingCells = 0;
  double drawnLight = 0.0, stepLight = 0.0;
  for (int y = 0; y < AsciiEngine::kRows; ++y) {
    for (int x = 0; x < AsciiEngine::kColumns; ++x) {
      const int i = y * AsciiEngine::kColumns + x;
      CellHistory& h = history_[static_cast<size_t>(i)];
      const bool held = luminanceArea_.holds(i) || redArea_.holds(i);
      bool nearFlashing = false;
      for (int dy = -1; dy <= 1 && held && !nearFlashing; ++dy)
        for (int dx = -1; dx <= 1 && !nearFlashing; ++dx) {
          const int nx = x + dx, ny = y + dy;
          nearFlashing = nx >= 0 && nx < AsciiEngine::kColumns && ny >= 0 && ny < AsciiEngine::kRows &&
                         drawnTooOften[static_cast<size_t>(ny * AsciiEngine::kColumns + nx)] != 0;
        }
      if (nearFlashing) h.lastHeld = now_;
      stepping_[static_cast<size_t>(i)] = now_ - h.lastHeld < kWindowMs;
      steppingCells += stepping_[static_cast<size_t>(i)];
    }
  }
  // Where most of the screen steps, all of it does: a picture that moves as
  // a whole (a rotating background) would otherwise break into patches.
  if (steppingCells * 3 > cellCount()) lastWhole_ = now_;
  if (now_ - lastWhole_ < kWindowMs) std::fill(stepping_.begin(), stepping_.end(), 1);
  steppingCells = 0;
  for (int i = 0; i < cellCount(); ++i) {
    if (!stepping_[static_cast<size_t>(i)]) continue;
    const CellHistory& h = history_[static_cast<size_t>(i)];
    ++steppingCells;
    drawnLight += look(engine.chars[i], engine.fg[i], engine.bg[i], engine).luminance;
    stepLight += look(h.stepChars, h.stepFg, h.stepBg, engine).luminance;
  }
  // A step waits while the picture as drawn is much brighter than the last
  // step's: that is a flash, and a step would hold it for a whole step. It
  // shows as a dim pulse meanwhile.
  flashPassing_ = steppingCells > 0 && (drawnLight - stepLight) / steppingCells >= kLimiterLuminanceSwing;
  stepNow_ = now_ - lastStep_ >= (flashPassing_ ? kLongestStepMs : kStepMs);
  if (steppingCells > 0 && stepNow_) lastStep_ = now_;
  heldFrames += steppingCells > 0 && !stepNow_ ? 1 : 0;
  for (int i = 0; i < cellCount(); ++i) limitCell(i, engine);
  changedTotal += changedCells;
  if (next_ != nullptr) next_->present(limited_);
}

FlashLimiter::Outcome FlashLimiter::tryLook(int i, const CellLook& l) const {
  Outcome o{state_[static_cast<size_t>(i)], false, false};
  o.luminanceTurn = o.after.luminance.feed(l.luminance, kLimiterLuminanceSwing, kLimiterDarkerBelow);
  o.redTurn = o.after.red.feed(l.red, kLimiterRedSwing, kNoDarkLimit);
  return o;
}

bool FlashLimiter::luminanceBeyond(int i, const Outcome& o) const {
  return o.luminanceTurn && luminanceCounts_[static_cast<size_t>(i)] >= kSafeTransitionsPerSecond;
}

bool FlashLimiter::redBeyond(int i, const Outcome& o) const {
  return o.redTurn && redCounts_[static_cast<size_t>(i)] >= kSafeTransitionsPerSecond;
}

void FlashLimiter::limitCell(int i, const AsciiEngine& engine) {
  const size_t k = static_cast<size_t>(i);
  CellHistory& history = history_[k];
  const bool luminanceHeld = luminanceArea_.holds(i), redHeld = redArea_.holds(i);
  const auto allowed = [&](const Outcome& o) {
    return !(luminanceHeld && luminanceBeyond(i, o)) && !(redHeld && redBeyond(i, o));
  };

  // Between steps the cell keeps the picture of the last step.
  const auto keepStep = [&] {
    limited_.chars[i] = history.stepChars;
    limited_.fg[i] = history.stepFg;
    limited_.bg[i] = history.stepBg;
    return tryLook(i, look(history.stepChars, history.stepFg, history.stepBg, engine));
  };
  const bool frozen = stepping_[k] && !stepNow_;
  Outcome chosen = wanted_[k];
  if (frozen && !flashPassing_) {
    chosen = keepStep();
  } else if (frozen || !allowed(chosen)) {
    // The nearest look that keeps within the budget (while a flash passes
    // a held picture: that makes no swing at all): the step's picture (it
    // changes nothing, so it is always there) or the glyph drawn in other
    // colours, so that a flash shows as a dim pulse of itself.
    const CellLook stepLook = look(history.stepChars, history.stepFg, history.stepBg, engine);
    const int glyph = engine.chars[i];
    const CellLook wanted = look(glyph, engine.fg[i], engine.bg[i], engine);
    // A pulse lights up towards the flash but stays within a swing of the
    // step's picture, so that going back to it is no swing either.
    const auto fits = [&](const CellLook& l, const Outcome& o) {
      if (!frozen) return allowed(o);
      const float rise = l.luminance - stepLook.luminance;
      return !o.luminanceTurn && !o.redTurn && rise < kLimiterLuminanceSwing &&
             rise >= std::min(0.0f, wanted.luminance - stepLook.luminance) &&
             std::fabs(l.red - stepLook.red) < kLimiterRedSwing;
    };
    chosen = keepStep();
    float best = distance(wanted, stepLook);
    const GlyphLooks& looks = *looks_[static_cast<size_t>(glyph)];
    for (unsigned char pair : looks.distinct) {
      const CellLook& candidate = looks.byColours[pair];
      const float d = distance(wanted, candidate);
      if (d >= best) continue;
      const Outcome o = tryLook(i, candidate);
      if (!fits(candidate, o)) continue;
      best = d;
      chosen = o;
      limited_.chars[i] = static_cast<unsigned char>(glyph);
      limited_.fg[i] = static_cast<unsigned char>(pair / 16);
      limited_.bg[i] = static_cast<unsigned char>(pair % 16);
    }
  }
  const bool changed = limited_.chars[i] != engine.chars[i] || limited_.fg[i] != engine.fg[i] ||
                       limited_.bg[i] != engine.bg[i];
  changedCells += changed ? 1 : 0;
  state_[k] = chosen.after;
  if (chosen.luminanceTurn) history.luminance.add(now_);
  if (chosen.redTurn) history.red.add(now_);
  if (!frozen) {
    history.stepChars = limited_.chars[i];
    history.stepFg = limited_.fg[i];
    history.stepBg = limited_.bg[i];
  }
}
