// The browser build's GL header: emscripten's own GL declarations, where
// the desktop build uses libepoxy's loader. The page draws with the CPU
// renderer; the scenes' GL state calls are compiled but never made there.
#pragma once
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
