#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/cell_shader_pass.h"
#include "util/texture/texture.h"

class Fbo;

// The program's renderer: draws the 80 x 50 cells with the character chart
// into a 640 x 600 target, then puts that picture into the engine's
// letterbox of the output framebuffer (the window unless told otherwise).
// Needs a current GL context from construction on.
class GlScreenRenderer : public ScreenRenderer {
 public:
  // How the cells reach the target; all give the same pixels. Shader, the
  // default where GLSL 1.30 exists, draws one quad; the others draw a
  // blended quad per mask and colour that is not black (adding black
  // changes nothing), in immediate mode or from client arrays.
  enum class CellPass { Shader, VertexArrays, Immediate };

  GlScreenRenderer();
  // Frees the chart, the target and the shader; the context must still be current.
  ~GlScreenRenderer() override;

  Texture chart;
  std::unique_ptr<Fbo> target;
  CellPass cellPass;

  // Where present() puts the picture: `framebuffer` (0, the default, is the
  // window); with `targetOnly` it renders the target only, for a recorder
  // that scales the picture into its frames itself.
  void setOutput(GLuint framebuffer, bool targetOnly = false);
  void present(const AsciiEngine& engine) override;

  // Renders the engine's cells into the target and leaves the output
  // framebuffer bound.
  void renderTarget(const AsciiEngine& engine);
  bool hasShaderPass() const { return shaderPass.ready(); }
  // Adds the target's picture to the bound framebuffer over the viewport
  // (x, y, width, height). Magnified or 1:1 pictures sample level 0 plainly;
  // smaller ones go through a freshly generated mipmap chain.
  void drawPicture(int x, int y, int width, int height);

 private:
  void drawCellsImmediate(const AsciiEngine& engine);
  void drawCellsBatched(const AsciiEngine& engine);
  GLuint outputFramebuffer = 0;
  bool stopsAtTarget = false;
  CellShaderPass shaderPass;
  std::vector<float> batch;
  GLfloat maxAnisotropy;
};
