#include "support/gl_window.h"

#include <SDL/SDL.h>

#include "platform/gl_loader.h"

namespace {

bool g_tried = false;
bool g_open = false;
std::string g_error;
int g_width = 0;
int g_height = 0;

}  // namespace

bool GlWindow::open(int width, int height) {
  if (g_tried) return g_open;
  g_tried = true;
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    g_error = std::string("SDL_Init failed: ") + SDL_GetError();
    return false;
  }
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  if (!SDL_SetVideoMode(width, height, 32, SDL_OPENGL)) {
    g_error = std::string("SDL_SetVideoMode failed: ") + SDL_GetError();
    SDL_Quit();
    return false;
  }
  SDL_WM_SetCaption("Kestrune GL tests", nullptr);
  const std::string glError = platform::loadGlEntryPoints();
  if (!glError.empty()) {
    g_error = "OpenGL entry points cannot be loaded: " + glError;
    SDL_Quit();
    return false;
  }
  g_width = width;
  g_height = height;
  g_open = true;
  resetState();
  return true;
}

bool GlWindow::isOpen() { return g_open; }
const std::string& GlWindow::error() { return g_error; }
int GlWindow::width() { return g_width; }
int GlWindow::height() { return g_height; }

void GlWindow::resetState() {
  if (!g_open) return;
  if (glBindFramebufferEXT) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  glDrawBuffer(GL_BACK);
  glReadBuffer(GL_BACK);
  glViewport(0, 0, g_width, g_height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  glColor4f(1, 1, 1, 1);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  while (glGetError() != GL_NO_ERROR) {
  }
}

std::vector<unsigned char> GlWindow::readPixels(int x, int y, int w, int h) {
  std::vector<unsigned char> out(static_cast<size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

std::vector<unsigned char> GlWindow::pixel(int x, int y) { return readPixels(x, y, 1, 1); }

void GlWindow::swap() { SDL_GL_SwapBuffers(); }

void GlTest::SetUp() {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(GlWindow::open()) << "no OpenGL window: " << GlWindow::error()
                                << " (run under xvfb-run -a -s \"-screen 0 1920x1080x24 +extension GLX\")";
  GlWindow::resetState();
}

void GlTest::TearDown() {
  if (GlWindow::isOpen()) GlWindow::resetState();
}

std::vector<GLenum> GlTest::glErrors() {
  std::vector<GLenum> errors;
  for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError()) errors.push_back(e);
  return errors;
}

GLint GlTest::texParam(GLuint id, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, id);
  GLint v = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
  return v;
}

GLint GlTest::texLevelParam(GLuint id, int level, GLenum name) {
  glBindTexture(GL_TEXTURE_2D, id);
  GLint v = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &v);
  return v;
}
