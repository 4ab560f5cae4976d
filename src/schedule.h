#pragma once

class Scene;

// The show's fixed running order: each scene with its slot in beats (both
// ends inclusive). The Demo and the preview tool build their scenes from it.
struct ScheduleSlot {
  const char* name;
  float startTime;
  float endTime;
  Scene* (*create)();
};

constexpr int kScheduleLength = 8;
extern const ScheduleSlot kShowSchedule[kScheduleLength];
