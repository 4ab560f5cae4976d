#include "scenes/scene.h"

#include <GL/glu.h>

#include "platform/ticks.h"
#include "util/ascii/letterbox.h"
#include "util/music/music.h"

Scene::Scene()
    : startTime(-10.0f),
      endTime(5000.0f),
      keys(nullptr),
      presses(nullptr),
      music(nullptr),
      fbo(nullptr),
      ascii(nullptr),
      aspect(16.0f / 9.0f),
      windowWidth(0),
      windowHeight(0),
      viewWidth(0),
      viewHeight(0),
      alphaTest(false),
      blend(false),
      colorMaterial(true),
      cullFace(false),
      depthTest(true),
      light{true, false, false, false, false, false, false, false},
      lighting(false),
      multisample(true),
      normalize(true),
      texture1D(false),
      texture2D(false),
      textureCubeMap(false),
      clearDepth(1.0f),
      colorMaterialFace(GL_FRONT_AND_BACK),
      colorMaterialMode(GL_AMBIENT_AND_DIFFUSE),
      depthFunc(GL_LESS),
      shadeModel(GL_SMOOTH) {}

FrameTime readFrameTime(const Music& music) { return FrameTime{music.beatTime(), platform::getTickCount()}; }

void Scene::resize(int width, int height) {
  windowWidth = width;
  windowHeight = height;
  const Letterbox box = computeLetterbox(width, height, aspect);
  viewWidth = box.width;
  viewHeight = box.height;

  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(box.x, box.y, viewWidth, viewHeight);
  gluPerspective(45.0, aspect, 0.1, 2000.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

namespace {
void setCapability(GLenum capability, bool on) {
  if (on) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}
}  // namespace

void Scene::applyRenderDefaults() {
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_TEXTURE_GEN_R);
  glDisable(GL_TEXTURE_GEN_Q);

  setCapability(GL_ALPHA_TEST, alphaTest);
  setCapability(GL_BLEND, blend);
  setCapability(GL_COLOR_MATERIAL, colorMaterial);
  setCapability(GL_CULL_FACE, cullFace);
  setCapability(GL_DEPTH_TEST, depthTest);
  for (int i = 0; i < 8; ++i) setCapability(GL_LIGHT0 + i, light[i]);
  setCapability(GL_LIGHTING, lighting);
  setCapability(GL_MULTISAMPLE, multisample);
  setCapability(GL_NORMALIZE, normalize);
  setCapability(GL_TEXTURE_1D, texture1D);
  setCapability(GL_TEXTURE_2D, texture2D);
  setCapability(GL_TEXTURE_CUBE_MAP, textureCubeMap);

  glClearDepth(clearDepth);
  glColorMaterial(colorMaterialFace, colorMaterialMode);
  glDepthFunc(depthFunc);
  glShadeModel(shadeModel);

  glBindTexture(GL_TEXTURE_1D, 0);
  for (int unit = 0; unit < 6; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTexture(GL_TEXTURE0);

  // Fragment/vertex programs may be missing on some drivers; disabling an
  // unknown capability only raises a GL error, which nothing reads.
  glDisable(GL_FRAGMENT_PROGRAM_ARB);
  glDisable(GL_VERTEX_PROGRAM_ARB);
  if (glUseProgramObjectARB) glUseProgramObjectARB(0);
}
