#pragma once

#include <GL/glew.h>

#include <vector>

class Texture;

// A framebuffer object with a depth renderbuffer and colour textures.
class Fbo {
 public:
  Fbo(int width, int height);

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
