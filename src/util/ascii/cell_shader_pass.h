#pragma once

#include <epoxy/gl.h>

class AsciiEngine;
class Texture;

// Draws the whole text screen into the bound 640 x 600 target with one quad
// and a fragment shader, giving the pixels of the blended cell quads: each
// fragment looks up its cell (an 80 x 50 texture of glyph, foreground and
// background) and its two mask texels (the glyph atlas the cell quads would
// sample) and adds the two colours where the masks are set.
class CellShaderPass {
 public:
  CellShaderPass() = default;
  // Frees the program and textures; the GL context must still be current.
  ~CellShaderPass();
  CellShaderPass(const CellShaderPass&) = delete;
  CellShaderPass& operator=(const CellShaderPass&) = delete;

  // Builds the program and textures from the character chart. False (and
  // nothing to draw with) when the GL lacks GLSL 1.30, the shader fails, or
  // the chart has texels other than black and white.
  bool init(const Texture& chart);
  bool ready() const { return program_ != 0; }

  // Needs the target bound and cleared with its viewport, the cell
  // projection of present and additive blending; leaves no program in use.
  void draw(const AsciiEngine& engine);

 private:
  GLuint program_ = 0;
  GLint levelsUniform_ = -1;
  GLuint cells_ = 0;
  GLuint masks_ = 0;
};
