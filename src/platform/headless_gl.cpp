#include "platform/headless_gl.h"

#include <epoxy/egl.h>

namespace platform {

bool HeadlessGl::open(std::string& why) {
  close();
  if (!epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
    why = "EGL has no surfaceless platform";
    return false;
  }
  EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  EGLint major = 0, minor = 0;
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
    why = "EGL's surfaceless display cannot be initialised";
    return false;
  }
  // The show draws in the fixed-function style: a compatibility context.
  // No surface will be made; the default, a window, would match no config.
  const EGLint attributes[] = {EGL_RED_SIZE,     8, EGL_GREEN_SIZE,      8,
                               EGL_BLUE_SIZE,    8, EGL_ALPHA_SIZE,      8,
                               EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                               EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  EGLContext context = EGL_NO_CONTEXT;
  if (eglBindAPI(EGL_OPENGL_API) && eglChooseConfig(display, attributes, &config, 1, &configs) && configs > 0) {
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  }
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglTerminate(display);
    why = "EGL gives no OpenGL context without a surface";
    return false;
  }
  display_ = display;
  context_ = context;
  return true;
}

void HeadlessGl::close() {
  if (display_ == nullptr) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display_, context_);
  // The display stays initialised: it is one for the whole process, and
  // Mesa's eglTerminate unloads its driver, losing memory on the way.
  display_ = nullptr;
  context_ = nullptr;
}

}  // namespace platform
