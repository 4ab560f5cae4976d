#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "schedule.h"
#include "support/gl_window.h"
#include "util/music/music.h"

namespace {

// Records the window size each frame hands it, then lets the base class set
// the viewport as every scene does.
class SizedScene : public Scene {
 public:
  void init() override {}
  void draw(const FrameTime&) override { ++frames; }
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
  Music music{Music::Manual{}};
  SceneList scenes;
  auto add = [&](const ScheduleSlot& slot) -> SizedScene& {
    SizedScene* scene = new SizedScene;
    scenes.add(std::unique_ptr<Scene>(scene));
    placeInSlot(*scene, slot, SceneResources{&music, nullptr, nullptr});
    return *scene;
  };
  SizedScene& early = add(kShowSchedule[0]);
  SizedScene& late = add(kShowSchedule[1]);
  SizedScene& elsewhere = add(kShowSchedule[4]);
  music.setManualPosition(44.0 * 0.3);
  KeyState keys{};

  drawScheduledScenes(scenes, readFrameTime(music), &keys, nullptr, 1280, 1024, true);
  // A resized window reaches the scenes in the next frame.
  drawScheduledScenes(scenes, readFrameTime(music), &keys, nullptr, 1920, 1080, true);

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
