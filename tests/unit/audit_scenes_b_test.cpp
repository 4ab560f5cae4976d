// The later scenes checked frame by frame against a separately written
// model (audit_model.h): TextRaster, TextEnding and both TextSnake objects,
// over their whole slots, with the class-wide clocks shared between objects
// and scenes, the start ticks of their windows and the random sequence.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "audit_model.h"
#include "audit_support.h"
#include "util/random.h"
#include "scenes/textending.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/starfield.h"

namespace audit {
namespace {

// --------------------------------------------------------------- TextRaster

struct Bars {
  double pos[2][6], depth[2][6], phase[2];
  void init(int a, double p) {
    phase[a] = p;
    for (int i = 0; i < 6; ++i) {
      pos[a][i] = (std::sin(phase[a]) + 1) * 25;
      depth[a][i] = std::cos(phase[a]);
      phase[a] += 0.04;
    }
  }
  void advance(Clock& clock, uint32_t now) {
    startClock(clock, now);
    while (clock.time <= now) {
      clock.time += 20;
      for (int a = 0; a < 2; ++a) {
        for (int i = 0; i < 5; ++i) {
          pos[a][i] = pos[a][i + 1];
          depth[a][i] = depth[a][i + 1];
        }
        phase[a] += 0.04;
        pos[a][5] = (std::sin(phase[a]) + 1) * 25;
        depth[a][5] = std::cos(phase[a]);
      }
    }
  }
  void draw(Screen& s, int a, bool front) const {
    const int behindColour[6] = {4, 4, 2, 2, 1, 1};
    const int frontColour[6] = {12, 12, 10, 10, 9, 9};
    for (int i = 0; i < 6; ++i) {
      if (front ? !(depth[a][i] > 0) : !(depth[a][i] < 0)) continue;
      const double row = std::trunc(pos[a][i]);
      if (row < 0 || row >= 50) continue;
      const int colour = front ? frontColour[i] : behindColour[i];
      for (int c = 0; c < 80; ++c) s.set(c, static_cast<int>(row), 219, colour, colour);
    }
  }
};

TEST(AuditTextRaster, EveryFrameOfTheSlotMatchesTheModel) {
  const uint32_t t0 = 90000000;
  Stage stage(t0);
  std::vector<TestArchiveFile> files;
  std::vector<PicFile> names;
  for (int i = 0; i < 8; ++i) {
    names.push_back(makePic(80, 50, rowsOnly(busyPattern(60 + i), 15 + i, 35)));
    files.push_back({"data/textraster/nick" + std::to_string(i + 1) + ".raw", names.back().bytes});
  }
  const PicFile scroller = makePic(800, 50, rowsOnly(busyPattern(70), 10, 40));
  const PicFile face = makePic(80, 50, rowsOnly(busyPattern(71), 5, 45));
  files.push_back({"data/textraster/fastintro.raw", scroller.bytes});
  files.push_back({"data/texttalkingv/vexmask.raw", face.bytes});
  TestArchive archive(files);
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  TextRaster scene;
  attach(scene, "TextRaster", engine, music);
  engine.state().random.seed(4242);
  scene.init();

  Rand rand;
  rand.seed(4242);
  Bars bars;
  bars.init(0, 0.0);
  bars.init(1, M_PI);
  Stars stars;
  stars.build(rand);
  for (int i = 0; i < 200; ++i) stars.step(rand);

  // Another scene's starfield started the shared star clock 50 s earlier:
  // the raster's first frame takes all those steps.
  Starfield earlier(&engine);
  Stars earlierModel;
  earlierModel.build(rand);
  Clock starClock;
  tickNow() = t0;
  earlier.update(tickNow());
  Screen scratch;
  starsUpdate(earlierModel, starClock, t0, rand, scratch);

  Clock barClock;
  Start scrollerStart, zoomStart;
  std::set<float> beats;
  for (uint32_t ms = 53400; ms <= 68700; ms += 25) {  // beats 178 to 229
    const uint32_t now = t0 + 50000 + ms + ms % 7;
    tickNow() = now;
    atSongTime(music, ms);
    scene.draw(readFrameTime(*scene.music));
    const float b = music.beatTime();
    beats.insert(b);

    Screen want;
    if (b >= 178 && b < 220) {
      const uint32_t since = scrollerStart.since(now);
      starsUpdate(stars, starClock, now, rand, want);
      bars.advance(barClock, now);
      bars.draw(want, 0, false);
      bars.draw(want, 1, false);
      if (b < 204) {
        columnWave(want, scroller.pic, static_cast<int>((since - 312u) / 10u), now * 0.002857142857142857, 4.5,
                   -0.025);
      } else {
        blit(want, names[static_cast<int>(std::trunc(std::fmod(b, 16.0))) / 2].pic, 219, 0, 0);
      }
      bars.draw(want, 0, true);
      bars.draw(want, 1, true);
    } else if (b >= 220 && b < 228) {
      starsUpdate(stars, starClock, now, rand, want);
      const double zoom = b < 224 ? 1.0 : zoomStart.since(now) * 0.01 + 1;
      rotated(want, face.pic, 1.5707963267948966, zoom, zoom);
    }
    ASSERT_TRUE(sameScreen(engine, want)) << "beat " << b;
  }
  for (float edge : {178.0f, 204.0f, 208.0f, 220.0f, 224.0f, 228.0f}) EXPECT_EQ(beats.count(edge), 1u) << edge;
}

// --------------------------------------------------------------- TextEnding

// The particle fountain as its description reads.
struct Fountain {
  struct P {
    int xs = 0, ys = 0, xo = 0, yo = 0, depth = 0;
  };
  struct Point {
    int row, column, colour;
  };
  std::vector<P> parts = std::vector<P>(3840);
  std::vector<Point> points;
  int cosT[256], sinT[256], perm[256];
  int live = 0, depthStep = 8, xSpeed = 60, ySpeed = 60, ia = 0, ib = 0;
  uint8_t opx = 64, opy = 0, spa = 64, spb = 0, ticks = 0;
  int colourOf[16];

  explicit Fountain(Rand& r) {
    for (int i = 0; i < 256; ++i) {
      cosT[i] = static_cast<int>(std::trunc(std::cos(i * 6.283185307 * 0.00390625) * 128 + 0.5));
      sinT[i] = static_cast<int>(std::trunc(std::sin(i * 6.283185307 * 0.00390625) * 128 + 0.5));
      perm[i] = i;
    }
    r.seed(0);
    for (int pass = 0; pass < 128; ++pass)
      for (int i = 0; i < 256; ++i) std::swap(perm[i], perm[r.next() % 256]);
    for (int l = 0; l < 16; ++l) colourOf[l] = l < 4 ? 15 : l < 8 ? 11 : l < 12 ? 9 : 1;
  }

  void tick(Rand& r) {
    points.clear();
    int spawned = 0;
    while (live < 3840) {
      size_t k = 0;
      while (parts[k].depth != 0) ++k;
      P& p = parts[k];
      p.xs = cosT[perm[ia]] * xSpeed;
      p.ys = sinT[perm[ib]] * ySpeed;
      p.depth = 256;
      p.xo = cosT[opx] * 120 / 256 + 160;
      p.yo = sinT[opy] * 80 / 256 + 100;
      ia = (ia + 1) % 256;
      ib = (ib + 1) % 256;
      ++live;
      if (++spawned == 30) break;
    }
    for (P& p : parts) {
      if (p.depth == 0) continue;
      const int sx = p.depth < 3 ? 0 : p.xs / p.depth + p.xo;
      const int sy = p.depth < 3 ? 0 : p.ys / p.depth + p.yo;
      if (p.depth < 3 || sx <= 0 || sx >= 320 || sy <= 0 || sy >= 200) {
        p.depth = 0;
        --live;
        continue;
      }
      const int level = std::min(15, std::max(0, p.depth / 16 - r.next() % 4));
      points.push_back({sy / 4, sx / 4, colourOf[level]});
      p.depth -= depthStep;
    }
    opx = static_cast<uint8_t>(opx + 2);
    opy = static_cast<uint8_t>(opy + 1);
    if (ticks % 5 != 0) {
      xSpeed = cosT[spa] * 70 / 256 + 60;
      ySpeed = sinT[spb] * 70 / 256 + 60;
      ++spa;
      ++spb;
    }
    ++ticks;
  }
  void draw(Screen& s) const {
    for (const Point& p : points) s.set(p.column, p.row, 219, p.colour, 0);
  }
};

struct PlasmaModel {
  int p1 = 0, p2 = 0, p3 = 0, p4 = 0;
  int sine[512];
  PlasmaModel() {
    for (int i = 0; i < 512; ++i) sine[i] = static_cast<int>(std::trunc(std::sin(i * 0.703125 * 0.0174532) * 1024));
  }
  int S(int i) const { return sine[((i % 512) + 512) % 512]; }
  void draw(Screen& s) const {
    const int bands[8] = {1, 9, 3, 11, 15, 7, 8, 0};
    for (int r = 0; r < 50; ++r) {
      for (int c = 0; c < 80; ++c) {
        const int x = 10 * c + 9, y = 10 * r + 9;
        const int value = S(p1 + 5 + 5 * x) + S(p2 + 3 + 3 * x) + S(p3 + y) + S(p4 + 3 * y);
        const int index = ((static_cast<int>(std::floor(value / 16.0)) + 128) % 256 + 256) % 256;
        s.set(c, r, 176, bands[index / 32], 0);
      }
    }
  }
};

struct BlocksModel {
  struct Piece {
    int x = 2, fall = 0, colour, height, bx[4], by[4];
  };
  Piece pieces[18];
  int landing = 44, current = 0;
  BlocksModel() {
    const int cells[4][8] = {{0, 0, 1, 0, 2, 0, 3, 0}, {0, 0, 1, 0, 2, 0, 1, 1}, {0, 0, 1, 0, 1, 1, 2, 1},
                             {0, 0, 1, 0, 2, 0, 0, 1}};
    const int heights[4] = {1, 2, 2, 2}, colours[4] = {9, 10, 12, 14};
    const int order[18] = {0, 1, 2, 3, 1, 3, 0, 2, 1, 3, 2, 3, 0, 1, 3, 2, 1, 0};
    for (int i = 0; i < 18; ++i) {
      const int t = order[i];
      pieces[i].colour = colours[t];
      pieces[i].height = heights[t];
      for (int k = 0; k < 4; ++k) {
        pieces[i].bx[k] = cells[t][2 * k];
        pieces[i].by[k] = cells[t][2 * k + 1];
      }
    }
  }
  void advanceAndDraw(Clock& clock, uint32_t now, Screen& s) {
    startClock(clock, now);
    while (clock.time <= now) {
      clock.time += 40;
      Piece& p = pieces[current];
      const int b = 2 * p.height;
      if (landing >= b + p.fall) {
        ++p.fall;
      } else if (current + 2 <= 18) {
        landing -= b;
        ++current;
      }
    }
    for (int i = 0; i <= current; ++i) {
      const Piece& p = pieces[i];
      for (int k = 0; k < 4; ++k)
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 3; ++dx)
            s.set((p.bx[k] + p.x) * 3 + 6 + dx, p.by[k] * 2 + p.fall + 1 + dy, 254, p.colour, p.colour - 8);
    }
  }
};

TEST(AuditTextEnding, EveryFrameOfTheSlotMatchesTheModel) {
  const uint32_t t0 = 123456789;
  Stage stage(t0);
  const PicFile wave = makePic(80, 50, busyPattern(80));
  const PicFile code = makePic(80, 50, rowsOnly(busyPattern(81), 2, 12));
  const PicFile musicWord = makePic(80, 50, rowsOnly(busyPattern(82), 3, 13));
  const PicFile sunvira = makePic(80, 50, rowsOnly(busyPattern(83), 15, 48));
  const PicFile drimbo = makePic(80, 50, rowsOnly(busyPattern(84), 14, 47));
  const PicFile face = makePic(80, 50, rowsOnly(busyPattern(85), 5, 45));
  TestArchive archive({{"data/textending/tolvek.raw", wave.bytes},
                       {"data/textending/code.raw", code.bytes},
                       {"data/textending/music.raw", musicWord.bytes},
                       {"data/textending/sunvira.raw", sunvira.bytes},
                       {"data/textending/drimbo00.raw", drimbo.bytes},
                       {"data/texttalkingv/vexmask.raw", face.bytes}});
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  TextEnding scene;
  attach(scene, "TextEnding", engine, music);
  scene.init();

  Rand rand;
  Fountain fountain(rand);  // seeds the sequence with 0
  Fire fire;
  rand.seed(t0);  // building the fire seeds it with the tick count
  PlasmaModel plasma;
  BlocksModel blocks;
  Clock fountainClock, fireClock, analyserClock, plasmaClock, blocksClock;
  Start waveStart, fallbackStart;
  int levels[4] = {0, 0, 0, 0};
  const int starts[4] = {0, 20, 50, 250}, widths[4] = {4, 5, 5, 5}, scales[4] = {61, 154, 309, 402};

  float spectrum[512];
  int frame = 0;
  for (uint32_t ms = 116100; ms <= 167700; ms += 23, ++frame) {  // beats 387 to 559
    const uint32_t now = t0 + 20000 + ms;
    tickNow() = now;
    atSongTime(music, ms);
    const double loudness = 0.06 * (1 + std::sin(frame * 0.07));
    for (int i = 0; i < 512; ++i) spectrum[i] = static_cast<float>(loudness * (1 + std::sin(i * 0.37 + frame * 0.21)));
    music.setManualSpectrum(spectrum);
    // F9 for a while in the fire window, then F8 lights the fire again.
    keyF9() = ms >= 130000 && ms < 131000;
    keyF8() = ms >= 132000 && ms < 132100;
    scene.draw(readFrameTime(*scene.music));
    const float b = music.beatTime();

    Screen want;
    if (b >= 388 && b < 420) {
      startClock(fountainClock, now);
      while (fountainClock.time <= now) {
        fountainClock.time += 20;
        fountain.tick(rand);
      }
      fountain.draw(want);
    } else if (b >= 420 && b < 452) {
      startClock(fireClock, now);
      while (fireClock.time <= now) {
        fireClock.time += 20;
        fire.tickShaded(rand, now, keyF8(), keyF9());
      }
      fire.draw(want, 176);
      startClock(analyserClock, now);
      while (analyserClock.time <= now) {
        analyserClock.time += 20;
        for (int k = 0; k < 4; ++k) {
          float sum = 0;
          for (int i = 0; i < widths[k]; ++i) sum += spectrum[starts[k] + i];
          const float target = sum * scales[k];
          levels[k] = static_cast<float>(levels[k] - 3) > target ? levels[k] - 3 : static_cast<int>(target);
        }
      }
      for (int k = 0; k < 4; ++k) {
        const int top = std::max(0, 50 - levels[k]);
        for (int r = top; r < 50; ++r)
          for (int c = 20 * k + 1; c <= 20 * k + 18; ++c)
            want.set(c, r, 254, r < 5 ? 12 : r < 20 ? 14 : 10, want.fg[r * 80 + c]);
      }
    } else if (b >= 452 && b < 484) {
      const double d = waveStart.since(now);
      rowWave(want, wave.pic, now * 0.02, 7 + 6 * std::cos(d * 0.000588235294117647),
              0.5 + 0.3 * std::cos(d * 0.0005263157894736842));
    } else if (b >= 484 && b < 517) {
      plasma.draw(want);
      startClock(plasmaClock, now);
      while (plasmaClock.time <= now) {
        plasmaClock.time += 20;
        plasma.p1 -= 10;
        plasma.p3 += 5;
      }
      rotated(want, b < 500 ? sunvira.pic : drimbo.pic, std::sin(now * 0.0031830988618379067) * 0.3333333333333333,
              1.0, 1.0);
      columnWave(want, b < 500 ? code.pic : musicWord.pic, 0, now * 0.006666666666666667, 1.5, 0.3);
    } else if (b >= 517 && b < 557) {
      for (int r = 0; r < 50; ++r)
        for (int c = 0; c < 80; ++c)
          if (engine.banners[1][r][c] != ' ') want.set(c, r, static_cast<unsigned char>(engine.banners[1][r][c]), 15, 4);
      blocks.advanceAndDraw(blocksClock, now, want);
    } else {
      rotated(want, face.pic, fallbackStart.since(now) * 0.002, 1.0, 1.0);
      want.text(0, 49, "(F5 - Snake, ESC - Quit)", 4, 0);
    }
    ASSERT_TRUE(sameScreen(engine, want)) << "beat " << b;
  }
  EXPECT_EQ(blocks.current, 17);
  // A particle stepping down to depth 0 keeps its place in the live count
  // here; the fountain frees it. Every particle flies off the plane long
  // before, so both counts agree.
  EXPECT_EQ(scene.particles->liveCount, fountain.live);
}

// ---------------------------------------------------------------- TextSnake

struct SnakeGame {
  Rand* rand;
  Stars stars;
  const Pic* panelPicture;
  const Pic* face;
  const char* const* greetings;
  int16_t x[2500], y[2500];
  int dir = 0, requested = 0, length = 1;
  int16_t foodX = 0, foodY = 0;
  int score = 0, high = 0, last = 0;

  void init() {
    stars.build(*rand);
    for (int i = 0; i < 200; ++i) stars.step(*rand);
    reset(5);
  }
  void reset(int n) {
    last = score;
    if (score > high) high = score;
    score = 0;
    length = n;
    for (int i = 0; i < n; ++i) {
      x[i] = 24;
      y[i] = static_cast<int16_t>(24 + i);
    }
    dir = requested = 0;
    placeFood();
  }
  bool onSnake(int fx, int fy, int from) const {
    for (int i = from; i < length; ++i)
      if (x[i] == fx && y[i] == fy) return true;
    return false;
  }
  void placeFood() {
    do {
      foodX = static_cast<int16_t>(rand->next() % 47 + 1);
      foodY = static_cast<int16_t>(rand->next() % 47 + 1);
    } while (onSnake(foodX, foodY, 0));
  }
  bool free(int d) const {
    const int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
    const int nx = x[0] + dx[d], ny = y[0] + dy[d];
    return nx >= 1 && nx <= 48 && ny >= 1 && ny <= 48 && !onSnake(nx, ny, 1);
  }
  void step(bool automatic, const KeyState& keys) {
    if (x[0] == foodX && y[0] == foodY) {
      score += length + 10;
      for (int k = 0; k < 5; ++k, ++length) {
        x[length] = x[length - 1];
        y[length] = y[length - 1];
      }
      placeFood();
    }
    int d = -1;
    if (automatic) {
      if (x[0] < foodX && free(1)) d = 1;
      else if (x[0] > foodX && free(3)) d = 3;
      else if (y[0] < foodY && free(2)) d = 2;
      else if (y[0] > foodY && free(0)) d = 0;
      for (int tries = 0; d < 0 && tries < 30; ++tries) {
        const int guess = rand->next() % 4;
        if (free(guess)) d = guess;
      }
      if (d < 0) return reset(1);
    } else {
      d = requested;
      if (keys.down[3] && dir != 2) d = 0;
      if (keys.down[2] && dir != 3) d = 1;
      if (keys.down[4] && dir != 0) d = 2;
      if (keys.down[1] && dir != 1) d = 3;
      if (!free(d)) return reset(1);
    }
    dir = requested = d;
    for (int i = length - 1; i >= 1; --i) {
      x[i] = x[i - 1];
      y[i] = y[i - 1];
    }
    const int dx[4] = {0, 1, 0, -1}, dy[4] = {-1, 0, 1, 0};
    x[0] = static_cast<int16_t>(x[0] + dx[d]);
    y[0] = static_cast<int16_t>(y[0] + dy[d]);
  }
  void panel(Screen& s, bool menu) const {
    blit(s, *panelPicture, 219, 0, 0);
    char n[16];
    const struct {
      int column, row;
      const char* label;
      int value;
    } lines[4] = {{61, 3, "SIZE:", length}, {60, 4, "SCORE:", score}, {55, 6, "LAST SCORE:", last}, {55, 7, "HIGH SCORE:", high}};
    for (const auto& line : lines) {
      s.text(line.column, line.row, line.label, 15, 2);
      std::snprintf(n, sizeof n, "%d", line.value);
      s.text(67, line.row, n, 15, 2);
    }
    if (menu) {
      s.text(53, 24, "  1 - AI snake", 15, 2);
      s.text(53, 25, "  2 - Play snake", 15, 2);
      s.text(53, 26, "ESC - Quit", 15, 2);
    }
  }
  void snake(Screen& s, bool withFood) const {
    if (withFood) s.set(foodX, foodY, 3, 12, 0);
    for (int i = 1; i < length; ++i) s.set(x[i], y[i], 254, 2, 10);
    s.set(x[0], y[0], 2, 14, 0);
  }
};

// What both objects share.
struct SnakeClass {
  int mode = 0;
  Clock stepClock, starClock;
  Start titleStart;
};

void snakeFrame(SnakeGame& g, SnakeClass& cls, Screen& s, float b, uint32_t now, const KeyState& keys) {
  const int beat = static_cast<int>(std::trunc(b));
  auto gameFrame = [&](bool automatic, bool menu) {
    startClock(cls.stepClock, now);
    while (cls.stepClock.time <= now) {
      cls.stepClock.time += 1000 / (automatic ? 50 : 10 + g.length / 10);
      g.step(automatic, keys);
    }
    g.panel(s, menu);
    g.snake(s, true);
  };
  auto greet = [&] {
    s.text(56, 15, "GREETS TO:", 15, 2);
    s.text(57, 16, g.greetings[(beat / 4) % 20], 15, 2);
  };
  if (beat >= 228 && beat <= 243) {
    starsUpdate(g.stars, cls.starClock, now, *g.rand, s);
    g.reset(5);
    g.panel(s, false);
  } else if (beat >= 244 && beat <= 259) {
    starsUpdate(g.stars, cls.starClock, now, *g.rand, s);
    g.panel(s, false);
    g.snake(s, false);
    greet();
  } else if (beat >= 260 && beat <= 556) {
    starsUpdate(g.stars, cls.starClock, now, *g.rand, s);
    gameFrame(true, false);
    greet();
  } else {
    const bool leavingTitle = cls.mode == 0 && (keys.down[33] || keys.down[34]);
    if (keys.down[33]) cls.mode = 1;
    if (keys.down[34]) cls.mode = 2;
    if (leavingTitle) {  // the viewer's game starts fresh, its step clock with it
      g.score = g.last = g.high = 0;
      g.reset(5);
      cls.stepClock = Clock{};
    }
    const uint32_t since = cls.titleStart.since(now);
    if (cls.mode == 0) {
      rotated(s, *g.face, since * 0.002, 1.0, 1.0);
      s.text(0, 49, "( 1,2 - Snake, ESC - Quit )", 4, 0);
    } else {
      starsUpdate(g.stars, cls.starClock, now, *g.rand, s);
      gameFrame(cls.mode == 1, true);
    }
  }
}

TEST(AuditTextSnake, BothObjectsMatchTheModelThroughShowTitleAndPlay) {
  const uint32_t t0 = 300000000;
  Stage stage(t0);
  const PicFile panel = makePic(80, 50, [](int x, int y) {
    return x == 0 || x == 49 || y == 0 || y == 49 ? 7 : x > 50 ? busyPattern(90)(x, y) : 0;
  });
  const PicFile face = makePic(80, 50, rowsOnly(busyPattern(91), 5, 45));
  TestArchive archive({{"data/textsnake/snakeinterface.raw", panel.bytes}, {"data/texttalkingv/vexmask.raw", face.bytes}});
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  KeyState keys{};
  TextSnake show, open;
  for (TextSnake* scene : {&show, &open}) {
    attach(*scene, "TextSnake", engine, music);
    scene->keys = &keys;
  }
  engine.state().random.seed(777);
  tickNow() = t0;
  show.init();
  open.init();

  Rand rand;
  rand.seed(777);
  SnakeClass cls;
  SnakeGame games[2];
  for (SnakeGame& g : games) {
    g.rand = &rand;
    g.panelPicture = &panel.pic;
    g.face = &face.pic;
    g.greetings = show.greetings;
    g.init();
  }
  ASSERT_STREQ(open.greetings[7], show.greetings[7]);

  auto run = [&](TextSnake& scene, SnakeGame& g, uint32_t fromMs, uint32_t toMs, uint32_t stepMs,
                 const std::function<void(uint32_t)>& press) {
    for (uint32_t ms = fromMs; ms <= toMs; ms += stepMs) {
      const uint32_t now = t0 + 1000 + ms;
      tickNow() = now;
      atSongTime(music, ms);
      press(ms);
      scene.draw(readFrameTime(*scene.music));
      const float b = music.beatTime();
      Screen want;
      snakeFrame(g, cls, want, b, now, keys);
      ASSERT_TRUE(sameScreen(engine, want)) << "beat " << b;
    }
  };
  const auto noKeys = [&](uint32_t) { std::memset(keys.down, 0, sizeof keys.down); };
  run(show, games[0], 68400, 97200, 31, noKeys);  // beats 228 to 324
  EXPECT_EQ(show.length, games[0].length);
  EXPECT_EQ(show.highScore, games[0].high);
  EXPECT_GT(games[0].high, 0);

  // The open end: title screen, then key 1 (a fresh game whose steps start
  // there), then key 2 and the arrow keys.
  run(open, games[1], 167100, 170000, 41, noKeys);
  run(open, games[1], 170000, 175000, 29, [&](uint32_t ms) {
    noKeys(ms);
    keys.down[5] = keys.down[33] = ms < 170100;
  });
  run(open, games[1], 175000, 200000, 33, [&](uint32_t ms) {
    noKeys(ms);
    keys.down[6] = keys.down[34] = ms < 175100;
    const int phase = (ms / 450) % 6;
    const int arrows[6] = {3, 2, 4, 1, 2, 4};  // up, right, down, left, right, down
    keys.down[arrows[phase]] = 1;
    if (phase == 5) keys.down[1] = 1;  // down and left at once: left comes last
  });
  EXPECT_EQ(TextSnake::shared(engine).interactionMode, 2);
  EXPECT_EQ(open.lastScore, games[1].last);
}

}  // namespace
}  // namespace audit
