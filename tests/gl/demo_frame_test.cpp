#include <gtest/gtest.h>

#include <vector>

#include "demo.h"
#include "scenes/scene.h"
#include "support/gl_window.h"
#include "util/music/music.h"

namespace {

// Records the window size each frame hands it, then lets the base class set
// the viewport as every scene does.
class SizedScene : public Scene {
 public:
  void init() override {}
  void draw() override { ++frames; }
  void resize(int width, int height) override {
    sizes.push_back({width, height});
    Scene::resize(width, height);
  }
  struct Size {
    int width, height;
  };
  std::vector<Size> sizes;
  int frames = 0;
};

class DemoFrameTest : public GlTest {};

TEST_F(DemoFrameTest, EverySceneInItsSlotGetsTheWindowSizeAndItsViewport) {
  SizedScene early, late, elsewhere;
  early.startTime = 0.0f;
  early.endTime = 44.0f;
  late.startTime = 44.0f;
  late.endTime = 108.0f;
  elsewhere.startTime = 200.0f;
  elsewhere.endTime = 300.0f;
  std::vector<Scene*> scenes{&early, &late, &elsewhere};
  Music music{Music::Manual{}};
  music.setManualPosition(44.0 * 0.3);
  KeyState keys{};

  drawScheduledScenes(scenes, &music, &keys, 1280, 1024, true);
  // A resized window reaches the scenes in the next frame.
  drawScheduledScenes(scenes, &music, &keys, 1920, 1080, true);

  for (SizedScene* scene : {&early, &late}) {
    ASSERT_EQ(2u, scene->sizes.size());
    EXPECT_EQ(1280, scene->sizes[0].width);
    EXPECT_EQ(1024, scene->sizes[0].height);
    EXPECT_EQ(1920, scene->sizes[1].width);
    EXPECT_EQ(2, scene->frames);
    EXPECT_EQ(1920, scene->viewWidth);
    EXPECT_EQ(1079, scene->viewHeight);
  }
  EXPECT_TRUE(elsewhere.sizes.empty());
  EXPECT_EQ(0, elsewhere.frames);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(0, viewport[0]);
  EXPECT_EQ(0, viewport[1]);
  EXPECT_EQ(1920, viewport[2]);
  EXPECT_EQ(1079, viewport[3]);
  // The render defaults were applied before drawing.
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

}  // namespace
