#pragma once

#include <string>

namespace platform {

// Makes the OpenGL entry points of the current context (GLX or EGL) usable.
// Empty when they are, else the reason ("the OpenGL context reports no
// version" when no context answers, "GL 1.1 and up are not supported" for a
// 1.0 context).
std::string loadGlEntryPoints();

}  // namespace platform
