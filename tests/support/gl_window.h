#pragma once

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// A real SDL 1.2 OpenGL window (Mesa under Xvfb in the test runs), double
// buffered, with its OpenGL entry points loaded. One window per process; it stays open
// until the process ends.
class GlWindow {
 public:
  // Opens the window once; later calls return the first result. On failure
  // error() says why.
  static bool open(int width = 640, int height = 480);
  static bool isOpen();
  static const std::string& error();
  static int width();
  static int height();

  // Binds the default framebuffer, sets the viewport to the window, resets
  // the matrices and clears colour and depth to black.
  static void resetState();

  // RGBA bytes of the given rectangle of the current read framebuffer,
  // bottom row first (GL's own order).
  static std::vector<unsigned char> readPixels(int x, int y, int w, int h);
  // The RGBA pixel at (x, y) counted from the lower left.
  static std::vector<unsigned char> pixel(int x, int y);

  static void swap();
};

// Base fixture for tests/gl: opens the window (failing the test when no
// display is available), resets GL state before each test, and runs death
// tests in a fresh process so a dying child never shares the parent's X
// connection.
class GlTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // GL errors raised since the last call (and clears them).
  static std::vector<GLenum> glErrors();
  // Binds the 2D texture `id` and reads one of its (level) parameters.
  static GLint texParam(GLuint id, GLenum name);
  static GLint texLevelParam(GLuint id, int level, GLenum name);
};
