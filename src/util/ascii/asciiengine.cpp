#include "util/ascii/asciiengine.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstring>

#include "scenes/scene.h"
#include "util/ascii/banners.h"
#include "util/error.h"
#include "util/fbo/fbo.h"

namespace {

const char* const kChartFile = "data/common/images/asciichart.png";

// Red, green, blue, alpha of the 16 CGA colours. Bit 0 is blue, bit 1 green,
// bit 2 red, bit 3 brightness; colour 6 is a plain dark yellow.
const float kPalette[16][4] = {
    {0.0f, 0.0f, 0.0f, 1.0f},    {0.0f, 0.0f, 0.5f, 1.0f},    {0.0f, 0.5f, 0.0f, 1.0f},
    {0.0f, 0.5f, 0.5f, 1.0f},    {0.5f, 0.0f, 0.0f, 1.0f},    {0.5f, 0.0f, 0.5f, 1.0f},
    {0.5f, 0.5f, 0.0f, 1.0f},    {0.75f, 0.75f, 0.75f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f},
    {0.0f, 0.0f, 1.0f, 1.0f},    {0.0f, 1.0f, 0.0f, 1.0f},    {0.0f, 1.0f, 1.0f, 1.0f},
    {1.0f, 0.0f, 0.0f, 1.0f},    {1.0f, 0.0f, 1.0f, 1.0f},    {1.0f, 1.0f, 0.0f, 1.0f},
    {1.0f, 1.0f, 1.0f, 1.0f},
};

}  // namespace

GlyphRect glyphRect(int glyph) {
  const int column = glyph % 80;
  const int q = glyph / 80;
  GlyphRect rect;
  rect.u0 = column * 0.0125f;
  rect.u1 = column * 0.0125f + 0.0125f;
  rect.fgV0 = (9 - q) * 0.1f;
  rect.fgV1 = (10 - q) * 0.1f;
  rect.bgV0 = (5 - q) * 0.1f;
  rect.bgV1 = (6 - q) * 0.1f;
  return rect;
}

void AsciiEngine::initScreen() {
  clear();
  std::memcpy(palette, kPalette, sizeof palette);
  viewX = viewY = viewWidth = viewHeight = 1;
  for (int i = 0; i < 4; ++i) banners[i] = banner_lines[i];
  submission = Submission::Immediate;
}

AsciiEngine::AsciiEngine() : target(nullptr), renderer(nullptr) {
  if (!chart.load(kChartFile, GL_NEAREST, GL_NEAREST, false)) ErrorBox("Failed to load texture!");
  target = new Fbo(kTargetWidth, kTargetHeight);
  initScreen();
}

AsciiEngine::AsciiEngine(ScreenRenderer* screenRenderer) : target(nullptr), renderer(screenRenderer) {
  initScreen();
}

void AsciiEngine::clear() { std::memset(chars, 0, 3 * kCells); }

void AsciiEngine::fillWhite() {
  std::memset(chars, kFullBlock, kCells);
  std::memset(fg, 15, kCells);
  std::memset(bg, 15, kCells);
}

void AsciiEngine::setCell(int column, int row, int character, int foreground, int background) {
  // Unsigned comparison drops negative positions as well.
  if (static_cast<unsigned>(column) >= static_cast<unsigned>(kColumns) ||
      static_cast<unsigned>(row) >= static_cast<unsigned>(kRows)) {
    return;
  }
  const int i = row * kColumns + column;
  chars[i] = static_cast<unsigned char>(character);
  fg[i] = static_cast<unsigned char>(foreground);
  bg[i] = static_cast<unsigned char>(background);
}

void AsciiEngine::drawBanner(const char* const* lines) {
  for (int r = 0; r < kRows; ++r) {
    const char* line = lines[r];
    for (int c = 0; c < kColumns; ++c) {
      if (line[c] != ' ') setCell(c, r, static_cast<unsigned char>(line[c]), 15, 4);
    }
  }
}

void AsciiEngine::setViewport(int width, int height, float aspect) {
  const Letterbox box = computeLetterbox(width, height, aspect);
  viewX = box.x;
  viewY = box.y;
  viewWidth = box.width;
  viewHeight = box.height;
}

const float* AsciiEngine::colour(int index) const { return palette[index & 15]; }

void AsciiEngine::present() {
  if (target == nullptr) {
    if (renderer != nullptr) renderer->present(*this);
    return;
  }

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
  glViewport(0, 0, kTargetWidth, kTargetHeight);
  gluOrtho2D(0, kColumns, 0, kRows);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, chart.texID);

  if (submission == Submission::VertexArrays) {
    drawCellsBatched();
  } else {
    drawCellsImmediate();
  }

  target->unbind();

  // Keep the target's mipmap chain in step with what was just rendered:
  // any letterbox smaller than 640 x 600 minifies through the lower levels.
  Texture* picture = target->colorTextures[0];
  glBindTexture(GL_TEXTURE_2D, picture->texID);
  glGenerateMipmapEXT(GL_TEXTURE_2D);

  glViewport(viewX, viewY, viewWidth, viewHeight);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  picture->drawFullscreen();
}

// Calls emit(colour, corners) for the 8000 cell quads in drawing order:
// column by column, each column from the top row down, background mask
// before foreground mask. corners[k] = {x, y, u, v}, counter-clockwise from
// the lower left.
template <typename Emit>
void AsciiEngine::forEachQuad(Emit emit) const {
  for (int x = 0; x < kColumns; ++x) {
    for (int r = 0; r < kRows; ++r) {
      const int i = r * kColumns + x;
      const float left = static_cast<float>(x);
      const float right = static_cast<float>(x + 1);
      const float top = static_cast<float>(kRows - r);
      const float bottom = top - 1.0f;
      const GlyphRect g = glyphRect(chars[i]);
      const float background[4][4] = {
          {left, bottom, g.u0, g.bgV0}, {right, bottom, g.u1, g.bgV0},
          {right, top, g.u1, g.bgV1},   {left, top, g.u0, g.bgV1}};
      emit(colour(bg[i]), background);
      const float foreground[4][4] = {
          {left, bottom, g.u0, g.fgV0}, {right, bottom, g.u1, g.fgV0},
          {right, top, g.u1, g.fgV1},   {left, top, g.u0, g.fgV1}};
      emit(colour(fg[i]), foreground);
    }
  }
}

void AsciiEngine::drawCellsImmediate() {
  glBegin(GL_QUADS);
  forEachQuad([](const float* rgba, const float (&corners)[4][4]) {
    glColor4fv(rgba);
    for (const auto& c : corners) {
      glTexCoord2f(c[2], c[3]);
      glVertex2f(c[0], c[1]);
    }
  });
  glEnd();
}

void AsciiEngine::drawCellsBatched() {
  // The same quads in the same order with the same values, handed to GL as
  // client arrays in one draw call.
  constexpr int kVertices = kCells * 8;
  constexpr int kFloats = 8;  // x, y, u, v, r, g, b, a
  if (batch.empty()) batch.resize(static_cast<size_t>(kVertices) * kFloats);
  float* out = batch.data();
  forEachQuad([&out](const float* rgba, const float (&corners)[4][4]) {
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
  glDrawArrays(GL_QUADS, 0, kVertices);
  glPopClientAttrib();
}
