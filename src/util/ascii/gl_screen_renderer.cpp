#include "util/ascii/gl_screen_renderer.h"

#include <GL/glu.h>

#include <cstring>

#include "util/error.h"
#include "util/fbo/fbo.h"

namespace {

// Calls emit(colour, corners) for the cell quads that are not black, in
// drawing order: column by column, each column from the top row down,
// background mask before foreground mask. corners[k] = {x, y, u, v},
// counter-clockwise from the lower left.
bool isBlack(const float* rgba) { return rgba[0] == 0.0f && rgba[1] == 0.0f && rgba[2] == 0.0f; }

template <typename Emit>
void forEachQuad(const AsciiEngine& engine, Emit emit) {
  constexpr int kColumns = AsciiEngine::kColumns;
  constexpr int kRows = AsciiEngine::kRows;
  for (int x = 0; x < kColumns; ++x) {
    for (int r = 0; r < kRows; ++r) {
      const int i = r * kColumns + x;
      const float left = static_cast<float>(x);
      const float right = static_cast<float>(x + 1);
      const float top = static_cast<float>(kRows - r);
      const float bottom = top - 1.0f;
      const GlyphRect g = glyphRect(engine.chars[i]);
      auto mask = [&](const float* rgba, float v0, float v1) {
        if (isBlack(rgba)) return;
        const float corners[4][4] = {
            {left, bottom, g.u0, v0}, {right, bottom, g.u1, v0}, {right, top, g.u1, v1}, {left, top, g.u0, v1}};
        emit(rgba, corners);
      };
      mask(engine.colour(engine.bg[i]), g.bgV0, g.bgV1);
      mask(engine.colour(engine.fg[i]), g.fgV0, g.fgV1);
    }
  }
}

}  // namespace

GlScreenRenderer::GlScreenRenderer()
    : cellPass(CellPass::VertexArrays), maxAnisotropy(1.0f) {
  if (!chart.load(AsciiEngine::kChartFile, GL_NEAREST, GL_NEAREST, false)) ErrorBox("Failed to load texture!");
  target = std::make_unique<Fbo>(AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight);
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic")) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
  if (shaderPass.init(chart)) cellPass = CellPass::Shader;
}

GlScreenRenderer::~GlScreenRenderer() { chart.release(); }

void GlScreenRenderer::setOutput(GLuint framebuffer, bool targetOnly) {
  outputFramebuffer = framebuffer;
  stopsAtTarget = targetOnly;
}

void GlScreenRenderer::present(const AsciiEngine& engine) {
  renderTarget(engine);
  if (stopsAtTarget) return;
  drawPicture(engine.viewX, engine.viewY, engine.viewWidth, engine.viewHeight);
}

void GlScreenRenderer::renderTarget(const AsciiEngine& engine) {
  // Whatever drew before (a loading screen, a scaler, another library)
  // leaves no state behind that the cells would pick up.
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_GEN_R);
  glDisable(GL_TEXTURE_GEN_Q);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_TEXTURE_1D);
  glDisable(GL_TEXTURE_CUBE_MAP);
  target->bind();

  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_MULTISAMPLE);
  glDisable(GL_LIGHTING);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  if (glUseProgramObjectARB) glUseProgramObjectARB(0);

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, AsciiEngine::kTargetWidth, AsciiEngine::kTargetHeight);
  gluOrtho2D(0, AsciiEngine::kColumns, 0, AsciiEngine::kRows);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, chart.texID);

  if (cellPass == CellPass::Shader && shaderPass.ready()) {
    shaderPass.draw(engine);
  } else if (cellPass == CellPass::Immediate) {
    drawCellsImmediate(engine);
  } else {
    drawCellsBatched(engine);
  }

  target->unbind();
  if (outputFramebuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, outputFramebuffer);
}

void GlScreenRenderer::drawPicture(int x, int y, int width, int height) {
  Texture* picture = target->colorTextures[0];
  glBindTexture(GL_TEXTURE_2D, picture->texID);
  // Anisotropic filtering of a picture that is not minified only blurs it
  // (llvmpipe even drops one-pixel glyph lines) and costs twice the fill,
  // and a plain linear filter lets llvmpipe take its fast path for the quad.
  // Minified pictures need the lower levels, which must show this frame.
  const bool minified = width < AsciiEngine::kTargetWidth || height < AsciiEngine::kTargetHeight;
  if (minified) glGenerateMipmapEXT(GL_TEXTURE_2D);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minified ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic")) {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, minified ? maxAnisotropy : 1.0f);
  }

  glViewport(x, y, width, height);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  picture->drawFullscreen();
}

void GlScreenRenderer::drawCellsImmediate(const AsciiEngine& engine) {
  glBegin(GL_QUADS);
  forEachQuad(engine, [](const float* rgba, const float (&corners)[4][4]) {
    glColor4fv(rgba);
    for (const auto& c : corners) {
      glTexCoord2f(c[2], c[3]);
      glVertex2f(c[0], c[1]);
    }
  });
  glEnd();
}

void GlScreenRenderer::drawCellsBatched(const AsciiEngine& engine) {
  // The same quads in the same order with the same values, handed to GL as
  // client arrays in one draw call.
  constexpr int kMostVertices = AsciiEngine::kCells * 8;
  constexpr int kFloats = 8;  // x, y, u, v, r, g, b, a
  if (batch.empty()) batch.resize(static_cast<size_t>(kMostVertices) * kFloats);
  float* out = batch.data();
  forEachQuad(engine, [&out](const float* rgba, const float (&corners)[4][4]) {
    for (const auto& c : corners) {
      std::memcpy(out, c, 4 * sizeof(float));
      std::memcpy(out + 4, rgba, 4 * sizeof(float));
      out += kFloats;
    }
  });
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  const GLsizei stride = kFloats * sizeof(float);
  glVertexPointer(2, GL_FLOAT, stride, batch.data());
  glTexCoordPointer(2, GL_FLOAT, stride, batch.data() + 2);
  glColorPointer(4, GL_FLOAT, stride, batch.data() + 4);
  glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>((out - batch.data()) / kFloats));
  glPopClientAttrib();
}
