#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/ascii/rawpicture.h"

class Rotozoom;

// A 300 x 80 picture drifting across the screen with the music over a
// spinning, zooming rotozoom.
class TextBigSprite : public Scene {
 public:
  TextBigSprite();
  ~TextBigSprite() override;

  std::unique_ptr<Rotozoom> rotozoom;
  RawPicture bigPicture;

  void init() override;
  void draw(const FrameTime& time) override;
  // One frame at beat position b, tick count now.
  void drawFrame(float b, uint32_t now);

  // The picture element shown in the top-left cell at beat position b.
  static int offsetX(float b);
  static int offsetY(float b);
};
