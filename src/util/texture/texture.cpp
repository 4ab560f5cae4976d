#include "util/texture/texture.h"

#include <GL/glu.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/messagebox.h"
#include "util/error.h"
#include "util/texture/bmp_loader.h"
#include "util/texture/jpg_loader.h"
#include "util/texture/png_loader.h"
#include "util/texture/tga_loader.h"

Texture* tex_loading = nullptr;
const char* texture_vendor_override = nullptr;

namespace {

// The last `count` characters of the name in lower case ("" when shorter).
std::string lowerSuffix(const char* name, size_t count) {
  const size_t length = std::strlen(name);
  if (length < count) return std::string();
  std::string suffix(name + length - count);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix;
}

enum class Upload { kColour, kDepth, kUnknown };

Upload uploadKind(GLint internalFormat, GLenum* type) {
  switch (internalFormat) {
    case 1:
    case 2:
    case 3:
    case 4:
    case GL_RGBA8:
      *type = GL_UNSIGNED_BYTE;
      return Upload::kColour;
    case GL_RGBA32F_ARB:
    case GL_RGB32F_ARB:
    case GL_RGBA16F_ARB:
    case GL_RGB16F_ARB:
      *type = GL_FLOAT;
      return Upload::kColour;
    case GL_DEPTH_COMPONENT16:
    case GL_DEPTH_COMPONENT24:
    case GL_DEPTH_COMPONENT32:
    case GL_DEPTH_COMPONENT32F:
      *type = GL_FLOAT;
      return Upload::kDepth;
    default:
      return Upload::kUnknown;
  }
}

// GL refuses a texture larger than its limit without a word, and everything
// drawn with it is black: such a size is fatal here instead. `what` names the
// picture in the message.
void checkTextureSize(int width, int height, const char* what) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (largest > 0 && (width > largest || height > largest)) {
    ErrorBox("%s of %ix%i pixels is larger than this OpenGL allows (at most %i pixels a side).", what, width,
             height, largest);
  }
}

const char* glErrorName(GLenum error) {
  switch (error) {
    case GL_OUT_OF_MEMORY:
      return "out of memory";
    case GL_INVALID_VALUE:
      return "invalid value";
    case GL_INVALID_ENUM:
      return "invalid enum";
    case GL_INVALID_OPERATION:
      return "invalid operation";
    default:
      return "error";
  }
}

}  // namespace

bool texture_vendor_is_ati(const char* vendor) {
  if (!vendor) return false;
  std::string lower(vendor);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find("ati ") != std::string::npos;
}

Texture::Texture()
    : imageData(nullptr),
      bpp(0),
      width(0),
      height(0),
      format(0),
      texID(0),
      wrap(GL_CLAMP_TO_EDGE),
      internalFormat(0),
      mipmaps(false),
      minFilter(GL_LINEAR),
      magFilter(GL_LINEAR),
      samples(0) {}

bool Texture::load(const char* fileName, GLenum minFilterIn, GLenum magFilterIn, bool mipmapsIn) {
  minFilter = minFilterIn;
  magFilter = magFilterIn;
  mipmaps = mipmapsIn;
  wrap = GL_CLAMP_TO_EDGE;

  const std::string extension = lowerSuffix(fileName, 4);
  bool decoded;
  if (extension == ".tga") {
    decoded = load_tga(fileName, this);
  } else if (extension == ".png") {
    decoded = load_png(fileName, this);
  } else if (extension == ".jpg" || lowerSuffix(fileName, 5) == ".jpeg") {
    decoded = load_jpg(fileName, this);
  } else if (extension == ".bmp") {
    decoded = load_bmp(fileName, this);
  } else {
    // Names shorter than four characters show what there is of them.
    const size_t length = std::strlen(fileName);
    const std::string shown(fileName + (length < 4 ? 0 : length - 4));
    const std::string text = "Sorry, image format " + shown + " is not yet supported.\nTry .tga or .png.";
    showMessageBox("Unsupported image format!", text.c_str());
    decoded = false;
  }
  if (!decoded) ErrorBox("Failed to load image %s!", fileName);

  internalFormat = bpp / 8;
  const std::string picture = std::string("Image ") + fileName;
  checkTextureSize(width, height, picture.c_str());
  return create();
}

bool Texture::create() {
  if (texID != 0) ErrorBox("Attempt to create an already initialized texture!");

  const GLenum target = samples > 0 ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
  glGenTextures(1, &texID);
  glBindTexture(target, texID);

  if (mipmaps) {
    GLfloat maxAnisotropy = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, maxAnisotropy);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);

  GLenum type = GL_UNSIGNED_BYTE;
  const Upload kind = uploadKind(internalFormat, &type);
  if (kind == Upload::kUnknown) ErrorBox("Unrecognized texture format %i!", internalFormat);
  if (samples > 0 && !glTexImage2DMultisample) ErrorBox("Multisample textures are not supported by this renderer");

  checkTextureSize(width, height, "A texture");
  // Errors left by earlier calls must not be taken for the upload's (a few
  // at most: without a context the query itself keeps failing).
  for (int i = 0; i < 8 && glGetError() != GL_NO_ERROR; ++i) {
  }

  // Rows are tightly packed, whatever their length.
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (kind == Upload::kDepth) {
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  if (samples > 0) {
    glTexImage2DMultisample(target, samples, internalFormat, width, height, GL_FALSE);
  } else if (kind == Upload::kDepth) {
    glTexImage2D(target, 0, internalFormat, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, imageData);
  } else {
    glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, imageData);
  }
  glPopClientAttrib();
  const GLenum uploadError = glGetError();
  if (uploadError != GL_NO_ERROR) {
    ErrorBox("Could not create a texture of %ix%i pixels: %s (GL error 0x%04X).", width, height,
             glErrorName(uploadError), uploadError);
  }

  const char* vendor = texture_vendor_override;
  if (!vendor) vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
  if (mipmaps) {
    if (texture_vendor_is_ati(vendor)) {
      glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
    } else {
      glGenerateMipmapEXT(target);
    }
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);
  }

  std::free(imageData);
  imageData = nullptr;
  return true;
}

void Texture::resize(int newWidth, int newHeight) {
  if (imageData) ErrorBox("Attempted to resize a texture with current imageData");
  if (texID == 0) ErrorBox("Attempted to resize a texture that is not initialized!");
  glDeleteTextures(1, &texID);
  texID = 0;
  width = newWidth;
  height = newHeight;
  create();
}

void Texture::release() {
  if (texID != 0) glDeleteTextures(1, &texID);
  texID = 0;
}

void Texture::drawFullscreen() {
  glEnable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glPushAttrib(GL_TRANSFORM_BIT);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(samples > 0 ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D, texID);
  glBegin(GL_QUADS);
  glTexCoord2f(0, 0);
  glVertex2f(0, 0);
  glTexCoord2f(1, 0);
  glVertex2f(1, 0);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glTexCoord2f(0, 1);
  glVertex2f(0, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopAttrib();
}

void texture_load_loading_logo(Texture* texture) {
  static const char* const kLogo = "data/common/images/tavorlin_logo_transp.png";
  if (!texture->load(kLogo, GL_LINEAR, GL_LINEAR, true)) ErrorBox("Failed to load texture %s", kLogo);
}

// The loading texture is the first thing read from the archive at start-up.
void data_load_loading_texture() {
  tex_loading = new (std::nothrow) Texture();
  if (!tex_loading) ErrorBox("Failed assert tex_loading");
  texture_load_loading_logo(tex_loading);
}
