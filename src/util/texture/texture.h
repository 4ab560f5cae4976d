#pragma once

#include <epoxy/gl.h>

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

// True when a GL_VENDOR string names the "ati " family, whose drivers get
// their mipmaps through GL_GENERATE_MIPMAP instead of glGenerateMipmapEXT.
bool texture_vendor_is_ati(const char* vendor);

// Replaces GL_VENDOR for the mipmap rule (null: ask GL). Lets tests take the
// other vendor's path.
extern const char* texture_vendor_override;

// Created once at start-up from the loading logo and kept for the whole run.
extern Texture* tex_loading;
void data_load_loading_texture();
// Loads the loading logo into `texture` (linear filters, mipmaps).
void texture_load_loading_logo(Texture* texture);
