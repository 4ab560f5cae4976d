// The opening scenes checked frame by frame against a separately written
// model (audit_model.h): TextFire, TextTalkingV, TextDance and
// TextBigSprite, over their whole slots, with the class-wide clocks, flash
// frames, stalls and the start ticks of their windows.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "audit_model.h"
#include "audit_support.h"
#include "scenes/textbigsprite.h"
#include "scenes/textdance.h"
#include "scenes/textfire.h"
#include "scenes/texttalkingv.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"

namespace audit {
namespace {

// ---------------------------------------------------------------- TextFire

struct FireModel {
  Rand rand;
  Fire fire;
  Stars stars;
  Clock starClock, fireClock;
  unsigned char shown[10] = {}, inverse[10] = {};
  const char (*mask)[81];
  const Pic* first;
  const Pic* second;

  static void flag(unsigned char* flags, double k, int value) {
    if (k >= 0 && k <= 9) flags[static_cast<int>(k)] = static_cast<unsigned char>(value);
  }

  void frame(Screen& s, float b, uint32_t now) {
    const bool window = (b >= 12 && b < 13) || (b >= 20 && b < 22) || (b >= 28 && b < 29) || (b >= 36 && b < 37);
    if (window && static_cast<int>(std::trunc(4 * b)) % 4 < 1) {
      s.fillWhite();
      return;
    }
    s.clear();
    starsUpdate(stars, starClock, now, rand, s);
    if (b > 10) {
      if (b > 39) fire.stopped = 1;
      startClock(fireClock, now);
      while (fireClock.time <= now) {
        fireClock.time += 20;
        fire.tick(rand);
      }
      fire.draw(s, b < 28 ? -1 : 254);
    }
    const double whole = std::trunc(b);
    if (b >= 12 && b < 18) {
      flag(shown, whole - 12, 1);
    } else if (b >= 18 && b < 19) {
      const int q = static_cast<int>(std::trunc(-4 * b));
      flag(shown, 6 - (3 * q + 216) / 4, 1);
    } else if (b >= 20 && b < 26) {
      for (auto& f : inverse) f = 0;
      if (b < 21)
        for (auto& f : inverse) f = 1;
      else
        flag(inverse, whole - 21, 1);
    } else if (b >= 26 && b < 28) {
      const float steps[3] = {26.0f, 26.75f, 27.5f};
      for (int k = 0; k < 3; ++k) {
        if (b > steps[k]) {
          for (auto& f : inverse) f = 0;
          inverse[5 + k] = 1;
        }
      }
    } else if (b >= 28 && b < 36) {
      for (auto& f : inverse) f = 0;
      blit(s, *first, 219, 0, 0);
    } else if (b >= 36) {
      flag(shown, whole - 36, 0);
      for (auto& f : inverse) f = 0;
      blit(s, *first, 219, 0, 0);
      blit(s, *second, 219, 0, 0);
    }
    for (int r = 0; r < 50; ++r) {
      for (int c = 0; c < 80; ++c) {
        const char m = mask[r][c];
        bool lit = false;
        if (m >= '0' && m <= '9') lit = shown[m - '0'] && !inverse[m - '0'];
        if (m >= 'a' && m <= 'j') lit = shown[m - 'a'] && inverse[m - 'a'];
        if (lit) s.set(c, r, 219, 15, 0);
      }
    }
  }
};

TEST(AuditTextFire, EveryFrameOfTheSlotMatchesTheModel) {
  const uint32_t t0 = 7000000;
  Stage stage(t0);
  const PicFile first = makePic(80, 50, rowsOnly(busyPattern(1), 30, 37));
  const PicFile second = makePic(80, 50, rowsOnly(busyPattern(2), 40, 45));
  TestArchive archive({{"data/textfire/glimmerbay.raw", first.bytes}, {"data/textfire/2006.raw", second.bytes}});
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  TextFire scene;
  attach(scene, "TextFire", engine, music);
  scene.init();

  FireModel model;
  model.rand.seed(t0);  // building the fire seeds the sequence with the tick count
  model.fire.cooling = 3.5;
  model.fire.target = 0.03f;
  model.fire.rate = 0.014f;
  model.stars.build(model.rand);
  model.mask = scene.letters.rows;
  model.first = &first.pic;
  model.second = &second.pic;

  int flashes = 0;
  std::set<float> beats;
  for (uint32_t ms = 0; ms <= 13200; ms += 25) {
    if (ms > 9000 && ms < 10500) continue;  // a stall of one and a half seconds
    tickNow() = t0 + ms + ms / 7;           // the tick count runs a little ahead of the song
    atSongTime(music, ms);
    scene.draw(readFrameTime(*scene.music));
    const float b = music.beatTime();
    beats.insert(b);
    Screen want;
    model.frame(want, b, tickNow());
    flashes += want.ch[0] == 219 && want.bg[0] == 15;
    ASSERT_TRUE(sameScreen(engine, want)) << "beat " << b;
  }
  EXPECT_GT(flashes, 10);
  // The frames met the edges of the letter windows exactly.
  for (float edge : {12.0f, 18.5f, 20.0f, 26.0f, 27.5f, 28.0f, 36.0f})
    EXPECT_EQ(beats.count(edge), 1u) << edge;
  EXPECT_EQ(model.fire.stopped, 1);
}

// ------------------------------------------------------------ TextTalkingV

TEST(AuditTextTalkingV, EveryFrameOfTheSlotMatchesTheModel) {
  // Past 2^31: the spots read the tick count as signed, the letters unsigned.
  const uint32_t t0 = 0x90000000u;
  Stage stage(t0);
  std::vector<TestArchiveFile> files;
  std::vector<PicFile> letters;
  for (int i = 0; i < 8; ++i) {
    // A letter that occurs twice is one file, loaded twice.
    letters.push_back(makePic(8, 6, busyPattern(10 + TextTalkingV::kTitle[i])));
    char name[64];
    std::snprintf(name, sizeof name, "data/texttalkingv/%c.raw", TextTalkingV::kTitle[i]);
    files.push_back({name, letters.back().bytes});
  }
  const PicFile wall = makePic(80, 50, busyPattern(20));
  const PicFile face = makePic(80, 50, rowsOnly(busyPattern(21), 8, 44));
  files.push_back({"data/texttalkingv/greywall.raw", wall.bytes});
  files.push_back({"data/texttalkingv/vexmask.raw", face.bytes});
  TestArchive archive(files);
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  TextTalkingV scene;
  attach(scene, "TextTalkingV", engine, music);
  scene.init();

  Start spin, pulse;
  const double quarter = 1.5707963267948966;
  for (uint32_t ms = 13200; ms <= 33000; ms += 40) {
    const uint32_t now = t0 + ms * 3 / 2;
    tickNow() = now;
    atSongTime(music, ms);
    scene.draw(readFrameTime(*scene.music));
    const float b = music.beatTime();

    Screen want;
    if (b < 104) {
      blit(want, wall.pic, 176, 0, 0);
      const double t = now * 0.001;
      for (int i = 0; i < 8; ++i)
        blit(want, letters[i].pic, 219, static_cast<int>(std::trunc(36 * std::sin(t - 0.25 * i) - 36)), -1 - 6 * i);
    }
    if (b >= 44 && b < 68) {
      blit(want, face.pic, 219, 0, 0);
    } else if (b >= 68 && b < 72) {
      rotated(want, face.pic, spin.since(now) * 0.0012, 1.0, 1.0);
    } else if (b >= 72 && b < 76) {
      rotated(want, face.pic, quarter, 1.0, 1.0);
    } else if (b >= 76 && b < 104) {
      rotated(want, face.pic, quarter, 2 - std::cos(pulse.since(now) * M_PI * 0.0078125), 1.0);
    } else if (b >= 104 && b < 108) {
      rotated(want, face.pic, quarter, 1.0, 1.0);
    }
    if (b < 104) {
      const double n = static_cast<int32_t>(now);
      const double colFactor[3] = {0.001, 0.00125, 0.002};
      const double rowFactor[3] = {0.0014084507042253522, 0.0024390243902439024, 0.0012345679012345679};
      for (int k = 0; k < 3; ++k) {
        const int cx = static_cast<int>(std::trunc(std::sin(n * colFactor[k]) * 35 + 40));
        const int cy = static_cast<int>(std::trunc(std::cos(n * rowFactor[k]) * 20 + 25));
        for (int dy = -5; dy <= 5; ++dy) {
          for (int dx = -5; dx <= 5; ++dx) {
            const int c = cx + dx, r = cy + dy;
            if (std::abs(dx) + std::abs(dy) > 8 || c < 0 || c >= 80 || r < 0 || r >= 50) continue;
            const int i = r * 80 + c;
            const int colour = (want.bg[i] * 16 + want.fg[i] + 1) % 256;
            want.fg[i] = static_cast<unsigned char>(colour % 16);
            want.bg[i] = static_cast<unsigned char>(colour / 16);
          }
        }
      }
    }
    ASSERT_TRUE(sameScreen(engine, want)) << "beat " << b << " tick " << now;
  }
}

// ------------------------------------------------- TextDance, TextBigSprite

// The two rotozoom scenes in show order: the rotozoom's step clock belongs
// to the class, so the big sprite's new rotozoom takes every step since the
// dance's last frame at its first frame.
TEST(AuditRotozoomScenes, DanceThenBigSpriteMatchTheModelAndShareTheStepClock) {
  const uint32_t t0 = 40000000;
  Stage stage(t0);
  std::vector<TestArchiveFile> files;
  std::vector<PicFile> dance, horn;
  for (int i = 0; i < 4; ++i) {
    dance.push_back(makePic(80, 50, rowsOnly(busyPattern(30 + i), 5 + 3 * i, 45 - 2 * i)));
    files.push_back({"data/textdance/dance" + std::to_string(i + 1) + ".raw", dance.back().bytes});
  }
  for (int i = 0; i < 4; ++i) {
    horn.push_back(makePic(80, 50, rowsOnly(busyPattern(40 + i), 10 + i, 40)));
    files.push_back({"data/textdance/horn" + std::to_string(i + 1) + ".raw", horn.back().bytes});
  }
  const PicFile danceTexture = makePic(256, 256, busyPattern(50));
  const PicFile spriteTexture = makePic(256, 256, busyPattern(51));
  const PicFile big = makePic(300, 80, busyPattern(52));
  files.push_back({"data/textdance/rotozoom.raw", danceTexture.bytes});
  files.push_back({"data/textbigsprite/tavors.raw", spriteTexture.bytes});
  files.push_back({"data/textbigsprite/tavorlin.raw", big.bytes});
  TestArchive archive(files);
  AsciiEngine engine(nullptr);
  Music music(Music::Manual{});
  TextDance danceScene;
  TextBigSprite spriteScene;
  attach(danceScene, "TextDance", engine, music);
  attach(spriteScene, "TextBigSprite", engine, music);
  danceScene.init();
  spriteScene.init();

  Clock rotoClock;
  Roto danceRoto(danceTexture.pic), spriteRoto(spriteTexture.pic);
  Start spin, pulse, zoom;
  const uint32_t steps[3] = {13, 21, 17};
  uint32_t ms = 32400;  // beat 108
  for (int frame = 0; ms <= 53700; ++frame, ms += steps[frame % 3]) {
    const uint32_t now = t0 + ms;
    tickNow() = now;
    atSongTime(music, ms);
    danceScene.draw(readFrameTime(*danceScene.music));
    const float b = music.beatTime();
    const int pose = static_cast<int>(std::fmod(b, 4.0));
    const int half = static_cast<int>(std::fmod(2.0 * b, 4.0));

    Screen want;
    if (b < 172) {
      if (b >= 124) danceRoto.mirror = pose;
      danceRoto.draw(want);
      danceRoto.advance(rotoClock, now);
      if (b < 140) {
        blit(want, dance[pose].pic, 219, 0, 0);
        if (static_cast<int>(std::trunc(8.0 * b)) % 8 == 0) want.fillWhite();
      } else {
        const double d = spin.since(now);
        rotatedClamped(want, dance[pose].pic, d * d * 9.09090909090909e-07);
      }
    } else {
      const double p = 0.9 - 0.125 * std::cos(pulse.since(now) * M_PI * 0.00390625);
      if (b < 173) {
        rotated(want, horn[half].pic, 0, p, p);
      } else if (b < 174) {
        rotated(want, horn[3].pic, 0, p, p);
      } else if (b < 178) {
        const double z = zoom.since(now) * 0.01 + 1;
        rotated(want, horn[3 - half].pic, 0, z, z);
      }
    }
    ASSERT_TRUE(sameScreen(engine, want)) << "dance at beat " << b;
  }

  for (ms = 97200; ms <= 116400; ms += 37) {  // beats 324 to 388
    const uint32_t now = t0 + ms;
    tickNow() = now;
    atSongTime(music, ms);
    spriteScene.draw(readFrameTime(*spriteScene.music));
    const float b = music.beatTime();
    Screen want;
    spriteRoto.draw(want);
    spriteRoto.advance(rotoClock, now);
    blit(want, big.pic, 219, static_cast<int>((std::sin(0.5f * b) + 1.0f) * 110.0f),
         static_cast<int>((std::cos(0.70422536f * b) + 1.0f) * 15.0f));
    ASSERT_TRUE(sameScreen(engine, want)) << "big sprite at beat " << b;
    if (ms == 97200) {
      // The dance's last step was at beat 179; the first sprite frame took
      // the 145 seconds since then at once.
      EXPECT_EQ(spriteScene.rotozoom->zoomIndex, spriteRoto.zoom);
      EXPECT_NE(spriteRoto.zoom, 1);
    }
  }
}

}  // namespace
}  // namespace audit
