// The show's own pictures, read from the archive the build made, measured
// the way a viewer meets them: light spots that brighten what they touch,
// a mask that keeps inside the screen when it turns, rotozoom tiles that
// hold together when point-sampled at the widest zoom, credit labels that
// stand out from the portraits and closing words that keep off the edges,
// and the show's lettering kept clear of the fire and the raster bars.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audit_support.h"
#include "scenes/textraster.h"
#include "scenes/texttalkingv.h"
#include "support/show_archive_test.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/banners.h"
#include "util/ascii/fallingblocks.h"
#include "util/ascii/rawpicture.h"
#include "util/ascii/rotozoom.h"
#include "util/music/music.h"

namespace {

constexpr int kCols = 80;
constexpr int kRows = 50;

// Relative luminance (sRGB, as contrast ratios use it) of a palette colour.
double luminance(int colour) {
  static const double level[16][3] = {
      {0, 0, 0},        {0, 0, .5},     {0, .5, 0},  {0, .5, .5},  {.5, 0, 0},  {.5, 0, .5},
      {.5, .5, 0},      {.75, .75, .75}, {.5, .5, .5}, {0, 0, 1},    {0, 1, 0},   {0, 1, 1},
      {1, 0, 0},        {1, 0, 1},      {1, 1, 0},   {1, 1, 1}};
  auto linear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  const double* c = level[colour & 15];
  return 0.2126 * linear(c[0]) + 0.7152 * linear(c[1]) + 0.0722 * linear(c[2]);
}

double contrast(int a, int b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Share of a glyph's pixels drawn in the foreground colour, for the glyphs
// the measured scenes use: blank, light shade and full block.
double foregroundShare(int glyph) {
  switch (glyph) {
    case 0: return 0.0;
    case 176: return 1.0 / 3;
    case 219: return 1.0;
    default: ADD_FAILURE() << "glyph " << glyph << " not expected here"; return 0.5;
  }
}

// What a cell gives off: its two colours' luminance mixed by its glyph.
double cellLuminance(int glyph, int foreground, int background) {
  const double share = foregroundShare(glyph);
  return share * luminance(foreground) + (1.0 - share) * luminance(background);
}

// Cells (of full-block pictures: the foreground plane) whose colour none of
// their four neighbours shares, as a share of the screen.
double isolatedShare(const AsciiEngine& engine) {
  int isolated = 0;
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      const int colour = engine.fg[r * kCols + c];
      bool shared = false;
      const int dc[4] = {-1, 1, 0, 0}, dr[4] = {0, 0, -1, 1};
      for (int k = 0; k < 4 && !shared; ++k) {
        const int nc = c + dc[k], nr = r + dr[k];
        shared = nc >= 0 && nc < kCols && nr >= 0 && nr < kRows && engine.fg[nr * kCols + nc] == colour;
      }
      isolated += !shared;
    }
  }
  return isolated / double(kCols * kRows);
}

class ShowPictures : public ShowArchiveTest {
 protected:
  // Starts `scene` in a new show (its class-wide clocks not started).
  void startInNewShow(Scene& scene, const char* name, Music& music) {
    engine_ = AsciiEngine(nullptr);
    audit::attach(scene, name, engine_, music);
    scene.init();
  }
  AsciiEngine engine_{nullptr};
};

// The rotozoom's two indices move in step (angle down, zoom up), so the
// zoom index alone names the view. The widest views are those whose zoom
// lies within a tenth of the table's peak; there every tile must still read
// as shapes, not as a scatter of single cells.
TEST_F(ShowPictures, RotozoomTilesHoldTogetherAtTheWidestZoom) {
  for (const char* file : {"data/textdance/rotozoom.raw", "data/textbigsprite/tavors.raw"}) {
    Rotozoom roto(&engine_, file);
    int peak = 0;
    for (int v : roto.zoomTable) peak = std::max(peak, std::abs(v));
    int views = 0;
    double worst = 0;
    for (int zoom = 0; zoom < 256; ++zoom) {
      if (std::abs(roto.zoomTable[zoom]) * 10 < peak * 9) continue;
      roto.zoomIndex = zoom;
      roto.angleIndex = (256 - zoom) % 256;
      Rotozoom::shared(engine_).step = TickClock{};  // the first call takes no step
      roto.drawAndAdvance(1000);
      const double share = isolatedShare(engine_);
      EXPECT_LE(share, 0.05) << file << " at zoom index " << zoom;
      worst = std::max(worst, share);
      ++views;
    }
    RecordProperty(std::string("worst_isolated_per_mille_") + (file + 5), static_cast<int>(worst * 1000));
    EXPECT_GT(views, 20) << file;
  }
}

// Over beats 50 to 75 the mask, the title letters and the wall stand under
// three wandering light spots, each adding one to the colour number of the
// cells it covers. Nearly every covered cell must give off more light than
// it would unlit, whatever the tick count (the spots follow it, not the
// song).
TEST_F(ShowPictures, LightSpotsBrightenWhatTheyCover) {
  for (const uint32_t t0 : {100000u, 7654321u, 0x9000F000u}) {
    audit::Stage stage(t0);
    Music music(Music::Manual{});
    TextTalkingV scene;
    startInNewShow(scene, "TextTalkingV", music);
    int covered = 0, brighter = 0;
    for (uint32_t ms = 15000; ms <= 22500; ms += 30) {
      const uint32_t now = t0 + ms;
      audit::tickNow() = now;
      audit::atSongTime(music, ms);
      scene.draw(readFrameTime(*scene.music));
      // How many spots cover each cell (centres as the scene places them).
      int spots[kCols * kRows] = {};
      const double n = static_cast<int32_t>(now);
      const double across[3] = {0.001, 0.00125, 0.002};
      const double down[3] = {1.0 / 710, 1.0 / 410, 1.0 / 810};
      for (int k = 0; k < 3; ++k) {
        const int cx = static_cast<int>(std::sin(n * across[k]) * 35 + 40);
        const int cy = static_cast<int>(std::cos(n * down[k]) * 20 + 25);
        for (int dy = -5; dy <= 5; ++dy)
          for (int dx = -5; dx <= 5; ++dx)
            if (std::abs(dx) + std::abs(dy) <= 8 && cx + dx >= 0 && cx + dx < kCols && cy + dy >= 0 && cy + dy < kRows)
              ++spots[(cy + dy) * kCols + cx + dx];
      }
      for (int i = 0; i < kCols * kRows; ++i) {
        if (!spots[i]) continue;
        const int lit = engine_.bg[i] * 16 + engine_.fg[i];
        const int unlit = (lit - spots[i]) & 255;
        ++covered;
        brighter += cellLuminance(engine_.chars[i], lit & 15, lit >> 4) >
                    cellLuminance(engine_.chars[i], unlit & 15, unlit >> 4);
      }
    }
    ASSERT_GT(covered, 10000);
    RecordProperty("brighter_per_mille_tick_" + std::to_string(t0), brighter * 1000 / covered);
    EXPECT_GE(brighter, covered * 0.95) << brighter << " of " << covered << " lit cells brighter, tick " << t0;
  }
}

// A light spot adds one to the colour number. On the mask that must read as
// light on its own colour: the next colour holds every channel at least as
// high, is still a colour (not white or grey plaster), and lies a gentle
// step away, so the spot's diamond rim is soft.
TEST_F(ShowPictures, MaskColoursBrightenIntoTheirOwnTone) {
  RawPicture mask;
  mask.load(&engine_, 80, 50, "data/texttalkingv/vexmask.raw");
  bool used[16] = {};
  for (int i = 0; i < 80 * 50; ++i) used[mask.data[i]] = true;
  int colours = 0;
  for (int c = 1; c < 16; ++c) {
    if (!used[c]) continue;
    ++colours;
    ASSERT_LT(c, 15) << "white turns black under a spot";
    const float* rgb = engine_.colour(c);
    const float* lit = engine_.colour(c + 1);
    float lowest = 1, highest = 0;
    for (int k = 0; k < 3; ++k) {
      EXPECT_GE(lit[k], rgb[k]) << "colour " << c << " turns another hue under a spot";
      lowest = std::min(lowest, lit[k]);
      highest = std::max(highest, lit[k]);
    }
    EXPECT_GE(highest - lowest, 0.5f) << "colour " << c << " turns grey or white under a spot";
    EXPECT_LE(contrast(c, c + 1), 1.5) << "colour " << c << ": the spot's rim is a hard edge";
  }
  EXPECT_GE(colours, 3);
}

// The opening lays the party's name (from beat 28) and the year (from 36)
// over the fire, which fills the whole screen. Every row the lettering
// covers is drawn solid from its first to its last cell, so no fire cell
// prints between the letters, alone or with the year.
TEST_F(ShowPictures, OpeningLettersLeaveNoGapForTheFire) {
  RawPicture name, year;
  name.load(&engine_, 80, 50, "data/textfire/glimmerbay.raw");
  year.load(&engine_, 80, 50, "data/textfire/2006.raw");
  for (const bool withYear : {false, true}) {
    engine_.clear();
    name.draw(219, 0, 0);
    if (withYear) year.draw(219, 0, 0);
    int letterRows = 0;
    for (int r = 0; r < kRows; ++r) {
      const unsigned char* row = engine_.chars + r * kCols;
      int first = kCols, last = -1, drawn = 0;
      for (int c = 0; c < kCols; ++c)
        if (row[c]) first = std::min(first, c), last = c, ++drawn;
      if (drawn < 15) continue;  // the sparkles above the name
      ++letterRows;
      for (int c = first; c <= last; ++c)
        EXPECT_NE(row[c], 0) << (withYear ? "name and year" : "name") << ": fire shows at column " << c
                             << ", row " << r;
    }
    EXPECT_GE(letterRows, withYear ? 28 : 16);
  }
}

int drawnCells(const AsciiEngine& engine, bool edgesOnly) {
  int n = 0;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c)
      if (engine.chars[r * kCols + c] && (!edgesOnly || r == 0 || r == kRows - 1 || c == 0 || c == kCols - 1)) ++n;
  return n;
}

// The talking scene and the raster scene turn the mask a quarter (and
// squash it further); the title screen and the ending spin it. Every view
// keeps the whole mask with a margin to the screen's edges.
TEST_F(ShowPictures, MaskKeepsClearOfTheEdgesWhenTurned) {
  RawPicture mask;
  mask.load(&engine_, 80, 50, "data/texttalkingv/vexmask.raw");
  int elements = 0;
  for (int i = 0; i < 80 * 50; ++i) elements += mask.data[i] != 0;

  const double quarter = 1.5707963267948966;
  engine_.clear();
  mask.drawRotated(quarter, 1.0, 1.0);
  EXPECT_EQ(drawnCells(engine_, true), 0) << "the quarter turn touches an edge";
  // An element is in the view when taking it out changes the view. The
  // turn is not exactly a quarter, so its view skips a line of elements
  // near the centre in any picture; a mask that reaches past the view
  // loses far more.
  const int whole = drawnCells(engine_, false);
  int hidden = 0;
  for (int i = 0; i < 80 * 50; ++i) {
    if (!mask.data[i]) continue;
    const unsigned char kept = mask.data[i];
    mask.data[i] = 0;
    engine_.clear();
    mask.drawRotated(quarter, 1.0, 1.0);
    hidden += drawnCells(engine_, false) == whole;
    mask.data[i] = kept;
  }
  EXPECT_LE(hidden, elements / 20) << "of " << elements << " elements, the quarter turn leaves out";

  const int views = 720;
  int touching = 0;
  for (int k = 0; k < views; ++k) {
    engine_.clear();
    mask.drawRotated(2 * M_PI * k / views, 1.0, 1.0);
    touching += drawnCells(engine_, true) > 0;
  }
  RecordProperty("angles_touching_an_edge_of_720", touching);
  EXPECT_LE(touching, views / 10) << touching << " of " << views << " angles touch an edge";
}

// The credits wave over the portraits column by column, neighbouring
// columns up to a row apart. Their letters stand on a plate (the picture's
// most common colour) that surrounds them far enough for that, and every
// letter colour contrasts with the plate at least 4.5 : 1.
TEST_F(ShowPictures, CreditLettersStandOnAPlateThatContrasts) {
  for (const char* file : {"data/textending/code.raw", "data/textending/music.raw"}) {
    RawPicture credit;
    credit.load(&engine_, 80, 50, file);
    int count[16] = {};
    for (int i = 0; i < 80 * 50; ++i) ++count[credit.data[i]];
    int plate = 1;
    for (int c = 1; c < 16; ++c)
      if (count[c] > count[plate]) plate = c;
    auto at = [&](int x, int y) { return x < 0 || x >= 80 || y < 0 || y >= 50 ? 0 : credit.data[y * 80 + x]; };
    int letters = 0, exposed = 0, faint = 0;
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < 80; ++x) {
        const int c = at(x, y);
        if (c == 0 || c == plate) continue;
        ++letters;
        faint += contrast(c, plate) < 4.5;
        bool open = false;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -1; dx <= 1; ++dx) open |= at(x + dx, y + dy) == 0;
        exposed += open;
      }
    }
    EXPECT_GT(letters, 300) << file;
    EXPECT_EQ(faint, 0) << file << ": letter cells below 4.5 : 1 against the plate";
    EXPECT_EQ(exposed, 0) << file << ": letter cells near the picture's transparent part";
  }
}

// The credits wave up and down by a row and a half. Over a whole wave their
// plates keep a blank row and column to the screen's edges, so the frame
// never cuts a plate.
TEST_F(ShowPictures, CreditPlatesKeepAMarginWhileTheyWave) {
  for (const char* file : {"data/textending/code.raw", "data/textending/music.raw"}) {
    RawPicture credit;
    credit.load(&engine_, 80, 50, file);
    int views = 0, cut = 0;
    for (double phase = 0; phase < 2 * M_PI; phase += 0.05, ++views) {
      engine_.clear();
      credit.drawColumnWave(0, phase, 1.5, 0.3);
      cut += drawnCells(engine_, true) > 0;
    }
    EXPECT_EQ(cut, 0) << file << ": " << cut << " of " << views << " views reach the screen's edge";
  }
}

// The ending shears the sunset row by row, up to 13 columns, and leaves
// black where a row is pushed past the picture. Over the whole range of the
// wave, the cell beside such a gap is black or dark blue (at most 1.35 : 1)
// and the one after it no brighter than 2.5 : 1, so the edge is a dark,
// soft fringe instead of bright notches.
TEST_F(ShowPictures, SunsetShearLeavesNoBrightNotches) {
  RawPicture sunset;
  sunset.load(&engine_, 80, 50, "data/textending/tolvek.raw");
  int gaps = 0, notches = 0;
  for (double amplitude = 1; amplitude <= 13; amplitude += 2)
    for (double rowStep = 0.2; rowStep <= 0.8; rowStep += 0.3)
      for (double phase = 0; phase < 2 * M_PI; phase += 0.3) {
        engine_.clear();
        sunset.drawRowWave(phase, amplitude, rowStep);
        for (int r = 0; r < kRows; ++r) {
          const unsigned char* chars = engine_.chars + r * kCols;
          const unsigned char* fg = engine_.fg + r * kCols;
          for (int side = 0; side < 2; ++side) {
            const int edge = side ? kCols - 1 : 0, in = side ? -1 : 1;
            if (chars[edge]) continue;
            int c = edge;
            while (c >= 0 && c < kCols && !chars[c]) c += in;
            ++gaps;
            notches += contrast(fg[c], 0) > 1.35 || contrast(fg[c + in], 0) > 2.5;
          }
        }
      }
  ASSERT_GT(gaps, 1000);
  RecordProperty("bright_notches", notches);
  EXPECT_EQ(notches, 0) << "of " << gaps << " sheared rows";
}

// The bars in front of the scroller sweep down the whole screen, one set
// after the other. Each word of the scroller crosses the screen between two
// sweeps whatever the phase of its wave (which follows the tick count, not
// the scene's start): no front bar ever covers one of its letters, and each
// word fits on screen whole. The small gems between the words may pass
// behind the bars. The handles that follow stand clear of the bars too.
TEST_F(ShowPictures, ScrollerWordsAndHandlesStayClearOfTheFrontBars) {
  struct Word {
    int first, last;
    bool whole = false;
  };
  int torn = 0, letterCells = 0, frames = 0, tornFrames = 0, handleCells = 0, tornHandleCells = 0;
  std::vector<Word> words;
  for (uint32_t t0 : {5000000u, 5000137u, 5000404u}) {
    audit::Stage stage(t0);
    Music music(Music::Manual{});
    TextRaster scene;
    startInNewShow(scene, "TextRaster", music);

    // Words: runs of picture columns parted by at least 8 empty ones; the
    // gems are narrower than any word (20 columns).
    RawPicture& text = scene.scroller;
    auto columnUsed = [&](int x) {
      for (int y = 0; y < text.height; ++y)
        if (text.data[y * text.width + x]) return true;
      return false;
    };
    std::vector<int> wordAt(text.width, -1);
    if (words.empty()) {
      for (int x = 0, gap = 8; x < text.width; ++x) {
        if (!columnUsed(x)) {
          ++gap;
          continue;
        }
        if (gap >= 8) words.push_back(Word{x, x});
        words.back().last = x;
        gap = 0;
      }
      words.erase(std::remove_if(words.begin(), words.end(), [](const Word& w) { return w.last - w.first < 19; }),
                  words.end());
      ASSERT_GE(words.size(), 4u);
    }
    for (size_t k = 0; k < words.size(); ++k)
      for (int x = words[k].first; x <= words[k].last; ++x) wordAt[x] = static_cast<int>(k);

    uint32_t start = 0;
    for (uint32_t ms = 53400; ms < 66000; ms += 2) {  // beats 178 to 220, every state of bars and scroll
      const uint32_t now = t0 + ms;
      audit::tickNow() = now;
      audit::atSongTime(music, ms);
      const FrameTime time = readFrameTime(*scene.music);
      scene.draw(time);
      if (!start) start = now;
      bool frontBar[kRows];
      for (int r = 0; r < kRows; ++r) {
        frontBar[r] = true;
        for (int c = 0; c < kCols && frontBar[r]; ++c) {
          const int i = r * kCols + c, colour = engine_.fg[i];
          frontBar[r] = engine_.chars[i] == 219 && colour == engine_.bg[i] &&
                        (colour == 12 || colour == 10 || colour == 9);
        }
      }
      if (time.beat >= 204.0f) {
        const int k = TextRaster::nameIndex(time.beat);
        ASSERT_GE(k, 0) << "beat " << time.beat;
        const RawPicture& handle = scene.names[k];
        for (int i = 0; i < kCols * kRows; ++i) {
          if (!handle.data[i]) continue;
          ++handleCells;
          tornHandleCells += frontBar[i / kCols];
        }
        continue;
      }
      if (now - start < 312) continue;
      // The letters alone, as the scene's wave lays them on this frame.
      const int offset = static_cast<int>((now - start - 312) / 10);
      engine_.clear();
      text.drawColumnWave(offset, now * (1.0 / 350), 4.5, -0.025);
      for (Word& w : words) w.whole = w.whole || (offset <= w.first && w.last < offset + kCols);
      const int tornBefore = torn;
      for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
          if (!engine_.chars[r * kCols + c] || offset + c >= text.width || wordAt[offset + c] < 0) continue;
          ++letterCells;
          torn += frontBar[r];
        }
      ++frames;
      tornFrames += torn > tornBefore;
    }
  }
  RecordProperty("torn_letter_cells", torn);
  RecordProperty("letter_cells", letterCells);
  RecordProperty("frames_with_a_torn_word", tornFrames);
  RecordProperty("frames", frames);
  EXPECT_GT(letterCells, 10000);
  EXPECT_EQ(torn, 0) << "letter cells under a front bar, of " << letterCells;
  RecordProperty("torn_handle_cells", tornHandleCells);
  RecordProperty("handle_cells", handleCells);
  EXPECT_GT(handleCells, 100000);
  EXPECT_EQ(tornHandleCells, 0) << "handle cells under a front bar, of " << handleCells;
  for (const Word& w : words)
    EXPECT_TRUE(w.whole) << "the word at columns " << w.first << "-" << w.last << " never fits on screen whole";
}

// The falling blocks stack up beside the closing words. Wherever a block
// ever stands, the banner leaves a blank column between it and the words.
TEST(ShowBanner, ClosingWordsKeepABlankColumnFromTheBlocks) {
  AsciiEngine engine(nullptr);
  FallingBlocks blocks(&engine);
  bool block[kRows][kCols] = {};
  for (uint32_t now = 1000; now < 1000 + 60000; now += 40) {
    engine.clear();
    blocks.advanceAndDraw(now);
    for (int i = 0; i < kCols * kRows; ++i)
      if (engine.chars[i]) block[i / kCols][i % kCols] = true;
  }
  ASSERT_EQ(blocks.current, FallingBlocks::kPieces - 1);
  int touching = 0;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      if (banner_lines[1][r][c] == ' ') continue;
      const bool near = block[r][c] || (c > 0 && block[r][c - 1]) || (c + 1 < kCols && block[r][c + 1]);
      touching += near;
      EXPECT_FALSE(near) << "row " << r << ", column " << c;
    }
  RecordProperty("banner_cells_touching_blocks", touching);
}

// The closing banner keeps a column clear at the right edge; only its top
// and bottom rows, a border, run the full width.
TEST(ShowBanner, ClosingWordsKeepOffTheRightEdge) {
  for (int row = 1; row < 49; ++row) {
    ASSERT_EQ(std::string(banner_lines[1][row]).size(), 80u) << row;
    EXPECT_EQ(banner_lines[1][row][79], ' ') << "row " << row;
  }
}

}  // namespace
