#include "show/schedule.h"

#include <cstring>

#include "scenes/textbigsprite.h"
#include "scenes/textdance.h"
#include "scenes/textending.h"
#include "scenes/textfire.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "scenes/texttalkingv.h"
#include "util/error.h"

template <typename SceneType>
Scene* makeScene() {
  return new SceneType;
}

// One per scene class the schedule names (a class missing here fails to link).
template Scene* makeScene<TextFire>();
template Scene* makeScene<TextTalkingV>();
template Scene* makeScene<TextDance>();
template Scene* makeScene<TextRaster>();
template Scene* makeScene<TextSnake>();
template Scene* makeScene<TextBigSprite>();
template Scene* makeScene<TextEnding>();

const ScheduleSlot& scheduleSlot(const char* name) {
  for (const ScheduleSlot& slot : kShowSchedule)
    if (std::strcmp(slot.name, name) == 0) return slot;
  ErrorBox("No scene called %s in the schedule", name);
}

void placeInSlot(Scene& scene, const ScheduleSlot& slot, const SceneResources& resources) {
  scene.startTime = slot.startTime;
  scene.endTime = slot.endTime;
  scene.music = resources.music;
  scene.ascii = resources.ascii;
  scene.aspect = resources.aspect;
  scene.initTicks = resources.ticks ? resources.ticks() : 0;
}

std::unique_ptr<Scene> buildScene(const ScheduleSlot& slot, const SceneResources& resources) {
  std::unique_ptr<Scene> scene(slot.create());
  placeInSlot(*scene, slot, resources);
  scene->init();
  return scene;
}

void SceneList::clear() {
  while (!scenes_.empty()) scenes_.pop_back();
}

SceneList& SceneList::operator=(SceneList&& other) {
  if (this != &other) {
    clear();
    scenes_ = std::move(other.scenes_);
  }
  return *this;
}

SceneList buildScheduledScenes(const SceneResources& resources, const std::function<bool(const ScheduleSlot&)>& wanted,
                               const std::function<void(const ScheduleSlot&)>& built) {
  SceneList scenes;
  for (const ScheduleSlot& slot : kShowSchedule) {
    if (wanted && !wanted(slot)) continue;
    scenes.add(buildScene(slot, resources));
    if (built) built(slot);
  }
  return scenes;
}

void drawScheduledScenes(const SceneList& scenes, const FrameTime& time, KeyState* keys, KeyPresses* presses) {
  for (const std::unique_ptr<Scene>& scene : scenes) {
    const float t = time.beat;
    if (scene->startTime <= t && t <= scene->endTime) {
      scene->keys = keys;
      scene->presses = presses;
      scene->draw(time);
    }
  }
}
