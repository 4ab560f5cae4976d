#pragma once

#include <GL/glew.h>

// One OpenGL texture with the settings it is created from. Pixel rows in
// imageData are bottom row first, tightly packed, R, G, B(, A).
class Texture {
 public:
  Texture();

  unsigned char* imageData;  // malloc'd, owned until create() uploads it
  int bpp;
  int width;
  int height;
  GLenum format;
  GLuint texID;
  GLenum wrap;
  GLint internalFormat;
  bool mipmaps;
  GLenum minFilter;
  GLenum magFilter;
  int samples;

  bool load(const char* fileName, GLenum minFilter, GLenum magFilter, bool mipmaps);
  bool create();
  void resize(int width, int height);
  void release();
  void drawFullscreen();
};

// Created once at start-up from the loading logo and kept for the whole run.
extern Texture* tex_loading;
void data_load_loading_texture();
