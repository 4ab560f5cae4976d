#include "scenes/beatnumber.h"

#include <cstdio>

#include "util/ascii/asciiengine.h"
#include "util/music/music.h"

void BeatNumberScene::draw() {
  ascii->clear();
  char text[80];
  std::snprintf(text, sizeof text, "%s  beat %.2f", label_, static_cast<double>(music->beatTime()));
  for (int i = 0; text[i]; ++i) ascii->setCell(30 + i, 25, static_cast<unsigned char>(text[i]), 15, 1);
  ascii->present();
}
