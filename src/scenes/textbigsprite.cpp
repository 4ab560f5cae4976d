#include "scenes/textbigsprite.h"

#include <cmath>

#include "platform/ticks.h"
#include "util/ascii/asciiengine.h"
#include "util/ascii/rotozoom.h"
#include "util/music/music.h"

TextBigSprite::TextBigSprite() : rotozoom(nullptr) {}

TextBigSprite::~TextBigSprite() { delete rotozoom; }

void TextBigSprite::init() {
  rotozoom = new Rotozoom(ascii, "data/textbigsprite/tavors.raw");
  bigPicture.load(ascii, 300, 80, "data/textbigsprite/tavorlin.raw");
}

void TextBigSprite::draw() { drawFrame(music->beatTime()); }

// 0..220 and 0..30: exactly the picture's size minus the screen's.
int TextBigSprite::offsetX(float b) { return static_cast<int>((std::sin(0.5f * b) + 1.0f) * 110.0f); }

int TextBigSprite::offsetY(float b) {
  return static_cast<int>((std::cos(0.70422536f * b) + 1.0f) * 15.0f);
}

void TextBigSprite::drawFrame(float b) {
  ascii->clear();
  rotozoom->drawAndAdvance(platform::getTickCount());
  bigPicture.draw(kFullBlock, offsetX(b), offsetY(b));
  ascii->present();
}
