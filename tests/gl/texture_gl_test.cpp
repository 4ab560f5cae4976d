#include <gtest/gtest.h>

#include "support/gl_window.h"

namespace {

using TextureGlTest = GlTest;

TEST_F(TextureGlTest, WindowClearsAndReadsBack) {
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::vector<unsigned char> p = GlWindow::pixel(3, 4);
  EXPECT_EQ(255, p[0]);
  EXPECT_EQ(0, p[1]);
  EXPECT_EQ(0, p[2]);
  EXPECT_TRUE(GLEW_EXT_framebuffer_object);
}

TEST_F(TextureGlTest, DeathTestChildHasItsOwnWindow) {
  EXPECT_EXIT(
      {
        glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        std::exit(GlWindow::pixel(0, 0)[1] == 255 ? 1 : 2);
      },
      ::testing::ExitedWithCode(1), "");
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(0, GlWindow::pixel(0, 0)[1]);
}

}  // namespace
