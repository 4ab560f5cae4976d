#pragma once

#include <epoxy/gl.h>

#include <vector>

class Texture;

// Whether resize may use sizes that are not powers of two: -1 follows
// epoxy_has_gl_extension("GL_ARB_texture_non_power_of_two"), 0 and 1 force the answer (tests).
extern int fbo_npot_override;

// Returns when `status` is GL_FRAMEBUFFER_COMPLETE_EXT; any other status of
// glCheckFramebufferStatusEXT is fatal with its message.
void fbo_report_status(GLenum status);

// The size resize() uses for a requested width when non-power-of-two
// textures are missing: half the smallest power of two >= max(width, 2).
int fbo_power_of_two_size(int width);

// A framebuffer object with a depth renderbuffer and colour textures. It
// owns every texture and GL object it holds (also a depth texture put in
// its place) and frees them with itself; the GL context must still be
// current then.
class Fbo {
 public:
  Fbo(int width, int height);
  ~Fbo();
  Fbo(const Fbo&) = delete;
  Fbo& operator=(const Fbo&) = delete;

  int width;
  int height;
  int samples;
  int maxDrawBuffers;
  GLuint fboID;
  GLuint depthBuffer;
  Texture* depthTexture;
  std::vector<Texture*> colorTextures;

  void addDepthBuffer();
  void addColorAttachment(GLenum internalFormat);
  void resize(int width, int height);
  void bind();
  void unbind();
};
