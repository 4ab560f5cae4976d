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

const ScheduleSlot kShowSchedule[kScheduleLength] = {
    {"TextFire", 0.0f, 44.0f, []() -> Scene* { return new TextFire; }},
    {"TextTalkingV", 44.0f, 108.0f, []() -> Scene* { return new TextTalkingV; }},
    {"TextDance", 108.0f, 178.0f, []() -> Scene* { return new TextDance; }},
    {"TextRaster", 178.0f, 228.0f, []() -> Scene* { return new TextRaster; }},
    {"TextSnake", 228.0f, 324.0f, []() -> Scene* { return new TextSnake; }},
    {"TextBigSprite", 324.0f, 388.0f, []() -> Scene* { return new TextBigSprite; }},
    {"TextEnding", 388.0f, 557.0f, []() -> Scene* { return new TextEnding; }},
    {"TextSnake", 557.0f, 5000.0f, []() -> Scene* { return new TextSnake; }},
};

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
