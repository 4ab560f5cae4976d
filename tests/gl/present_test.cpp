#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "chart.h"
#include "util/random.h"
#include "util/texture/png_writer.h"
#include "psf_font.h"
#include "support/gl_window.h"
#include "support/test_archive.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/gl_screen_renderer.h"
#include "util/ascii/reference_renderer.h"
#include "capture/picture_scaler.h"
#include "util/fbo/fbo.h"

namespace {

const char* const kChart = AsciiEngine::kChartFile;
constexpr int kW = AsciiEngine::kTargetWidth;
constexpr int kH = AsciiEngine::kTargetHeight;

// One engine and the chart pixels for the whole process, both read from an
// archive exactly as the program reads them: the show's own archive when
// KESTRUNE_DATA_TVL names it, else one holding a chart made here by the
// chart tool's code from the same console fonts.
struct Shared {
  GlScreenRenderer* gl = nullptr;
  AsciiEngine* engine = nullptr;
  ChartPixels chart;
  std::string error;
};

std::string madeChartPng() {
  PsfFont primary, fallback;
  std::string error;
  std::array<chart::Glyph, 256> glyphs;
  if (!loadPsfFont("/usr/share/consolefonts/lat9u-12.psf.gz", &primary, &error) ||
      !loadPsfFont("/usr/share/consolefonts/default8x16.psf.gz", &fallback, &error) ||
      !chart::buildGlyphs(primary, fallback, &glyphs, &error)) {
    return "";
  }
  const std::string dir = makeTestTempDir("kestrune-chart");
  const std::string path = dir + "/asciichart.png";
  std::string png;
  if (writePng(path, chart::kWidth, chart::kHeight, 3, chart::chartImage(glyphs))) {
    std::ifstream in(path, std::ios::binary);
    png.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(path.c_str());
  rmdir(dir.c_str());
  return png;
}

Shared& shared() {
  static Shared s = [] {
    Shared made;
    const char* tvl = std::getenv("KESTRUNE_DATA_TVL");
    std::unique_ptr<TestArchive> archive;
    if (tvl) {
      archive.reset(new TestArchive(CopyOfArchive{}, tvl));
    } else {
      const std::string png = madeChartPng();
      if (png.empty()) {
        made.error = "could not make a chart from the console fonts";
        return made;
      }
      archive.reset(new TestArchive({{kChart, png}}));
    }
    if (!loadChartPixels(kChart, &made.chart)) {
      made.error = std::string("no decodable ") + kChart + (tvl ? std::string(" in ") + tvl : "");
      return made;
    }
    made.gl = new GlScreenRenderer();
    made.engine = new AsciiEngine(made.gl);
    return made;
  }();
  return s;
}

// The renderer's 640 x 600 target, RGB, bottom row first.
std::vector<unsigned char> readTarget(GlScreenRenderer& gl) {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl.target->fboID);
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
  std::vector<unsigned char> rgba = GlWindow::readPixels(0, 0, kW, kH);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glReadBuffer(GL_BACK);
  std::vector<unsigned char> rgb(static_cast<size_t>(kW) * kH * 3);
  for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i) {
    for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = rgba[i * 4 + c];
  }
  return rgb;
}

// Empty when equal, else how many bytes differ and where the first is.
std::string compare(const std::vector<unsigned char>& gl, const std::vector<unsigned char>& cpu) {
  size_t differing = 0;
  size_t first = 0;
  for (size_t i = 0; i < gl.size(); ++i) {
    if (gl[i] != cpu[i]) {
      if (differing++ == 0) first = i;
    }
  }
  if (differing == 0) return "";
  const size_t pixelIndex = first / 3;
  return std::to_string(differing) + " bytes differ; first at x " + std::to_string(pixelIndex % kW) +
         ", y " + std::to_string(pixelIndex / kW) + " channel " + std::to_string(first % 3) + ": GL " +
         std::to_string(gl[first]) + ", reference " + std::to_string(cpu[first]);
}

class PresentTest : public GlTest {
 protected:
  void SetUp() override {
    // Room for the largest letterbox below; the first window of a process
    // decides its size.
    GlWindow::open(1920, 1080);
    GlTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(shared().engine, nullptr) << shared().error;
    engine = shared().engine;
    gl = shared().gl;
    gl->cellPass = GlScreenRenderer::CellPass::Shader;
    gl->setOutput(0);
    engine->viewX = 0;
    engine->viewY = 0;
    engine->viewWidth = kW;
    engine->viewHeight = kH;
  }

  // Presents the engine's screen and checks the target against the CPU
  // reference, pixel for pixel.
  void expectPresentMatchesReference(const std::string& what) {
    engine->present();
    std::vector<unsigned char> cpu(static_cast<size_t>(kW) * kH * 3);
    renderReference(*engine, shared().chart, cpu.data());
    EXPECT_EQ(compare(readTarget(*gl), cpu), "") << what;
  }

  bool needWindow(int w, int h) {
    return GlWindow::width() >= w && GlWindow::height() >= h;
  }

  AsciiEngine* engine = nullptr;
  GlScreenRenderer* gl = nullptr;
};

// Every glyph in every foreground/background pair: 65536 cells over 17 screens.
void fillAllPairs(AsciiEngine& engine, int screen) {
  engine.clear();
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    const int k = screen * AsciiEngine::kCells + i;
    if (k >= 65536) break;
    engine.setCell(i % 80, i / 80, k & 255, (k >> 8) & 15, (k >> 12) & 15);
  }
}

TEST_F(PresentTest, TargetEqualsTheReferenceForClearedWhiteAndEveryGlyphColourPair) {
  // Mesa has GLSL 1.30: the program draws its cells with the shader here.
  EXPECT_TRUE(gl->hasShaderPass());
  engine->clear();
  expectPresentMatchesReference("cleared screen");
  const std::vector<unsigned char> black = readTarget(*gl);
  for (unsigned char v : black) ASSERT_EQ(v, 0) << "a cleared screen is black";

  engine->fillWhite();
  expectPresentMatchesReference("white screen");
  for (unsigned char v : readTarget(*gl)) ASSERT_EQ(v, 255) << "fillWhite gives white";

  for (int screen = 0; screen < 17; ++screen) {
    fillAllPairs(*engine, screen);
    expectPresentMatchesReference("glyph/colour screen " + std::to_string(screen));
  }

  // Plane bytes outside 0..15 pick a colour by their low four bits.
  util::Random random(7);
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    engine->chars[i] = static_cast<unsigned char>(random.next());
    engine->fg[i] = static_cast<unsigned char>(random.next());
    engine->bg[i] = static_cast<unsigned char>(random.next());
  }
  expectPresentMatchesReference("random bytes");
}

// The quad passes of renderers without GLSL skip black quads; the pixels
// stay those of the reference.
TEST_F(PresentTest, QuadCellPassesGiveTheSamePixels) {
  for (GlScreenRenderer::CellPass pass :
       {GlScreenRenderer::CellPass::VertexArrays, GlScreenRenderer::CellPass::Immediate}) {
    gl->cellPass = pass;
    const std::string name = pass == GlScreenRenderer::CellPass::Immediate ? "immediate " : "vertex arrays ";
    for (int screen = 0; screen < 17; screen += 4) {
      fillAllPairs(*engine, screen);
      expectPresentMatchesReference(name + "glyph/colour screen " + std::to_string(screen));
    }
    engine->fillWhite();
    expectPresentMatchesReference(name + "white screen");
    engine->clear();
    expectPresentMatchesReference(name + "cleared screen");
  }
}

TEST_F(PresentTest, PictureFillsExactlyTheLetterboxAndAddsToTheWindow) {
  if (!needWindow(1280, 1024)) GTEST_SKIP() << "window opened smaller by an earlier test";
  struct Case {
    int w, h;
    float aspect;
  };
  const Case cases[] = {{1024, 768, 16.0f / 9.0f}, {1024, 768, 4.0f / 3.0f}, {1280, 1024, 16.0f / 10.0f}};
  for (const Case& c : cases) {
    GlWindow::resetState();
    engine->fillWhite();
    engine->setViewport(c.w, c.h, c.aspect);
    engine->present();
    const int x0 = engine->viewX, y0 = engine->viewY;
    const int x1 = x0 + engine->viewWidth, y1 = y0 + engine->viewHeight;
    const std::vector<unsigned char> window = GlWindow::readPixels(0, 0, c.w, c.h);
    int wrong = 0;
    for (int y = 0; y < c.h; ++y) {
      for (int x = 0; x < c.w; ++x) {
        const bool inside = x >= x0 && x < x1 && y >= y0 && y < y1;
        const unsigned char v = window[(static_cast<size_t>(y) * c.w + x) * 4];
        if (v != (inside ? 255 : 0)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << c.w << "x" << c.h << " letterbox " << engine->viewWidth << "x"
                        << engine->viewHeight << " at (" << x0 << "," << y0 << ")";
  }

  // The picture keeps its orientation: the top-left quarter of the screen
  // lands in the top-left quarter of the letterbox.
  GlWindow::resetState();
  engine->clear();
  for (int r = 0; r < 25; ++r) {
    for (int c = 0; c < 40; ++c) engine->setCell(c, r, 219, 15, 0);
  }
  engine->viewX = 100;
  engine->viewY = 50;
  engine->viewWidth = kW;
  engine->viewHeight = kH;
  engine->present();
  EXPECT_EQ(GlWindow::pixel(100 + 160, 50 + 450)[0], 255);
  EXPECT_EQ(GlWindow::pixel(100 + 480, 50 + 450)[0], 0);
  EXPECT_EQ(GlWindow::pixel(100 + 160, 50 + 150)[0], 0);
  EXPECT_EQ(GlWindow::pixel(100 + 480, 50 + 150)[0], 0);

  // Two scenes in one frame: their pictures add up.
  GlWindow::resetState();
  engine->clear();
  for (int i = 0; i < AsciiEngine::kCells; ++i) engine->setCell(i % 80, i / 80, 219, 4, 0);
  engine->present();
  for (int i = 0; i < AsciiEngine::kCells; ++i) engine->setCell(i % 80, i / 80, 219, 2, 0);
  engine->present();
  const std::vector<unsigned char> sum = GlWindow::pixel(100 + kW / 2, 50 + kH / 2);
  EXPECT_EQ(sum[0], 128);
  EXPECT_EQ(sum[1], 128);
  EXPECT_EQ(sum[2], 0);
}

// Letterboxes smaller than the target minify through its mipmap levels,
// which present() regenerates after every render.
TEST_F(PresentTest, WhiteScreenStaysWhiteInLetterboxesOfEverySize) {
  if (!needWindow(1280, 960)) GTEST_SKIP() << "window opened smaller by an earlier test";
  const int sizes[][2] = {{1280, 960}, {640, 480}, {320, 240}, {160, 120}};
  for (const auto& size : sizes) {
    GlWindow::resetState();
    engine->clear();
    engine->present();  // a black frame first: stale levels would stay black
    GlWindow::resetState();
    engine->fillWhite();
    engine->viewX = 0;
    engine->viewY = 0;
    engine->viewWidth = size[0];
    engine->viewHeight = size[1];
    engine->present();
    const std::vector<unsigned char> centre = GlWindow::pixel(size[0] / 2, size[1] / 2);
    for (int c = 0; c < 3; ++c) {
      EXPECT_GE(centre[c], 254) << size[0] << "x" << size[1] << " channel " << c;
    }
  }
}

// The worst channel difference between a read-back RGBA picture and an RGB
// one of the same size, with where it is.
struct Difference {
  int worst = 0;
  int x = 0, y = 0;
};
Difference worstDifference(const std::vector<unsigned char>& rgba, const std::vector<unsigned char>& rgb, int w) {
  Difference d;
  for (size_t i = 0; i < rgb.size(); ++i) {
    const int diff = std::abs(rgba[i / 3 * 4 + i % 3] - rgb[i]);
    if (diff > d.worst) {
      d.worst = diff;
      d.x = static_cast<int>(i / 3 % w);
      d.y = static_cast<int>(i / 3 / w);
    }
  }
  return d;
}

// A screen where filtering faults show: one-pixel glyph lines ('8', '=',
// box drawing) in many colours next to random cells.
void fillFineLines(AsciiEngine& engine) {
  util::Random random(11);
  const int glyphs[] = {'8', '=', '0', 196, 205, 179, 186, 197};
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    const int glyph = (i / 80) % 4 == 3 ? random.next() & 255 : glyphs[i % 8];
    engine.setCell(i % 80, i / 80, glyph, 1 + random.next() % 15, random.next() % 4 == 0 ? 1 : 0);
  }
}

// Drawn 1:1 the window holds the target exactly; drawn larger it holds the
// target filtered bilinearly, without the blur and lost glyph lines of
// anisotropic filtering.
TEST_F(PresentTest, WindowHoldsTheTargetSampledBilinearlyAtAndAboveNativeSize) {
  if (!needWindow(1920, 1080)) GTEST_SKIP() << "window opened smaller by an earlier test";
  fillFineLines(*engine);
  std::vector<unsigned char> cpu(static_cast<size_t>(kW) * kH * 3);
  renderReference(*engine, shared().chart, cpu.data());
  const int sizes[][3] = {{640, 600, 0}, {800, 600, 2}, {1280, 960, 2}, {1920, 1080, 2}};
  for (const auto& size : sizes) {
    GlWindow::resetState();
    engine->viewX = 0;
    engine->viewY = 0;
    engine->viewWidth = size[0];
    engine->viewHeight = size[1];
    engine->present();
    const std::vector<unsigned char> expected = resampleBilinear(cpu.data(), kW, kH, size[0], size[1]);
    const Difference d = worstDifference(GlWindow::readPixels(0, 0, size[0], size[1]), expected, size[0]);
    EXPECT_LE(d.worst, size[2]) << size[0] << "x" << size[1] << " at (" << d.x << "," << d.y << ")";
  }

  // Another output framebuffer gets the same picture, the window nothing.
  GlWindow::resetState();
  Fbo output(1280, 1200);
  gl->setOutput(output.fboID);
  engine->viewWidth = 1280;
  engine->viewHeight = 1200;
  engine->present();
  gl->setOutput(0);
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), output.fboID);
  glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
  const Difference d =
      worstDifference(GlWindow::readPixels(0, 0, 1280, 1200), resampleBilinear(cpu.data(), kW, kH, 1280, 1200), 1280);
  EXPECT_LE(d.worst, 2) << "output framebuffer at (" << d.x << "," << d.y << ")";
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glReadBuffer(GL_BACK);
  const std::vector<unsigned char> black(static_cast<size_t>(kW) * kH * 3, 0);
  EXPECT_EQ(worstDifference(GlWindow::readPixels(0, 0, kW, kH), black, kW).worst, 0) << "the window stays black";
}

// A recording scales the target into its frames on the CPU where the frame
// magnifies it; those frames must be what GL would have drawn: within two
// levels where GL filters, exact 1:1, black around a letterbox.
TEST_F(PresentTest, RecordersScalingOfTheTargetMatchesThePictureGlDraws) {
  fillFineLines(*engine);
  struct Case {
    int frameWidth, frameHeight;
    float aspect;  // 0: the picture fills the frame
  };
  const Case cases[] = {{640, 600, 0.0f}, {1280, 720, 0.0f}, {1920, 1080, 0.0f},
                        {1919, 1001, 4.0f / 3.0f}, {1301, 1003, 16.0f / 9.0f}};
  for (const Case& c : cases) {
    GlWindow::resetState();
    engine->setViewport(c.frameWidth, c.frameHeight, c.aspect > 0.0f ? c.aspect : 1.0f);
    if (c.aspect == 0.0f) {
      engine->viewX = engine->viewY = 0;
      engine->viewWidth = c.frameWidth;
      engine->viewHeight = c.frameHeight;
    }
    ASSERT_TRUE(PictureScaler::magnifies(kW, kH, engine->viewWidth, engine->viewHeight)) << c.frameWidth;
    Fbo output(c.frameWidth, c.frameHeight);
    gl->setOutput(output.fboID);
    engine->present();
    gl->setOutput(0);
    glReadBuffer(GL_COLOR_ATTACHMENT0_EXT);
    const std::vector<unsigned char> drawn = GlWindow::readPixels(0, 0, c.frameWidth, c.frameHeight);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl->target->fboID);
    const std::vector<unsigned char> picture = GlWindow::readPixels(0, 0, kW, kH);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glReadBuffer(GL_BACK);

    PictureScaler scaler(kW, kH, c.frameWidth, c.frameHeight, engine->viewX, engine->viewY, engine->viewWidth,
                         engine->viewHeight);
    std::vector<unsigned char> scaled(scaler.frameBytes());
    scaler.scale(picture.data(), scaled.data());
    int worst = 0;
    size_t at = 0;
    for (size_t i = 0; i < scaled.size(); ++i) {
      if (i % 4 == 3) continue;  // alpha reaches neither video nor PNG
      const int difference = std::abs(scaled[i] - drawn[i]);
      if (difference > worst) {
        worst = difference;
        at = i / 4;
      }
    }
    const int allowed = engine->viewWidth == kW && engine->viewHeight == kH ? 0 : 2;
    EXPECT_LE(worst, allowed) << c.frameWidth << "x" << c.frameHeight << ", letterbox " << engine->viewX << ","
                              << engine->viewY << " " << engine->viewWidth << "x" << engine->viewHeight
                              << ": worst at (" << at % c.frameWidth << "," << at / c.frameWidth << ")";
  }
}

TEST_F(PresentTest, LeavesAdditiveBlendingCellProjectionAndTheLetterboxViewport) {
  engine->clear();
  engine->setViewport(1024, 768, 16.0f / 9.0f);
  engine->present();
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  GLint src = 0, dst = 0;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_ONE);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));

  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  EXPECT_FLOAT_EQ(projection[0], 2.0f / 80.0f);
  EXPECT_FLOAT_EQ(projection[5], 2.0f / 50.0f);
  EXPECT_FLOAT_EQ(projection[12], -1.0f);
  EXPECT_FLOAT_EQ(projection[13], -1.0f);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 96);
  EXPECT_EQ(viewport[2], 1024);
  EXPECT_EQ(viewport[3], 575);
  GLint framebuffer = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &framebuffer);
  EXPECT_EQ(framebuffer, 0);
  EXPECT_TRUE(glErrors().empty());
}

}  // namespace
