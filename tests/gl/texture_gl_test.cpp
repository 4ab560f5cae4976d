// Textures on a real GL context (Mesa under Xvfb).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/gl_window.h"
#include "support/test_archive.h"
#include "support/test_images.h"
#include "util/ascii/asciiengine.h"
#include "util/texture/png_writer.h"
#include "util/texture/texture.h"

namespace {

using ::testing::ExitedWithCode;

class TextureGlTest : public GlTest {
 protected:
  void TearDown() override {
    texture_vendor_override = nullptr;
    GlTest::TearDown();
  }

  static GLint levelWidth(GLuint id, int level) { return texLevelParam(id, level, GL_TEXTURE_WIDTH); }

  // Draws the texture over a viewport of its own size and compares every
  // pixel's colour with the encoder's picture (top row first).
  static void expectDrawnAs(Texture& texture, const char* expected) {
    const ExpectedImage want = expectedImage(expected);
    ASSERT_EQ(want.width, texture.width);
    ASSERT_EQ(want.height, texture.height);
    glViewport(0, 0, want.width, want.height);
    texture.drawFullscreen();
    const std::vector<unsigned char> got = GlWindow::readPixels(0, 0, want.width, want.height);
    for (int y = 0; y < want.height; ++y) {
      for (int x = 0; x < want.width; ++x) {
        const unsigned char* g = got.data() + ((want.height - 1 - y) * want.width + x) * 4;
        const unsigned char* w = want.pixel(x, y);
        if (g[0] != w[0] || g[1] != w[1] || g[2] != w[2]) {
          ADD_FAILURE() << expected << " pixel " << x << "," << y << ": got " << int(g[0]) << "," << int(g[1])
                        << "," << int(g[2]) << " want " << int(w[0]) << "," << int(w[1]) << "," << int(w[2]);
          return;
        }
      }
    }
  }
};

TEST_F(TextureGlTest, WindowClearsAndReadsBack) {
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::vector<unsigned char> p = GlWindow::pixel(3, 4);
  EXPECT_EQ(255, p[0]);
  EXPECT_EQ(0, p[1]);
  EXPECT_EQ(0, p[2]);
  EXPECT_TRUE(epoxy_has_gl_extension("GL_EXT_framebuffer_object"));
}

TEST_F(TextureGlTest, DeathTestChildHasItsOwnWindow) {
  EXPECT_EXIT(
      {
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        std::exit(GlWindow::pixel(0, 0)[1] == 255 ? 1 : 2);
      },
      ExitedWithCode(1), "");
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(0, GlWindow::pixel(0, 0)[1]);
}

TEST_F(TextureGlTest, LoadedPicturesUploadAndDrawExactly) {
  // Upper-case extension through the archive, as the show loads pictures.
  TestArchive archive({{"data/pics/rgba8.PNG", readTestFile(testImagePath("rgba8.png"))}});
  Texture png;
  ASSERT_TRUE(png.load("data/pics/rgba8.PNG", GL_NEAREST, GL_NEAREST, false));
  EXPECT_NE(0u, png.texID);
  EXPECT_EQ(nullptr, png.imageData);
  EXPECT_EQ(4, png.internalFormat);
  EXPECT_EQ(GL_NEAREST, texParam(png.texID, GL_TEXTURE_MIN_FILTER));
  EXPECT_EQ(GL_NEAREST, texParam(png.texID, GL_TEXTURE_MAG_FILTER));
  EXPECT_EQ(GL_CLAMP_TO_EDGE, texParam(png.texID, GL_TEXTURE_WRAP_S));
  EXPECT_EQ(GL_CLAMP_TO_EDGE, texParam(png.texID, GL_TEXTURE_WRAP_T));
  EXPECT_EQ(GL_FALSE, texParam(png.texID, GL_GENERATE_MIPMAP));
  expectDrawnAs(png, "rgba8");
  EXPECT_TRUE(glErrors().empty());
}

TEST_F(TextureGlTest, TwentyFourBitRowsOfAnyLengthUploadTightlyPacked) {
  // 7 pixels of 3 bytes: rows are not a multiple of four bytes long.
  Texture tga;
  ASSERT_TRUE(tga.load(testImagePath("tga24_plain.tga").c_str(), GL_NEAREST, GL_NEAREST, false));
  EXPECT_EQ(3, tga.internalFormat);
  expectDrawnAs(tga, "tga24_plain");
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(4, alignment);
}

TEST_F(TextureGlTest, JpegAndBmpLoadThroughTheirExtensions) {
  Texture jpeg;
  ASSERT_TRUE(jpeg.load(testImagePath("photo.jpeg").c_str(), GL_NEAREST, GL_NEAREST, false));
  EXPECT_EQ(32, jpeg.width);
  Texture bmp;
  ASSERT_TRUE(bmp.load(testImagePath("bmp24.bmp").c_str(), GL_NEAREST, GL_NEAREST, false));
  expectDrawnAs(bmp, "bmp24");
}

TEST_F(TextureGlTest, MipmapsGetTheChainAnisotropyAndTrilinearFilter) {
  Texture t;
  ASSERT_TRUE(t.load(testImagePath("blocks_dynamic.png").c_str(), GL_NEAREST, GL_NEAREST, true));
  EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, texParam(t.texID, GL_TEXTURE_MIN_FILTER));
  EXPECT_EQ(GL_LINEAR, texParam(t.texID, GL_TEXTURE_MAG_FILTER));
  EXPECT_EQ(100, levelWidth(t.texID, 1));
  EXPECT_EQ(1, levelWidth(t.texID, 7));
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic")) {
    GLfloat maxAnisotropy = 0, anisotropy = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(maxAnisotropy, anisotropy);
  }
}

TEST_F(TextureGlTest, AtiFamilyAsksForGeneratedMipmapsInstead) {
  texture_vendor_override = "ATI Technologies Inc.";
  Texture t;
  ASSERT_TRUE(t.load(testImagePath("rgba8.png").c_str(), GL_NEAREST, GL_NEAREST, true));
  EXPECT_EQ(GL_TRUE, texParam(t.texID, GL_GENERATE_MIPMAP));
  // The request comes after the upload, so no chain exists yet.
  EXPECT_EQ(0, levelWidth(t.texID, 1));
}

TEST_F(TextureGlTest, InternalFormatTable) {
  struct Case {
    GLint format;
    GLenum pixelFormat;
    bool depth;
  };
  const Case cases[] = {{GL_RGBA8, GL_RGBA, false},          {GL_RGBA16F_ARB, GL_RGBA, false},
                        {GL_RGB32F_ARB, GL_RGB, false},      {GL_DEPTH_COMPONENT24, GL_RGBA, true},
                        {GL_DEPTH_COMPONENT32F, GL_RGBA, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    Texture t;
    t.internalFormat = c.format;
    t.format = c.pixelFormat;
    t.width = 8;
    t.height = 4;
    ASSERT_TRUE(t.create());
    EXPECT_EQ(8, levelWidth(t.texID, 0));
    EXPECT_EQ(c.format, texLevelParam(t.texID, 0, GL_TEXTURE_INTERNAL_FORMAT));
    if (c.depth) {
      EXPECT_EQ(GL_NEAREST, texParam(t.texID, GL_TEXTURE_MIN_FILTER));
      EXPECT_EQ(GL_INTENSITY, texParam(t.texID, GL_DEPTH_TEXTURE_MODE));
      EXPECT_EQ(GL_NONE, texParam(t.texID, GL_TEXTURE_COMPARE_MODE));
    }
    EXPECT_TRUE(glErrors().empty());
  }
}

TEST_F(TextureGlTest, FormatsOutsideTheTableStopInDecimal) {
  EXPECT_EXIT(
      {
        Texture t;
        t.internalFormat = GL_RGB8;
        t.width = t.height = 4;
        t.create();
      },
      ExitedWithCode(1), "texture\\.cpp:[0-9]+\n\nUnrecognized texture format 32849!");
}

// GL makes nothing of a texture beyond its limit and says nothing: every
// frame drawn with such a chart was black.
TEST_F(TextureGlTest, TexturesBeyondTheLimitOrRefusedByGlAreFatal) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  ASSERT_GT(largest, 0);
  const std::string wide = ::testing::TempDir() + "wide_chart.png";
  ASSERT_TRUE(writePng(wide, largest + 1, 2, 3, std::vector<uint8_t>(size_t(largest + 1) * 2 * 3, 200)));
  TestArchive archive({{AsciiEngine::kChartFile, readTestFile(wide)}});
  std::remove(wide.c_str());
  const std::string limit = std::to_string(largest);
  const std::string side = std::to_string(largest + 1);
  EXPECT_EXIT(
      {
        Texture chart;
        chart.load(AsciiEngine::kChartFile, GL_NEAREST, GL_NEAREST, false);
      },
      ExitedWithCode(1),
      "texture\\.cpp:[0-9]+\n\nImage data/common/images/asciichart\\.png of " + side +
          "x2 pixels is larger than this OpenGL allows \\(at most " + limit + " pixels a side\\)\\.");
  EXPECT_EXIT(
      {
        Texture target;
        target.internalFormat = GL_RGBA8;
        target.format = GL_RGBA;
        target.width = 4;
        target.height = largest + 1;
        target.create();
      },
      ExitedWithCode(1), "\n\nA texture of 4x" + side + " pixels is larger than this OpenGL allows");
  // What GL refuses for any other reason is named as well.
  EXPECT_EXIT(
      {
        Texture target;
        target.internalFormat = GL_RGBA8;
        target.format = GL_RGBA;
        target.width = -1;
        target.height = 4;
        target.create();
      },
      ExitedWithCode(1), "\n\nCould not create a texture of -1x4 pixels: invalid value \\(GL error 0x0501\\)\\.");
  // The largest size GL allows is still made.
  Texture edge;
  edge.internalFormat = GL_RGBA8;
  edge.format = GL_RGBA;
  edge.width = largest;
  edge.height = 1;
  ASSERT_TRUE(edge.create());
  EXPECT_EQ(largest, levelWidth(edge.texID, 0));
  edge.release();
}

TEST_F(TextureGlTest, ResizeReleaseAndCreateAgain) {
  Texture t;
  ASSERT_TRUE(t.load(testImagePath("rgb8.png").c_str(), GL_LINEAR, GL_LINEAR, false));
  const GLuint first = t.texID;
  t.resize(32, 16);
  EXPECT_NE(0u, t.texID);
  EXPECT_FALSE(glIsTexture(first) && t.texID != first);
  EXPECT_EQ(32, levelWidth(t.texID, 0));
  EXPECT_EQ(GL_LINEAR, texParam(t.texID, GL_TEXTURE_MIN_FILTER));
  t.release();
  EXPECT_EQ(0u, t.texID);
  t.release();
  ASSERT_TRUE(t.create());
  EXPECT_EQ(32, levelWidth(t.texID, 0));
  EXPECT_EXIT(t.create(), ExitedWithCode(1), "Attempt to create an already initialized texture!");
}

TEST_F(TextureGlTest, MultisampleTextures) {
  if (!epoxy_has_gl_extension("GL_ARB_texture_multisample")) GTEST_SKIP() << "no multisample textures on this renderer";
  Texture t;
  t.internalFormat = GL_RGBA8;
  t.format = GL_RGBA;
  t.width = t.height = 16;
  t.samples = 4;
  ASSERT_TRUE(t.create());
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D_MULTISAMPLE, &bound);
  EXPECT_EQ(static_cast<GLint>(t.texID), bound);
  GLint samples = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D_MULTISAMPLE, 0, GL_TEXTURE_SAMPLES, &samples);
  EXPECT_GE(samples, 4);
}

TEST_F(TextureGlTest, DrawFullscreenRestoresMatricesAndLeavesTexturingOn) {
  Texture t;
  ASSERT_TRUE(t.load(testImagePath("rgb8.png").c_str(), GL_NEAREST, GL_NEAREST, false));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-3, 5, -2, 7, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef(1, 2, 3);
  glMatrixMode(GL_PROJECTION);
  glEnable(GL_DEPTH_TEST);
  GLfloat projection[16], modelview[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);

  t.drawFullscreen();

  GLfloat after[16];
  glGetFloatv(GL_PROJECTION_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(projection[i], after[i]);
  glGetFloatv(GL_MODELVIEW_MATRIX, after);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], after[i]);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(GL_PROJECTION, mode);
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  // The whole viewport is covered: both far corners carry the picture.
  const ExpectedImage want = expectedImage("rgb8");
  EXPECT_EQ(want.pixel(0, want.height - 1)[0], GlWindow::pixel(0, 0)[0]);
  EXPECT_EQ(want.pixel(want.width - 1, 0)[0], GlWindow::pixel(GlWindow::width() - 1, GlWindow::height() - 1)[0]);
  EXPECT_TRUE(glErrors().empty());
}

TEST_F(TextureGlTest, LoadingTextureComesFromTheArchive) {
  TestArchive archive(
      {{"data/common/images/tavorlin_logo_transp.png", readTestFile(testImagePath("blocks_dynamic.png"))}});
  data_load_loading_texture();
  ASSERT_NE(nullptr, tex_loading);
  EXPECT_NE(0u, tex_loading->texID);
  EXPECT_TRUE(tex_loading->mipmaps);
  EXPECT_EQ(200, tex_loading->width);
  EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, texParam(tex_loading->texID, GL_TEXTURE_MIN_FILTER));
}

}  // namespace
