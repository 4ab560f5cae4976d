#pragma once

#include <GL/glew.h>

class AsciiEngine;
class Texture;

// Draws the whole text screen into the bound 640 x 600 target with one quad
// and a fragment shader, giving the pixels of the 8000 blended cell quads:
// each fragment looks up its cell (an 80 x 50 texture of glyph, foreground
// and background), its two mask texels (the glyph atlas the cell quads would
// sample) and the 8-bit level of each mask in each colour (a table made with
// the same rounding as the quads), and adds them with saturation.
class CellShaderPass {
 public:
  // Builds the program and textures from the character chart. False (and
  // nothing to draw with) when the GL lacks GLSL 1.30 or the shader fails.
  bool init(const Texture& chart);
  bool ready() const { return program_ != 0; }

  // Needs the target bound with its viewport, the cell projection of
  // present and additive blending; leaves no program in use.
  void draw(const AsciiEngine& engine);

 private:
  void uploadLevels(const AsciiEngine& engine);

  GLuint program_ = 0;
  GLuint cells_ = 0;
  GLuint atlas_ = 0;
  GLuint levels_ = 0;
  float levelPalette_[16][3] = {};
  bool levelsValid_ = false;
};
