#include "schedule.h"

#include "scenes/beatnumber.h"
#include "scenes/textending.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"

namespace {
template <const char* kLabel>
Scene* createStandIn() {
  return new BeatNumberScene(kLabel);
}
constexpr char kFire[] = "TextFire";
constexpr char kTalking[] = "TextTalkingV";
constexpr char kDance[] = "TextDance";
constexpr char kBigSprite[] = "TextBigSprite";
}  // namespace

const ScheduleSlot kShowSchedule[kScheduleLength] = {
    {"TextFire", 0.0f, 44.0f, createStandIn<kFire>},
    {"TextTalkingV", 44.0f, 108.0f, createStandIn<kTalking>},
    {"TextDance", 108.0f, 178.0f, createStandIn<kDance>},
    {"TextRaster", 178.0f, 228.0f, []() -> Scene* { return new TextRaster; }},
    {"TextSnake", 228.0f, 324.0f, []() -> Scene* { return new TextSnake; }},
    {"TextBigSprite", 324.0f, 388.0f, createStandIn<kBigSprite>},
    {"TextEnding", 388.0f, 557.0f, []() -> Scene* { return new TextEnding; }},
    {"TextSnake", 557.0f, 5000.0f, []() -> Scene* { return new TextSnake; }},
};
