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
// blending; the first one of a frame replaces what was there.
class PageRenderer : public ScreenRenderer {
 public:
  explicit PageRenderer(const ChartPixels& chart)
      : rgba(kWidth * kHeight * 4), atlas_(buildGlyphAtlas(chart)), rgb_(kWidth * kHeight * 3) {}

  void beginFrame() { first_ = true; }

  void present(const AsciiEngine& engine) override {
    renderReference(engine, atlas_, rgb_.data());
    for (int y = 0; y < kHeight; ++y) {
      const unsigned char* from = &rgb_[static_cast<size_t>(kHeight - 1 - y) * kWidth * 3];
      unsigned char* to = &rgba[static_cast<size_t>(y) * kWidth * 4];
      if (first_) {
        for (int x = 0; x < kWidth; ++x, from += 3, to += 4) {
          to[0] = from[0];
          to[1] = from[1];
          to[2] = from[2];
          to[3] = 255;
        }
      } else {
        for (int x = 0; x < kWidth; ++x, from += 3, to += 4)
          for (int c = 0; c < 3; ++c) to[c] = static_cast<unsigned char>(std::min(255, to[c] + from[c]));
      }
    }
    first_ = false;
    ++presented;
  }

  std::vector<unsigned char> rgba;  // the frame, top row first
  int presented = 0;

 private:
  GlyphAtlas atlas_;
  std::vector<unsigned char> rgb_;  // one screen, bottom row first
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
