#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "capture/cell_picture.h"
#include "capture/yuv420.h"
#include "chart.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"

namespace {

// A chart whose glyph 1 has only its top-left pixel set and glyph 2 only
// its bottom-right pixel; every other glyph is a full block.
ChartPixels markerChart() {
  std::array<chart::Glyph, 256> glyphs;
  for (auto& g : glyphs) g.fill(0xFF);
  glyphs[1].fill(0);
  glyphs[1][0] = 0x80;
  glyphs[2].fill(0);
  glyphs[2][11] = 0x01;
  const std::vector<uint8_t> rgb = chart::chartImage(glyphs);
  return chartFromTopDownRgb(chart::kWidth, chart::kHeight, rgb.data());
}

std::array<int, 3> at(const ReferenceRenderer& r, int x, int y) {
  const unsigned char* p = r.pixel(x, y);
  return {p[0], p[1], p[2]};
}

TEST(ReferenceRendererTest, CellsLandColumnByColumnFromTheTopWithUprightGlyphs) {
  ReferenceRenderer renderer(markerChart());
  AsciiEngine engine(&renderer);
  engine.setCell(0, 0, 1, 15, 4);    // top-left cell, mark in its top-left pixel
  engine.setCell(79, 49, 2, 14, 1);  // bottom-right cell, mark in its bottom-right pixel
  engine.present();
  EXPECT_EQ(renderer.frames, 1);

  // Rows of the picture are bottom row first: the top text row is y 588..599.
  EXPECT_EQ(at(renderer, 0, 599), (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ(at(renderer, 1, 599), (std::array<int, 3>{128, 0, 0}));
  EXPECT_EQ(at(renderer, 0, 598), (std::array<int, 3>{128, 0, 0}));
  EXPECT_EQ(at(renderer, 7, 588), (std::array<int, 3>{128, 0, 0}));
  EXPECT_EQ(at(renderer, 8, 599), (std::array<int, 3>{0, 0, 0})) << "cell (1,0) is glyph 0 in black";

  EXPECT_EQ(at(renderer, 639, 0), (std::array<int, 3>{255, 255, 0}));
  EXPECT_EQ(at(renderer, 638, 0), (std::array<int, 3>{0, 0, 128}));
  EXPECT_EQ(at(renderer, 632, 11), (std::array<int, 3>{0, 0, 128}));
}

TEST(ReferenceRendererTest, ColoursRoundToTheNearestByteAndMasksAddWithSaturation) {
  // Both masks white everywhere: the colours add up.
  ChartPixels white;
  white.width = 640;
  white.height = 120;
  white.rgba.assign(640 * 120 * 4, 255);
  ReferenceRenderer renderer(white);
  AsciiEngine engine(&renderer);
  engine.setCell(0, 49, 0, 7, 0);    // light grey 0.75 -> 191
  engine.setCell(1, 49, 0, 12, 14);  // red + yellow -> 255, 255, 0
  engine.setCell(2, 49, 0, 4, 2);    // dark red + dark green
  engine.setCell(3, 49, 0, 8, 8);    // 128 + 128 saturates
  engine.present();
  EXPECT_EQ(at(renderer, 4, 5), (std::array<int, 3>{191, 191, 191}));
  EXPECT_EQ(at(renderer, 12, 5), (std::array<int, 3>{255, 255, 0}));
  EXPECT_EQ(at(renderer, 20, 5), (std::array<int, 3>{128, 128, 0}));
  EXPECT_EQ(at(renderer, 28, 5), (std::array<int, 3>{255, 255, 255}));
}

TEST(ReferenceRendererTest, NearestSamplingPicksTheSameTexelsFromALargerChart) {
  // The same chart at twice the size in both directions must give the same
  // picture: each target pixel samples the texel under its centre.
  const ChartPixels small = markerChart();
  ChartPixels big;
  big.width = small.width * 2;
  big.height = small.height * 2;
  big.rgba.resize(static_cast<size_t>(big.width) * big.height * 4);
  for (int y = 0; y < big.height; ++y) {
    for (int x = 0; x < big.width; ++x) {
      for (int c = 0; c < 4; ++c) {
        big.rgba[(static_cast<size_t>(y) * big.width + x) * 4 + c] =
            small.rgba[(static_cast<size_t>(y / 2) * small.width + x / 2) * 4 + c];
      }
    }
  }
  ReferenceRenderer a(small), b(big);
  AsciiEngine ea(&a), eb(&b);
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    const int c = i % 80, r = i / 80;
    ea.setCell(c, r, (i * 7) & 255, i & 15, (i >> 4) & 15);
    eb.setCell(c, r, (i * 7) & 255, i & 15, (i >> 4) & 15);
  }
  ea.present();
  eb.present();
  EXPECT_TRUE(a.picture == b.picture);
}

TEST(ReferenceRendererTest, WithoutAChartThePictureIsBlack) {
  ReferenceRenderer renderer{ChartPixels()};
  AsciiEngine engine(&renderer);
  engine.fillWhite();
  engine.present();
  for (unsigned char v : renderer.picture) ASSERT_EQ(v, 0);
  ChartPixels missing;
  EXPECT_FALSE(loadChartPixels("no/such/chart.png", &missing));
}

}  // namespace

// The recorder's CPU picture is the reference's, pixel for pixel, through
// its fast path for black and white masks and its general one for others,
// as B, G, R, A and converted to Y, Cb, Cr; a frame without a screen is black.
TEST(ReferenceRendererTest, RecordersCellPictureIsTheReferencesPicture) {
  constexpr size_t kBytes = static_cast<size_t>(AsciiEngine::kTargetWidth) * AsciiEngine::kTargetHeight * 4;
  std::mt19937 random(3);
  std::array<chart::Glyph, 256> glyphs;
  for (auto& g : glyphs)
    for (auto& row : g) row = static_cast<uint8_t>(random());
  const std::vector<uint8_t> twoToneRgb = chart::chartImage(glyphs);
  std::vector<uint8_t> greyRgb = twoToneRgb;
  for (size_t i = 0; i < greyRgb.size(); i += 7) greyRgb[i] = static_cast<uint8_t>(random());

  ReferenceRenderer unused(ChartPixels{});
  AsciiEngine engine(&unused);
  for (int row = 0; row < AsciiEngine::kRows; ++row)
    for (int column = 0; column < AsciiEngine::kColumns; ++column)
      engine.setCell(column, row, static_cast<int>(random() % 256), static_cast<int>(random() % 16),
                     static_cast<int>(random() % 16));

  const std::vector<uint8_t>* charts[] = {&twoToneRgb, &greyRgb};
  for (const std::vector<uint8_t>* rgb : charts) {
    const GlyphAtlas atlas = buildGlyphAtlas(chartFromTopDownRgb(chart::kWidth, chart::kHeight, rgb->data()));
    std::vector<uint8_t> expected(kBytes);
    renderReferenceBgra(engine, atlas, expected.data());
    for (bool converts : {false, true}) {
      const char* what = rgb == &twoToneRgb ? "black and white masks" : "grey masks";
      std::vector<uint8_t> wanted = expected;
      if (converts) bgraToYuvPixels(wanted.data(), kBytes / 4, wanted.data());
      CellPicture picture(atlas, converts);
      std::vector<uint8_t> drawn(kBytes, 7);
      picture.drawInto(drawn.data());
      picture.present(engine);
      picture.finishFrame();
      EXPECT_TRUE(drawn == wanted) << what << (converts ? ", converted" : "");

      std::vector<uint8_t> black(kBytes, 0);
      if (converts) bgraToYuvPixels(black.data(), kBytes / 4, black.data());
      picture.drawInto(drawn.data());
      picture.finishFrame();
      EXPECT_TRUE(std::equal(drawn.begin(), drawn.end(), black.begin())) << what << ", no screen";
    }
  }
}
