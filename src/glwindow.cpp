#include "glwindow.h"

#include <epoxy/gl.h>
#include <SDL/SDL.h>

#include <cstdlib>
#include <cstring>

#include "platform/gl_attributes.h"
#include "platform/gl_loader.h"
#include "platform/headless_gl.h"

bool startVideo(GlStartError& error) {
  // SDL 1.2 on SDL 2 can redirect framebuffer 0 to a scaling buffer of its
  // own, which our framebuffer-object calls (loaded through libepoxy) bypass: the
  // window would stay black. The show letterboxes itself.
  setenv("SDL12COMPAT_OPENGL_SCALING", "0", 0);
  if (SDL_Init(SDL_INIT_VIDEO) < 0) {
    error = GlStartError{GlStartError::Video, SDL_GetError()};
    return false;
  }
  return true;
}

bool openGlWindow(const GlWindowRequest& request, GlCapabilities& capabilities, GlStartError& error) {
  platform::requestShowGlAttributes(request.swapControl);
  // putenv keeps the string; it must outlive the environment entry.
  if (request.centred) putenv(strdup("SDL_VIDEO_CENTERED=1"));
  if (!SDL_SetVideoMode(request.width, request.height, request.bitsPerPixel, request.videoFlags | SDL_OPENGL)) {
    error = GlStartError{GlStartError::Window, SDL_GetError()};
    return false;
  }
  SDL_WM_SetCaption(request.caption, nullptr);
  return loadGl(capabilities, error);
}

bool openHeadlessGl(platform::HeadlessGl& context, GlCapabilities& capabilities, GlStartError& error) {
  std::string why;
  if (!context.open(why)) {
    error = GlStartError{GlStartError::Window, why};
    return false;
  }
  return loadGl(capabilities, error);
}

bool loadGl(GlCapabilities& capabilities, GlStartError& error) {
  const std::string glError = platform::loadGlEntryPoints();
  if (!glError.empty()) {
    error = GlStartError{GlStartError::Loader, glError};
    return false;
  }
  capabilities.framebufferObjects = epoxy_has_gl_extension("GL_EXT_framebuffer_object");
  capabilities.anySizeTextures = epoxy_has_gl_extension("GL_ARB_texture_non_power_of_two");
  capabilities.pixelBuffers = epoxy_has_gl_extension("GL_ARB_pixel_buffer_object");
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &largest);
  capabilities.largestRenderbuffer = largest;
  const GLubyte* renderer = glGetString(GL_RENDERER);
  capabilities.renderer = renderer ? reinterpret_cast<const char*>(renderer) : "";
  return true;
}
