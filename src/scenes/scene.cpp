#include "scenes/scene.h"

Scene::Scene()
    : startTime(-10.0f),
      endTime(5000.0f),
      keys(nullptr),
      presses(nullptr),
      music(nullptr),
      ascii(nullptr),
      aspect(16.0f / 9.0f),
      initTicks(0) {}
