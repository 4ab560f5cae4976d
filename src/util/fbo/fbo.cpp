#include "util/fbo/fbo.h"

#include "util/error.h"
#include "util/texture/texture.h"

int fbo_npot_override = -1;

namespace {

const GLenum kDrawBuffers[4] = {GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT, GL_COLOR_ATTACHMENT2_EXT,
                                GL_COLOR_ATTACHMENT3_EXT};
constexpr int kMaxBoundBuffers = 3;

bool nonPowerOfTwoTextures() {
  if (fbo_npot_override >= 0) return fbo_npot_override != 0;
  return epoxy_has_gl_extension("GL_ARB_texture_non_power_of_two");
}

GLenum attachmentTarget(int samples) { return samples > 0 ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D; }

// Fatal unless the bound framebuffer is complete; then binds framebuffer 0.
void checkComplete() {
  fbo_report_status(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT));
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

}  // namespace

void fbo_report_status(GLenum status) {
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT:
      return;
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT");
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT:
      ErrorBox("FBO error: GL_FRAMEBUFFER_UNSUPPORTED_EXT");
    case GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE:
      ErrorBox("FBO error: GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE");
    default:
      ErrorBox("FBO error: Unknown error %x", status);
  }
}

int fbo_power_of_two_size(int width) {
  int size = 2;
  while (size < width && size < (1 << 30)) size *= 2;
  return size / 2;
}

Fbo::Fbo(int widthIn, int heightIn)
    : width(widthIn),
      height(heightIn),
      samples(0),
      maxDrawBuffers(0),
      fboID(0),
      depthBuffer(0),
      depthTexture(nullptr) {
  glGetIntegerv(GL_MAX_DRAW_BUFFERS, &maxDrawBuffers);
  glGenFramebuffersEXT(1, &fboID);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fboID);
  addDepthBuffer();
  addColorAttachment(GL_RGBA8);
  checkComplete();
}

Fbo::~Fbo() {
  for (Texture* texture : colorTextures) {
    texture->release();
    delete texture;
  }
  if (depthTexture) {
    depthTexture->release();
    delete depthTexture;
  }
  if (depthBuffer != 0) glDeleteRenderbuffersEXT(1, &depthBuffer);
  if (fboID != 0) glDeleteFramebuffersEXT(1, &fboID);
}

void Fbo::addDepthBuffer() {
  if (depthBuffer != 0) ErrorBox("Depth buffer already present!");
  glGenRenderbuffersEXT(1, &depthBuffer);
  glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, depthBuffer);
  if (samples > 0) {
    glRenderbufferStorageMultisampleEXT(GL_RENDERBUFFER_EXT, samples, GL_DEPTH_COMPONENT, width, height);
  } else {
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
  }
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depthBuffer);
}

void Fbo::addColorAttachment(GLenum internalFormatIn) {
  const int i = static_cast<int>(colorTextures.size());
  if (i >= maxDrawBuffers) {
    ErrorBox("Tried to add more than %i color attachments, and GL_MAX_DRAW_BUFFERS is %i", i, maxDrawBuffers);
  }
  Texture* texture = new Texture();
  colorTextures.push_back(texture);
  texture->internalFormat = static_cast<GLint>(internalFormatIn);
  texture->minFilter = GL_LINEAR;
  texture->magFilter = GL_LINEAR;
  texture->wrap = GL_CLAMP_TO_EDGE;
  texture->mipmaps = true;
  texture->format = GL_RGBA;
  texture->bpp = 32;
  texture->width = width;
  texture->height = height;
  if (samples > 0) texture->samples = samples;
  if (!texture->create()) {
    ErrorBox("Failed to create %ix%i texture for FBO %i color attachment %i", width, height, fboID, i);
  }
  glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT + i, attachmentTarget(samples),
                            texture->texID, 0);
}

void Fbo::resize(int newWidth, int newHeight) {
  if (!nonPowerOfTwoTextures()) {
    newWidth = fbo_power_of_two_size(newWidth);
    newHeight = newWidth;
  }
  if (newWidth == width && newHeight == height) return;

  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fboID);
  width = newWidth;
  height = newHeight;
  const GLenum target = attachmentTarget(samples);
  if (depthBuffer != 0) {
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT(1, &depthBuffer);
    depthBuffer = 0;
    addDepthBuffer();
  }
  if (depthTexture) {
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, target, 0, 0);
    depthTexture->resize(width, height);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, target, depthTexture->texID, 0);
  }
  for (size_t i = 0; i < colorTextures.size(); ++i) {
    const GLenum attachment = GL_COLOR_ATTACHMENT0_EXT + static_cast<GLenum>(i);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, target, 0, 0);
    colorTextures[i]->resize(width, height);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, attachment, target, colorTextures[i]->texID, 0);
  }
  checkComplete();
}

void Fbo::bind() {
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fboID);
  glPushAttrib(GL_VIEWPORT_BIT);
  const int n = static_cast<int>(colorTextures.size());
  if (n > kMaxBoundBuffers) ErrorBox("Can only draw to %i buffers at a time here", kMaxBoundBuffers);
  glDrawBuffers(n, kDrawBuffers);
  glViewport(0, 0, width, height);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_ACCUM_BUFFER_BIT);
}

void Fbo::unbind() {
  glPopAttrib();
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
