#include "util/ascii/cell_shader_pass.h"

#include <cstring>
#include <vector>

#include "util/ascii/asciiengine.h"
#include "util/ascii/reference_renderer.h"
#include "util/texture/texture.h"

namespace {

const char* const kVertexShader = R"(#version 130
void main() { gl_Position = ftransform(); }
)";

// Texture values are bytes; texelFetch hands them over as byte / 255. The
// masks are 0 or 1, so each channel adds two colour levels or nothing, and
// the sum of two byte / 255 values lands on the byte the quads would blend.
const char* const kFragmentShader = R"(#version 130
uniform sampler2D cells;  // 80 x 50: glyph, foreground, background; row 0 on top
uniform sampler2D masks;  // 8 x 12 per glyph: foreground mask, background mask
uniform vec3 levels[16];  // each colour as the 8-bit target stores it
void main() {
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  ivec2 cell = pixel / ivec2(8, 12);
  ivec3 c = ivec3(texelFetch(cells, ivec2(cell.x, 49 - cell.y), 0).rgb * 255.0 + 0.5);
  vec2 mask = texelFetch(masks, ivec2(c.x * 8, 0) + pixel - cell * ivec2(8, 12), 0).rg;
  gl_FragColor = vec4(min(mask.x * levels[c.y] + mask.y * levels[c.z], vec3(1.0)), 1.0);
}
)";

GLuint compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLuint makeTexture(int width, int height, GLenum internalFormat, GLenum format, const unsigned char* pixels) {
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  glPopClientAttrib();
  return id;
}

// The chart as GL holds it (rows bottom first), read back from the texture.
ChartPixels readChart(const Texture& chart) {
  ChartPixels pixels;
  glBindTexture(GL_TEXTURE_2D, chart.texID);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &pixels.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &pixels.height);
  pixels.rgba.resize(static_cast<size_t>(pixels.width) * pixels.height * 4);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.rgba.data());
  glPopClientAttrib();
  return pixels;
}

// The atlas as two-channel masks (foreground, background), when every mask
// texel is black or white; false for charts with grey or coloured texels.
bool packMasks(const GlyphAtlas& atlas, std::vector<unsigned char>* masks) {
  masks->assign(static_cast<size_t>(GlyphAtlas::kWidth) * GlyphAtlas::kCellHeight * 2, 0);
  for (int glyph = 0; glyph < 256; ++glyph) {
    for (int y = 0; y < GlyphAtlas::kCellHeight; ++y) {
      for (int x = 0; x < GlyphAtlas::kCellWidth; ++x) {
        const unsigned char* texels[2] = {atlas.foreground(glyph, x, y), atlas.background(glyph, x, y)};
        for (int m = 0; m < 2; ++m) {
          const unsigned char* t = texels[m];
          if (t[0] != t[1] || t[1] != t[2] || (t[0] != 0 && t[0] != 255)) return false;
          (*masks)[(static_cast<size_t>(y) * GlyphAtlas::kWidth + glyph * GlyphAtlas::kCellWidth + x) * 2 + m] = t[0];
        }
      }
    }
  }
  return true;
}

}  // namespace

CellShaderPass::~CellShaderPass() {
  if (program_ != 0) glDeleteProgram(program_);
  if (cells_ != 0) glDeleteTextures(1, &cells_);
  if (masks_ != 0) glDeleteTextures(1, &masks_);
}

bool CellShaderPass::init(const Texture& chart) {
  if (!(epoxy_gl_version() >= 30)) return false;
  std::vector<unsigned char> masks;
  if (!packMasks(buildGlyphAtlas(readChart(chart)), &masks)) return false;
  const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
  if (vertex == 0 || fragment == 0) {
    if (vertex) glDeleteShader(vertex);
    if (fragment) glDeleteShader(fragment);
    return false;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vertex);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDeleteShader(vertex);
  glDeleteShader(fragment);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    glDeleteProgram(program);
    return false;
  }
  program_ = program;
  glUseProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "cells"), 0);
  glUniform1i(glGetUniformLocation(program_, "masks"), 1);
  levelsUniform_ = glGetUniformLocation(program_, "levels");
  glUseProgram(0);

  masks_ = makeTexture(GlyphAtlas::kWidth, GlyphAtlas::kCellHeight, GL_RG8, GL_RG, masks.data());
  cells_ = makeTexture(AsciiEngine::kColumns, AsciiEngine::kRows, GL_RGB8, GL_RGB, nullptr);
  return true;
}

void CellShaderPass::draw(const AsciiEngine& engine) {
  unsigned char cells[AsciiEngine::kCells * 3];
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    cells[i * 3 + 0] = engine.chars[i];
    cells[i * 3 + 1] = engine.fg[i] & 15;
    cells[i * 3 + 2] = engine.bg[i] & 15;
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, masks_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, cells_);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, AsciiEngine::kColumns, AsciiEngine::kRows, GL_RGB, GL_UNSIGNED_BYTE,
                  cells);
  glPopClientAttrib();

  glUseProgram(program_);
  // The palette is a public field: read it every frame.
  GLfloat levels[16][3];
  for (int colour = 0; colour < 16; ++colour) {
    for (int c = 0; c < 3; ++c) levels[colour][c] = maskedLevel(engine.palette[colour][c], 255) / 255.0f;
  }
  glUniform3fv(levelsUniform_, 16, &levels[0][0]);
  // Every target pixel is written once: adding to the cleared target would
  // give the same bytes at the cost of reading them back.
  glDisable(GL_BLEND);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(AsciiEngine::kColumns, 0);
  glVertex2f(AsciiEngine::kColumns, AsciiEngine::kRows);
  glVertex2f(0, AsciiEngine::kRows);
  glEnd();
  glEnable(GL_BLEND);
  glUseProgram(0);
}
