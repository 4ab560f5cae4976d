#include "platform/gl_loader.h"

#include <epoxy/gl.h>

#include <cstdio>

namespace platform {

std::string loadGlEntryPoints() {
  // libepoxy resolves every entry point on first use, for whichever window
  // system made the context; what can fail is a context that does not answer.
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  if (version == nullptr) return "the OpenGL context reports no version";
  int major = 0, minor = 0;
  if (std::sscanf(version, "%d.%d", &major, &minor) != 2)
    return "the OpenGL context reports no version number (\"" + std::string(version) + "\")";
  if (major == 1 && minor == 0) return "GL 1.1 and up are not supported";
  return std::string();
}

}  // namespace platform
