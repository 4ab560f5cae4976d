// The show in a browser page: the page's script drives the show core through
// these functions. The picture is the CPU reference renderer's 640 x 600
// text picture, handed over as RGBA for a canvas; the song is decoded here
// and played by the page through Web Audio, whose heard position the page
// hands back for every frame.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "page_song_player.h"
#include "platform/decodedsong.h"
#include "show/show_core.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"
#include "util/data/data.h"
#include "util/error.h"
#include "util/music/music.h"
#include "web_boxes.h"

namespace {

constexpr const char* kChartFile = "data/common/images/asciichart.png";
constexpr int kWidth = AsciiEngine::kTargetWidth;
constexpr int kHeight = AsciiEngine::kTargetHeight;

// Scenes that share a frame add up, as they do with the window's additive
// blending; the first one of a frame replaces what was there. The picture is
// RGBA, top row first, for a canvas. A cell's pixels depend only on its
// glyph and its two palette colours, so each such tile is drawn once and
// copied while the palette stays as it is.
class PageRenderer : public ScreenRenderer {
 public:
  explicit PageRenderer(const ChartPixels& chart)
      : rgba(kWidth * kHeight * 4), atlas_(buildGlyphAtlas(chart)), tiles_(kTileKeys * kTilePixels, kOpaque),
        tileEdition_(kTileKeys, 0) {}

  void beginFrame() { first_ = true; }

  void present(const AsciiEngine& engine) override {
    if (!samePalette(engine)) {
      levels_.reset(new MaskedLevels(engine));
      ++edition_;
    }
    uint32_t* picture = reinterpret_cast<uint32_t*>(rgba.data());
    for (int r = 0; r < AsciiEngine::kRows; ++r)
      for (int x = 0; x < AsciiEngine::kColumns; ++x) {
        const int i = r * AsciiEngine::kColumns + x;
        const uint32_t* tile = this->tile(engine.chars[i], engine.fg[i] & 15, engine.bg[i] & 15);
        uint32_t* to = picture + static_cast<size_t>(r) * kCellHeight * kWidth + x * kCellWidth;
        for (int py = 0; py < kCellHeight; ++py, to += kWidth, tile += kCellWidth) {
          if (first_) {
            std::memcpy(to, tile, kCellWidth * sizeof(uint32_t));
          } else {
            unsigned char* sum = reinterpret_cast<unsigned char*>(to);
            const unsigned char* add = reinterpret_cast<const unsigned char*>(tile);
            for (int b = 0; b < kCellWidth * 4; ++b) sum[b] = static_cast<unsigned char>(std::min(255, sum[b] + add[b]));
          }
        }
      }
    first_ = false;
    ++presented;
  }

  std::vector<unsigned char> rgba;  // the frame, top row first
  int presented = 0;

 private:
  static constexpr int kCellWidth = GlyphAtlas::kCellWidth;
  static constexpr int kCellHeight = GlyphAtlas::kCellHeight;
  static constexpr int kTilePixels = kCellWidth * kCellHeight;
  static constexpr int kTileKeys = 256 * 16 * 16;  // glyph, foreground, background
  static constexpr uint32_t kOpaque = 0xff000000u;  // RGBA in memory order: alpha 255

  bool samePalette(const AsciiEngine& engine) {
    bool same = levels_ != nullptr;
    for (int p = 0; p < 16; ++p)
      for (int c = 0; c < 3; ++c) {
        same = same && palette_[p][c] == engine.colour(p)[c];
        palette_[p][c] = engine.colour(p)[c];
      }
    return same;
  }

  // The cell's pixels, top row first, drawn if this palette has not drawn them.
  const uint32_t* tile(int glyph, int fg, int bg) {
    const int key = (glyph << 8) | (fg << 4) | bg;
    uint32_t* pixels = &tiles_[static_cast<size_t>(key) * kTilePixels];
    if (tileEdition_[key] != edition_) {
      renderReferenceCell<4>(atlas_, *levels_, glyph, fg, bg,
                             reinterpret_cast<unsigned char*>(pixels + (kCellHeight - 1) * kCellWidth),
                             -kCellWidth * 4);
      tileEdition_[key] = edition_;
    }
    return pixels;
  }

  GlyphAtlas atlas_;
  std::unique_ptr<MaskedLevels> levels_;
  float palette_[16][3] = {};
  uint32_t edition_ = 0;  // counts the palettes seen; tiles drawn under an older one are stale
  std::vector<uint32_t> tiles_;
  std::vector<uint32_t> tileEdition_;
  bool first_ = true;
};

struct Page {
  std::unique_ptr<PageRenderer> renderer;
  std::unique_ptr<Show> show;
  ShownFrame frame;
};

Page& page() {
  static Page p;
  return p;
}

ShownFrame drawFrame(bool picture, const double* seconds) {
  Page& p = page();
  FrameOutput output;
  if (picture) {
    p.renderer->beginFrame();
    output.renderer = p.renderer.get();
  }
  p.frame = seconds ? p.show->advanceAt(*seconds, output) : p.show->advance(output);
  return p.frame;
}

}  // namespace

extern "C" {

// Reads the archive the page wrote into the module's file system. A broken
// archive stops here with the data module's own message.
EMSCRIPTEN_KEEPALIVE void kw_open_archive(const char* path) {
  showBoxesInThePage();
  data_mode = DATA_MODE_ARCHIVE;
  data_clear_entries();
  data_read_archive(path);
  ChartPixels chart;
  if (!loadChartPixels(kChartFile, &chart)) ErrorBox("Failed to load texture!");
  page().renderer.reset(new PageRenderer(chart));
}

// Decodes the song for the page to play; returns its frames. A song the
// program could not play stops here with the program's message.
EMSCRIPTEN_KEEPALIVE int kw_decode_song() {
  requireSongPlays(pageSongPlayer());
  return static_cast<int>(pageSong().size() / 2);
}
EMSCRIPTEN_KEEPALIVE const int16_t* kw_song_pcm() { return pageSong().data(); }
EMSCRIPTEN_KEEPALIVE void kw_release_song() { releasePageSong(); }

// Builds the show on a clock the page keeps: frame n of a stepped run
// stands at n / fps seconds, a frame at the page's time where the page says.
EMSCRIPTEN_KEEPALIVE void kw_create(int reduceFlashing, int fps, uint32_t startTick) {
  Page& p = page();
  p.show.reset();
  ShowOptions options;
  options.steppedFps = fps;
  options.startTick = startTick;
  options.reduceFlashing = reduceFlashing != 0;
  options.player = &pageSongPlayer();
  p.show.reset(new Show(options));
  p.show->start();
}

// One frame at `seconds` of the song (the heard position); returns its beat.
EMSCRIPTEN_KEEPALIVE double kw_frame_at(double seconds, int picture) { return drawFrame(picture != 0, &seconds).time.beat; }

// One frame of the stepped clock (tests); returns its beat.
EMSCRIPTEN_KEEPALIVE double kw_step(int picture) { return drawFrame(picture != 0, nullptr).time.beat; }
EMSCRIPTEN_KEEPALIVE int kw_stopped() { return page().frame.stopped ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void kw_stop_at(double beat) { page().show->stopAt(beat); }
EMSCRIPTEN_KEEPALIVE int kw_next_frame_stops() { return page().show->nextFrameStops() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE void kw_key(int sdlSymbol, int down) {
  page().show->keyEvent(sdlSymbol, down != 0);
}
EMSCRIPTEN_KEEPALIVE int kw_finished() { return page().show->finished() ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE const unsigned char* kw_picture() { return page().renderer->rgba.data(); }
EMSCRIPTEN_KEEPALIVE int kw_presented() { return page().renderer->presented; }
}  // extern "C"
