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

// Texture values are bytes; texelFetch hands them over as byte / 255.
const char* const kFragmentShader = R"(#version 130
uniform sampler2D cells;   // 80 x 50: glyph, foreground, background; row 0 on top
uniform sampler2D atlas;   // glyph masks, 8 x 12 per glyph
uniform sampler2D levels;  // x: mask texel, y: colour index
ivec3 bytes(vec3 v) { return ivec3(v * 255.0 + 0.5); }
float level(int texel, int colour, int channel) {
  return texelFetch(levels, ivec2(texel, colour), 0)[channel];
}
void main() {
  ivec2 pixel = ivec2(gl_FragCoord.xy);
  ivec2 cell = pixel / ivec2(8, 12);
  ivec2 inCell = pixel - cell * ivec2(8, 12);
  ivec3 c = bytes(texelFetch(cells, ivec2(cell.x, 49 - cell.y), 0).rgb);
  int x = c.x * 8 + inCell.x;
  ivec3 fg = bytes(texelFetch(atlas, ivec2(x, inCell.y), 0).rgb);
  ivec3 bg = bytes(texelFetch(atlas, ivec2(x, 12 + inCell.y), 0).rgb);
  vec3 sum;
  for (int i = 0; i < 3; ++i) sum[i] = level(bg[i], c.z, i) + level(fg[i], c.y, i);
  gl_FragColor = vec4(min(sum, vec3(1.0)), 1.0);
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

GLuint makeTexture(int width, int height, const unsigned char* rgb) {
  GLuint id = 0;
  glGenTextures(1, &id);
  glBindTexture(GL_TEXTURE_2D, id);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
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

}  // namespace

bool CellShaderPass::init(const Texture& chart) {
  if (!GLEW_VERSION_3_0) return false;
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
  glUniform1i(glGetUniformLocation(program_, "atlas"), 1);
  glUniform1i(glGetUniformLocation(program_, "levels"), 2);
  glUseProgram(0);

  const GlyphAtlas atlas = buildGlyphAtlas(readChart(chart));
  atlas_ = makeTexture(GlyphAtlas::kWidth, GlyphAtlas::kHeight, atlas.rgb.data());
  cells_ = makeTexture(AsciiEngine::kColumns, AsciiEngine::kRows, nullptr);
  levels_ = makeTexture(256, 16, nullptr);
  return true;
}

void CellShaderPass::uploadLevels(const AsciiEngine& engine) {
  std::vector<unsigned char> table(256 * 16 * 3);
  for (int colour = 0; colour < 16; ++colour) {
    for (int c = 0; c < 3; ++c) levelPalette_[colour][c] = engine.palette[colour][c];
    for (int texel = 0; texel < 256; ++texel) {
      for (int c = 0; c < 3; ++c) {
        table[(static_cast<size_t>(colour) * 256 + texel) * 3 + c] =
            static_cast<unsigned char>(maskedLevel(engine.palette[colour][c], texel));
      }
    }
  }
  glBindTexture(GL_TEXTURE_2D, levels_);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 16, GL_RGB, GL_UNSIGNED_BYTE, table.data());
  glPopClientAttrib();
  levelsValid_ = true;
}

void CellShaderPass::draw(const AsciiEngine& engine) {
  // The palette is a public field: follow it when someone changes it.
  bool paletteChanged = !levelsValid_;
  for (int colour = 0; colour < 16 && !paletteChanged; ++colour) {
    for (int c = 0; c < 3; ++c) paletteChanged |= levelPalette_[colour][c] != engine.palette[colour][c];
  }
  glActiveTexture(GL_TEXTURE2);
  if (paletteChanged) uploadLevels(engine);
  glBindTexture(GL_TEXTURE_2D, levels_);

  unsigned char cells[AsciiEngine::kCells * 3];
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    cells[i * 3 + 0] = engine.chars[i];
    cells[i * 3 + 1] = engine.fg[i] & 15;
    cells[i * 3 + 2] = engine.bg[i] & 15;
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, atlas_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, cells_);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, AsciiEngine::kColumns, AsciiEngine::kRows, GL_RGB, GL_UNSIGNED_BYTE,
                  cells);
  glPopClientAttrib();

  glUseProgram(program_);
  glBegin(GL_QUADS);
  glVertex2f(0, 0);
  glVertex2f(AsciiEngine::kColumns, 0);
  glVertex2f(AsciiEngine::kColumns, AsciiEngine::kRows);
  glVertex2f(0, AsciiEngine::kRows);
  glEnd();
  glUseProgram(0);
}
