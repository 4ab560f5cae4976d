#pragma once

#include "scenes/scene.h"

// Stand-in for scenes still being written: shows the slot name and the beat.
class BeatNumberScene : public Scene {
 public:
  explicit BeatNumberScene(const char* label) : label_(label) {}
  void init() override {}
  void draw() override;

 private:
  const char* label_;
};
