#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "scenes/scene.h"

class Music;
class AsciiEngine;
struct KeyState;
struct KeyPresses;
class TextBigSprite;
class TextDance;
class TextEnding;
class TextFire;
class TextRaster;
class TextSnake;
class TextTalkingV;

// The show's fixed running order: each scene with its slot in beats (both
// ends inclusive). This table is the one place that knows the slots; every
// scene is built from it by the functions below.
struct ScheduleSlot {
  const char* name;
  float startTime;
  float endTime;
  Scene* (*create)();
};

// Makes a scene of class SceneType; made for each class in schedule.cpp.
template <typename SceneType>
Scene* makeScene();

inline constexpr ScheduleSlot kShowSchedule[] = {
    {"TextFire", 0.0f, 44.0f, &makeScene<TextFire>},
    {"TextTalkingV", 44.0f, 108.0f, &makeScene<TextTalkingV>},
    {"TextDance", 108.0f, 178.0f, &makeScene<TextDance>},
    {"TextRaster", 178.0f, 228.0f, &makeScene<TextRaster>},
    {"TextSnake", 228.0f, 324.0f, &makeScene<TextSnake>},
    {"TextBigSprite", 324.0f, 388.0f, &makeScene<TextBigSprite>},
    {"TextEnding", 388.0f, 557.0f, &makeScene<TextEnding>},
    {"TextSnake", 557.0f, 5000.0f, &makeScene<TextSnake>},
};
constexpr int kScheduleLength = static_cast<int>(sizeof kShowSchedule / sizeof kShowSchedule[0]);

// The first slot called `name`; a fatal error when there is none.
const ScheduleSlot& scheduleSlot(const char* name);

// What the scenes borrow from their owner for their whole life.
struct SceneResources {
  Music* music = nullptr;
  AsciiEngine* ascii = nullptr;
  float aspect = 16.0f / 9.0f;
  // The show clock's tick count, read as each scene is built (its init
  // seeds from it); none: 0.
  std::function<uint32_t()> ticks;
};

// Hands a scene its slot, what it borrows and the tick count now; init() is
// left to the caller.
void placeInSlot(Scene& scene, const ScheduleSlot& slot, const SceneResources& resources);

// The scene of one slot, placed and initialised.
std::unique_ptr<Scene> buildScene(const ScheduleSlot& slot, const SceneResources& resources);

// The same for a caller that knows which class the slot makes.
template <typename SceneType>
std::unique_ptr<SceneType> buildScene(const char* name, const SceneResources& resources) {
  std::unique_ptr<Scene> scene = buildScene(scheduleSlot(name), resources);
  SceneType* typed = dynamic_cast<SceneType*>(scene.get());
  if (typed == nullptr) return nullptr;
  scene.release();
  return std::unique_ptr<SceneType>(typed);
}

// Owns scenes in the order they were built and frees the newest first.
class SceneList {
 public:
  SceneList() = default;
  SceneList(SceneList&&) = default;
  SceneList& operator=(SceneList&& other);
  ~SceneList() { clear(); }

  void add(std::unique_ptr<Scene> scene) { scenes_.push_back(std::move(scene)); }
  void clear();
  size_t size() const { return scenes_.size(); }
  Scene& operator[](size_t i) const { return *scenes_[i]; }
  auto begin() const { return scenes_.begin(); }
  auto end() const { return scenes_.end(); }

 private:
  std::vector<std::unique_ptr<Scene>> scenes_;
};

// Builds the scenes of the schedule in its order, each initialised before
// the next is made: scenes share class-wide clocks and the random sequence,
// so the order is part of the show. `wanted` picks slots (all when empty);
// `built` hears of each scene as soon as it is ready.
SceneList buildScheduledScenes(const SceneResources& resources,
                               const std::function<bool(const ScheduleSlot&)>& wanted = nullptr,
                               const std::function<void(const ScheduleSlot&)>& built = nullptr);

// Runs every scene whose slot holds the frame's beat, in schedule order,
// each with the same time and keys.
void drawScheduledScenes(const SceneList& scenes, const FrameTime& time, KeyState* keys, KeyPresses* presses);
