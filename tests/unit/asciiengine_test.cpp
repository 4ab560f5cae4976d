#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/banners.h"

namespace {

struct CountingRenderer : ScreenRenderer {
  std::vector<const AsciiEngine*> frames;
  std::vector<unsigned char> firstCells;
  void present(const AsciiEngine& engine) override {
    frames.push_back(&engine);
    firstCells.push_back(engine.chars[0]);
  }
};

bool planesAreZero(const AsciiEngine& e) {
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    if (e.chars[i] || e.fg[i] || e.bg[i]) return false;
  }
  return true;
}

TEST(AsciiEngineTest, HeadlessEngineStartsBlankWithUnitViewAndPalette) {
  AsciiEngine e(nullptr);
  EXPECT_TRUE(planesAreZero(e));
  EXPECT_EQ(e.viewX, 1);
  EXPECT_EQ(e.viewY, 1);
  EXPECT_EQ(e.viewWidth, 1);
  EXPECT_EQ(e.viewHeight, 1);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(e.banners[i], banner_lines[i]);
  // One fill over 12000 bytes has to cover exactly the three planes.
  EXPECT_EQ(e.fg, e.chars + AsciiEngine::kCells);
  EXPECT_EQ(e.bg, e.fg + AsciiEngine::kCells);

  // The CGA rule: bit 0 blue, bit 1 green, bit 2 red, bit 3 bright; light
  // grey and dark grey swap the rule's 0.5 and 0.75.
  for (int i = 0; i < 16; ++i) {
    float level = (i & 8) ? 1.0f : 0.5f;
    if (i == 7) level = 0.75f;
    const float expected[4] = {(i & 4) ? level : 0.0f, (i & 2) ? level : 0.0f,
                               (i & 1) ? level : 0.0f, 1.0f};
    if (i == 8) {
      for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(e.palette[8][c], 0.5f);
      continue;
    }
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(e.palette[i][c], expected[c]) << "colour " << i;
  }
}

TEST(AsciiEngineTest, ClearAndFillWhiteCoverEveryCell) {
  AsciiEngine e(nullptr);
  e.fillWhite();
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    ASSERT_EQ(e.chars[i], 219);
    ASSERT_EQ(e.fg[i], 15);
    ASSERT_EQ(e.bg[i], 15);
  }
  e.clear();
  EXPECT_TRUE(planesAreZero(e));
}

TEST(AsciiEngineTest, SetCellWritesInsideAndDropsEverythingOutside) {
  AsciiEngine e(nullptr);
  e.setCell(0, 0, 'A', 1, 2);
  e.setCell(79, 49, 'Z', 14, 4);
  e.setCell(5, 3, 300, 258, 17);  // bytes are stored as they come, truncated
  EXPECT_EQ(e.chars[0], 'A');
  EXPECT_EQ(e.fg[0], 1);
  EXPECT_EQ(e.bg[0], 2);
  EXPECT_EQ(e.chars[3999], 'Z');
  EXPECT_EQ(e.fg[3999], 14);
  EXPECT_EQ(e.bg[3999], 4);
  EXPECT_EQ(e.chars[3 * 80 + 5], 300 & 255);
  EXPECT_EQ(e.fg[3 * 80 + 5], 2);
  EXPECT_EQ(e.bg[3 * 80 + 5], 17);

  AsciiEngine probe(nullptr);
  const int outside[][2] = {{80, 0}, {0, 50}, {-1, 0}, {0, -1}, {-1, -1},
                            {INT_MIN, 10}, {10, INT_MIN}, {INT_MAX, 0}, {-80, 1}};
  for (const auto& p : outside) probe.setCell(p[0], p[1], 219, 15, 15);
  EXPECT_TRUE(planesAreZero(probe));
}

TEST(AsciiEngineTest, DrawBannerWritesWhiteOnDarkRedAndLeavesBlanks) {
  std::vector<std::string> text(50, std::string(80, ' '));
  text[0] = "8#o.:" + std::string(75, ' ');
  text[49] = std::string(79, ' ') + "o";
  std::vector<const char*> lines;
  for (const auto& t : text) lines.push_back(t.c_str());

  AsciiEngine e(nullptr);
  e.setCell(5, 0, 'x', 2, 3);   // under a blank of line 0
  e.setCell(40, 20, 'y', 6, 1);  // under an all-blank line
  e.drawBanner(lines.data());

  const char* written = "8#o.:";
  for (int c = 0; c < 5; ++c) {
    EXPECT_EQ(e.chars[c], written[c]);
    EXPECT_EQ(e.fg[c], 15);
    EXPECT_EQ(e.bg[c], 4);
  }
  EXPECT_EQ(e.chars[5], 'x');
  EXPECT_EQ(e.fg[5], 2);
  EXPECT_EQ(e.bg[5], 3);
  const int y = 20 * 80 + 40;
  EXPECT_EQ(e.chars[y], 'y');
  EXPECT_EQ(e.fg[y], 6);
  EXPECT_EQ(e.bg[y], 1);
  EXPECT_EQ(e.chars[3999], 'o');
  EXPECT_EQ(e.bg[3999], 4);
  // Nothing else was touched.
  int written_cells = 0;
  for (int i = 0; i < AsciiEngine::kCells; ++i) written_cells += e.bg[i] == 4;
  EXPECT_EQ(written_cells, 6);
}

TEST(AsciiEngineTest, SetViewportLetterboxesWithTheStoredFloatAspect) {
  struct Case {
    int w, h;
    float aspect;
    int x, y, vw, vh;
  };
  const Case cases[] = {
      {1024, 768, 16.0f / 9.0f, 0, 96, 1024, 575},
      {1024, 768, 4.0f / 3.0f, 0, 0, 1024, 767},
      {1280, 1024, 16.0f / 10.0f, 0, 112, 1280, 799},
      {1920, 1080, 4.0f / 3.0f, 240, 0, 1440, 1080},  // pillarbox
      {1921, 1080, 16.0f / 9.0f, 0, 0, 1920, 1080},    // odd margin rounds down
      {640, 600, 640.0f / 600.0f, 0, 0, 640, 599},
  };
  for (const Case& c : cases) {
    AsciiEngine e(nullptr);
    e.setViewport(c.w, c.h, c.aspect);
    EXPECT_EQ(e.viewX, c.x) << c.w << "x" << c.h << " @ " << c.aspect;
    EXPECT_EQ(e.viewY, c.y) << c.w << "x" << c.h << " @ " << c.aspect;
    EXPECT_EQ(e.viewWidth, c.vw) << c.w << "x" << c.h << " @ " << c.aspect;
    EXPECT_EQ(e.viewHeight, c.vh) << c.w << "x" << c.h << " @ " << c.aspect;
  }
}

TEST(AsciiEngineTest, HeadlessPresentHandsTheScreenToTheRenderer) {
  CountingRenderer renderer;
  AsciiEngine e(&renderer);
  e.setCell(0, 0, 7, 1, 1);
  e.present();
  e.clear();
  e.present();
  ASSERT_EQ(renderer.frames.size(), 2u);
  EXPECT_EQ(renderer.frames[0], &e);
  EXPECT_EQ(renderer.firstCells[0], 7);
  EXPECT_EQ(renderer.firstCells[1], 0);

  AsciiEngine discard(nullptr);
  discard.present();  // no renderer, no GL: nothing happens
}

TEST(AsciiEngineTest, ColourUsesOnlyTheLowFourBits) {
  AsciiEngine e(nullptr);
  EXPECT_EQ(e.colour(15), e.palette[15]);
  EXPECT_EQ(e.colour(16 + 4), e.palette[4]);
  EXPECT_EQ(e.colour(255), e.palette[15]);
}

TEST(AsciiEngineTest, GlyphRectanglesFollowTheChartGrid) {
  struct Case {
    int glyph;
    float u0, u1, fg0, fg1, bg0, bg1;
  };
  const Case cases[] = {
      {0, 0.0f, 0.0125f, 0.9f, 1.0f, 0.5f, 0.6f},
      {219, 0.7375f, 0.75f, 0.7f, 0.8f, 0.3f, 0.4f},
      {255, 0.1875f, 0.2f, 0.6f, 0.7f, 0.2f, 0.3f},
      {79, 0.9875f, 1.0f, 0.9f, 1.0f, 0.5f, 0.6f},
      {80, 0.0f, 0.0125f, 0.8f, 0.9f, 0.4f, 0.5f},
  };
  for (const Case& c : cases) {
    const GlyphRect r = glyphRect(c.glyph);
    EXPECT_NEAR(r.u0, c.u0, 1e-6) << c.glyph;
    EXPECT_NEAR(r.u1, c.u1, 1e-6) << c.glyph;
    EXPECT_NEAR(r.fgV0, c.fg0, 1e-6) << c.glyph;
    EXPECT_NEAR(r.fgV1, c.fg1, 1e-6) << c.glyph;
    EXPECT_NEAR(r.bgV0, c.bg0, 1e-6) << c.glyph;
    EXPECT_NEAR(r.bgV1, c.bg1, 1e-6) << c.glyph;
  }
}

TEST(AsciiEngineTest, BannersAreFiftyLinesOfEightyAllowedCharacters) {
  for (int b = 0; b < 4; ++b) {
    int drawn = 0;
    for (int r = 0; r < 50; ++r) {
      const char* line = banner_lines[b][r];
      ASSERT_NE(line, nullptr);
      ASSERT_EQ(std::strlen(line), 80u) << "banner " << b << " line " << r;
      for (int c = 0; c < 80; ++c) {
        ASSERT_NE(std::strchr(".o8#: ", line[c]), nullptr) << "banner " << b << " line " << r;
        drawn += line[c] != ' ';
      }
    }
    // Each banner is a picture, not an empty or a full screen.
    EXPECT_GT(drawn, 300) << "banner " << b;
    EXPECT_LT(drawn, 2500) << "banner " << b;
  }
}

}  // namespace
