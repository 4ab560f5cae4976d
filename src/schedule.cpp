#include "schedule.h"

#include "scenes/textbigsprite.h"
#include "scenes/textdance.h"
#include "scenes/textending.h"
#include "scenes/textfire.h"
#include "scenes/textraster.h"
#include "scenes/textsnake.h"
#include "scenes/texttalkingv.h"

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
