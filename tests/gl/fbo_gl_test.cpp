// Framebuffer objects on a real GL context (Mesa under Xvfb).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/gl_window.h"
#include "util/fbo/fbo.h"
#include "util/texture/texture.h"

namespace {

using ::testing::ExitedWithCode;

class FboGlTest : public GlTest {
 protected:
  void TearDown() override {
    fbo_npot_override = -1;
    GlTest::TearDown();
  }

  static GLint boundFramebuffer() {
    GLint id = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &id);
    return id;
  }

  static GLint textureWidth(const Texture* t, GLenum name = GL_TEXTURE_WIDTH) {
    return texLevelParam(t->texID, 0, name);
  }

  // A resize that must leave everything as it was: names, size and bindings.
  static void expectUntouchedBy(Fbo& fbo, int w, int h) {
    const GLuint texID = fbo.colorTextures[0]->texID;
    const GLuint depth = fbo.depthBuffer;
    const int oldWidth = fbo.width;
    const int oldHeight = fbo.height;
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    fbo.resize(w, h);
    EXPECT_EQ(texID, fbo.colorTextures[0]->texID);
    EXPECT_EQ(depth, fbo.depthBuffer);
    EXPECT_EQ(oldWidth, fbo.width);
    EXPECT_EQ(oldHeight, fbo.height);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(0, bound);
    EXPECT_EQ(0, boundFramebuffer());
  }

  static GLint renderbufferSize(GLuint id, GLenum name) {
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, id);
    GLint v = 0;
    glGetRenderbufferParameterivEXT(GL_RENDERBUFFER_EXT, name, &v);
    return v;
  }

  // Status of the framebuffer, leaving framebuffer 0 bound.
  static GLenum status(const Fbo& fbo) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
    GLenum s = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    return s;
  }

  static void expectSize(const Fbo& fbo, int w, int h) {
    EXPECT_EQ(w, fbo.width);
    EXPECT_EQ(h, fbo.height);
    for (const Texture* t : fbo.colorTextures) {
      EXPECT_EQ(w, textureWidth(t));
      EXPECT_EQ(h, textureWidth(t, GL_TEXTURE_HEIGHT));
    }
    EXPECT_EQ(w, renderbufferSize(fbo.depthBuffer, GL_RENDERBUFFER_WIDTH_EXT));
    EXPECT_EQ(h, renderbufferSize(fbo.depthBuffer, GL_RENDERBUFFER_HEIGHT_EXT));
    EXPECT_EQ(static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT), status(fbo));
  }
};

TEST_F(FboGlTest, ConstructionBuildsACompleteUnboundFramebuffer) {
  Fbo fbo(640, 600);
  EXPECT_EQ(0, boundFramebuffer());
  EXPECT_EQ(0, fbo.samples);
  GLint maxDrawBuffers = 0;
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
  EXPECT_EQ(maxDrawBuffers, fbo.maxDrawBuffers);
  EXPECT_NE(0u, fbo.fboID);
  EXPECT_NE(0u, fbo.depthBuffer);
  EXPECT_EQ(nullptr, fbo.depthTexture);
  ASSERT_EQ(1u, fbo.colorTextures.size());
  const Texture* colour = fbo.colorTextures[0];
  EXPECT_EQ(GL_RGBA8, colour->internalFormat);
  EXPECT_TRUE(colour->mipmaps);
  EXPECT_EQ(nullptr, colour->imageData);
  EXPECT_EQ(GL_RGBA8, textureWidth(colour, GL_TEXTURE_INTERNAL_FORMAT));
  expectSize(fbo, 640, 600);
  EXPECT_TRUE(glErrors().empty());
}

// The heap side is watched by the leak check; GL names are not, so a
// framebuffer made per capture or per renderer would pile up in the driver.
TEST_F(FboGlTest, DestructionFreesEveryGlObjectItHolds) {
  GLuint framebuffer = 0, depth = 0, colour = 0, extra = 0;
  {
    Fbo fbo(64, 64);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
    fbo.addColorAttachment(GL_RGBA8);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    framebuffer = fbo.fboID;
    depth = fbo.depthBuffer;
    colour = fbo.colorTextures[0]->texID;
    extra = fbo.colorTextures[1]->texID;
    ASSERT_TRUE(glIsFramebufferEXT(framebuffer) && glIsRenderbufferEXT(depth) && glIsTexture(colour) &&
                glIsTexture(extra));
  }
  EXPECT_FALSE(glIsFramebufferEXT(framebuffer));
  EXPECT_FALSE(glIsRenderbufferEXT(depth));
  EXPECT_FALSE(glIsTexture(colour));
  EXPECT_FALSE(glIsTexture(extra));
  EXPECT_TRUE(glErrors().empty());
}

TEST_F(FboGlTest, BindRendersIntoTheColourTextureAndUnbindRestoresTheViewport) {
  Fbo fbo(64, 32);
  glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
  fbo.bind();
  EXPECT_EQ(static_cast<GLint>(fbo.fboID), boundFramebuffer());
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(64, viewport[2]);
  EXPECT_EQ(32, viewport[3]);
  // bind() cleared to the clear colour; paint the left half red.
  glColor3f(1, 0, 0);
  glBegin(GL_QUADS);
  glVertex2f(-1, -1);
  glVertex2f(0, -1);
  glVertex2f(0, 1);
  glVertex2f(-1, 1);
  glEnd();
  fbo.unbind();
  EXPECT_EQ(0, boundFramebuffer());
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(GlWindow::width(), viewport[2]);
  EXPECT_EQ(GlWindow::height(), viewport[3]);

  std::vector<unsigned char> pixels(64 * 32 * 4);
  glBindTexture(GL_TEXTURE_2D, fbo.colorTextures[0]->texID);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  const unsigned char* left = &pixels[(16 * 64 + 5) * 4];
  const unsigned char* right = &pixels[(16 * 64 + 60) * 4];
  EXPECT_EQ(255, left[0]);
  EXPECT_EQ(0, left[2]);
  EXPECT_EQ(0, right[0]);
  EXPECT_EQ(255, right[2]);
  EXPECT_TRUE(glErrors().empty());
}

TEST_F(FboGlTest, ResizeFollowsTheRequestWithNonPowerOfTwoTextures) {
  fbo_npot_override = 1;
  Fbo fbo(512, 512);
  fbo.resize(1280, 720);
  expectSize(fbo, 1280, 720);
  EXPECT_EQ(0, boundFramebuffer());
}

TEST_F(FboGlTest, ResizeFallsBackToSquarePowersOfTwo) {
  EXPECT_EQ(512, fbo_power_of_two_size(1024));
  EXPECT_EQ(1024, fbo_power_of_two_size(1025));
  EXPECT_EQ(512, fbo_power_of_two_size(800));
  EXPECT_EQ(1, fbo_power_of_two_size(1));
  EXPECT_EQ(1, fbo_power_of_two_size(0));

  fbo_npot_override = 0;
  Fbo fbo(512, 512);
  fbo.resize(1280, 720);
  expectSize(fbo, 1024, 1024);
  // 1100 x 500 gives the same size again: nothing at all happens.
  expectUntouchedBy(fbo, 1100, 500);
  fbo.resize(800, 1500);
  expectSize(fbo, 512, 512);
}

TEST_F(FboGlTest, ResizeToTheCurrentSizeTouchesNoGlState) {
  fbo_npot_override = 1;
  Fbo fbo(300, 200);
  expectUntouchedBy(fbo, 300, 200);
}

TEST_F(FboGlTest, ResizeKeepsEveryColourAttachmentAndADepthTexture) {
  fbo_npot_override = 1;
  Fbo fbo(64, 64);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
  fbo.addColorAttachment(GL_RGBA16F_ARB);
  // A depth texture in place of the renderbuffer.
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
  glDeleteRenderbuffersEXT(1, &fbo.depthBuffer);
  fbo.depthBuffer = 0;
  fbo.depthTexture = new Texture();
  fbo.depthTexture->internalFormat = GL_DEPTH_COMPONENT24;
  fbo.depthTexture->width = fbo.depthTexture->height = 64;
  fbo.depthTexture->create();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, fbo.depthTexture->texID, 0);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);

  fbo.resize(96, 48);
  EXPECT_EQ(96, textureWidth(fbo.colorTextures[0]));
  EXPECT_EQ(96, textureWidth(fbo.colorTextures[1]));
  EXPECT_EQ(GL_RGBA16F_ARB, textureWidth(fbo.colorTextures[1], GL_TEXTURE_INTERNAL_FORMAT));
  EXPECT_EQ(48, textureWidth(fbo.depthTexture, GL_TEXTURE_HEIGHT));
  EXPECT_EQ(0u, fbo.depthBuffer);
  EXPECT_EQ(static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT), status(fbo));
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
  GLint attached = 0;
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT1_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &attached);
  EXPECT_EQ(static_cast<GLint>(fbo.colorTextures[1]->texID), attached);
  glGetFramebufferAttachmentParameterivEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT,
                                           GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME_EXT, &attached);
  EXPECT_EQ(static_cast<GLint>(fbo.depthTexture->texID), attached);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  EXPECT_TRUE(glErrors().empty());
}

TEST_F(FboGlTest, ThreeBuffersBindButAFourthStopsTheBind) {
  Fbo fbo(32, 32);
  ASSERT_GE(fbo.maxDrawBuffers, 4);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
  fbo.addColorAttachment(GL_RGBA8);
  fbo.addColorAttachment(GL_RGBA8);
  fbo.bind();
  GLint drawBuffer = 0;
  glGetIntegerv(GL_DRAW_BUFFER2, &drawBuffer);
  EXPECT_EQ(GL_COLOR_ATTACHMENT2_EXT, drawBuffer);
  fbo.unbind();
  EXPECT_TRUE(glErrors().empty());

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo.fboID);
  fbo.addColorAttachment(GL_RGBA8);  // the fourth is accepted here
  EXPECT_EQ(4u, fbo.colorTextures.size());
  EXPECT_EXIT(fbo.bind(), ExitedWithCode(1),
              "fbo\\.cpp:[0-9]+\n\nCan only draw to 3 buffers at a time here");
}

TEST_F(FboGlTest, AttachmentAndDepthLimits) {
  Fbo fbo(16, 16);
  fbo.maxDrawBuffers = 1;
  EXPECT_EXIT(fbo.addColorAttachment(GL_RGBA8), ExitedWithCode(1),
              "^Error in file src\\\\util\\\\fbo\\\\fbo\\.cpp:[0-9]+\n.*\n\n"
              "Tried to add more than 1 color attachments, and GL_MAX_DRAW_BUFFERS is 1\n");
  EXPECT_EXIT(fbo.addDepthBuffer(), ExitedWithCode(1), "Depth buffer already present!");
}

TEST_F(FboGlTest, IncompleteFramebufferStopsTheResize) {
  fbo_npot_override = 1;
  Fbo fbo(16, 16);
  // A colour texture where the depth attachment belongs.
  fbo.depthTexture = new Texture();
  fbo.depthTexture->internalFormat = GL_RGBA8;
  fbo.depthTexture->format = GL_RGBA;
  fbo.depthTexture->width = fbo.depthTexture->height = 16;
  fbo.depthTexture->create();
  EXPECT_EXIT(fbo.resize(32, 32), ExitedWithCode(1),
              "fbo\\.cpp:[0-9]+\n\nFBO error: GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT\n");
}

TEST_F(FboGlTest, EveryStatusHasItsMessage) {
  fbo_report_status(GL_FRAMEBUFFER_COMPLETE_EXT);
  const std::pair<GLenum, const char*> cases[] = {
      {0x8CD6, "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT"},
      {0x8CD7, "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT"},
      {0x8CD9, "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT"},
      {0x8CDA, "GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT"},
      {0x8CDB, "GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT"},
      {0x8CDC, "GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT"},
      {0x8CDD, "GL_FRAMEBUFFER_UNSUPPORTED_EXT"},
      {0x8D56, "GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE"},
      {0x8CD8, "Unknown error 8cd8"},
      {0, "Unknown error 0"},
  };
  for (const auto& c : cases) {
    EXPECT_EXIT(fbo_report_status(c.first), ExitedWithCode(1),
                std::string("\n\nFBO error: ") + c.second + "\n$");
  }
}

}  // namespace
