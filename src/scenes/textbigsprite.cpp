#include "scenes/textbigsprite.h"

#include <cmath>

#include "util/ascii/asciiengine.h"
#include "util/ascii/rotozoom.h"

TextBigSprite::TextBigSprite() = default;

TextBigSprite::~TextBigSprite() = default;

void TextBigSprite::init() {
  rotozoom.reset(new Rotozoom(ascii, "data/textbigsprite/tavors.raw"));
  bigPicture.load(ascii, 300, 80, "data/textbigsprite/tavorlin.raw");
}

void TextBigSprite::draw(const FrameTime& time) { drawFrame(time.beat, time.ticks); }

// 0..220 and 0..30: exactly the picture's size minus the screen's.
int TextBigSprite::offsetX(float b) { return static_cast<int>((std::sin(0.5f * b) + 1.0f) * 110.0f); }

int TextBigSprite::offsetY(float b) {
  return static_cast<int>((std::cos(0.70422536f * b) + 1.0f) * 15.0f);
}

void TextBigSprite::drawFrame(float b, uint32_t now) {
  ascii->clear();
  rotozoom->drawAndAdvance(now);
  bigPicture.draw(kFullBlock, offsetX(b), offsetY(b));
  ascii->present();
}
