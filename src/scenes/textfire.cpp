#include "scenes/textfire.h"

#include <cmath>
#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/ascii/fire.h"
#include "util/ascii/starfield.h"

namespace {

// TERMINAL: boxes 10, 11, 10, 13, 4, 12, 9 and 11 columns wide on rows 5..17.
const char* const kLetterRows[50] = {
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "aaaaaaaaaabbbbbbbbbbbccccccccccdddddddddddddeeeeffffffffffffggggggggghhhhhhhhhhh",
    "a00000000ab111111111bc2222222ccd33ddddddd33de44ef555fffff55fggg666gggh77hhhhhhhh",
    "a00000000ab111111111bc22222222cd333ddddd333de44ef5555ffff55fgg66666ggh77hhhhhhhh",
    "aaaa00aaaab11bbbbbbbbc22cccc22cd3333ddd3333de44ef5555ffff55fg66ggg66gh77hhhhhhhh",
    "aaaa00aaaab11bbbbbbbbc22cccc22cd33d33d33d33de44ef55f55fff55fg66ggg66gh77hhhhhhhh",
    "aaaa00aaaab1111111bbbc22222222cd33dd333dd33de44ef55f55fff55fg66ggg66gh77hhhhhhhh",
    "aaaa00aaaab1111111bbbc2222222ccd33ddd3ddd33de44ef55ff55ff55fg6666666gh77hhhhhhhh",
    "aaaa00aaaab11bbbbbbbbc22cc22cccd33ddddddd33de44ef55fff55f55fg6666666gh77hhhhhhhh",
    "aaaa00aaaab11bbbbbbbbc22ccc22ccd33ddddddd33de44ef55fff55f55fg66ggg66gh77hhhhhhhh",
    "aaaa00aaaab11bbbbbbbbc22ccc22ccd33ddddddd33de44ef55ffff5555fg66ggg66gh77hhhhhhhh",
    "aaaa00aaaab111111111bc22cccc22cd33ddddddd33de44ef55ffff5555fg66ggg66gh777777777h",
    "aaaa00aaaab111111111bc22cccc22cd33ddddddd33de44ef55fffff555fg66ggg66gh777777777h",
    "aaaaaaaaaabbbbbbbbbbbccccccccccdddddddddddddeeeeffffffffffffggggggggghhhhhhhhhhh",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
    "................................................................................",
};


}  // namespace

void LetterMask::build() {
  for (int r = 0; r < 50; ++r) std::memcpy(rows[r], kLetterRows[r], 81);
  std::memset(shown, 0, sizeof shown);
  std::memset(inverse, 0, sizeof inverse);
}

namespace {
void setFlag(unsigned char* flags, double index, unsigned char value) {
  if (index >= 0.0 && index < LetterMask::kFlags) flags[static_cast<int>(index)] = value;
}
}  // namespace

void LetterMask::setShown(double index, unsigned char value) { setFlag(shown, index, value); }

void LetterMask::setInverse(double index, unsigned char value) { setFlag(inverse, index, value); }

void LetterMask::clearInverse() { std::memset(inverse, 0, sizeof inverse); }

void LetterMask::setAllInverse() { std::memset(inverse, 1, sizeof inverse); }

void LetterMask::draw(AsciiEngine* engine) const {
  for (int r = 0; r < 50; ++r) {
    for (int c = 0; c < 80; ++c) {
      const char ch = rows[r][c];
      bool lit = false;
      if (ch >= '0' && ch <= '9') {
        const int k = ch - '0';
        lit = shown[k] != 0 && inverse[k] == 0;
      } else if (ch >= 'a' && ch <= 'z') {
        const int k = ch - 'a';
        lit = k < kFlags && shown[k] != 0 && inverse[k] != 0;
      }
      if (lit) engine->setCell(c, r, kFullBlock, kWhite, kBlack);
    }
  }
}

TextFire::TextFire() : letters() {}

TextFire::~TextFire() = default;

void TextFire::init() {
  firstPicture.load(ascii, 80, 50, "data/textfire/glimmerbay.raw");
  secondPicture.load(ascii, 80, 50, "data/textfire/2006.raw");
  fire.reset(new FireEffect(ascii, initTicks));
  fire->cooling = 3.5;
  fire->coolingTarget = 0.03f;
  fire->coolingRate = 0.014f;
  starfield.reset(new Starfield(ascii));
  letters.build();
}

void TextFire::draw(const FrameTime& time) { drawFrame(time.beat, time.ticks); }

bool TextFire::isFlash(float b) {
  const bool inWindow = (b >= 12 && b < 13) || (b >= 20 && b < 22) || (b >= 28 && b < 29) ||
                        (b >= 36 && b < 37);
  return inWindow && static_cast<int>(4 * b) % 4 < 1;
}

void TextFire::drawFrame(float b, uint32_t now) {
  if (isFlash(b)) {
    ascii->fillWhite();
    ascii->present();
    return;
  }

  ascii->clear();
  starfield->update(now);

  if (b > 10) {
    if (b > 39) fire->stopped = 1;
    fire->update(b < 28 ? -1 : kSmallSquare, now);
  }

  const double whole = std::trunc(static_cast<double>(b));
  if (b < 12) {
    // the stage is empty
  } else if (b < 18) {
    letters.setShown(whole - 12, 1);
  } else if (b < 19) {
    // Letter 6 from beat 18, letter 7 from 18.5.
    const int quarters = static_cast<int>(-4 * b);
    letters.setShown(6 - (3 * quarters + 216) / 4, 1);
  } else if (b < 20) {
    // the letters stand
  } else if (b < 26) {
    letters.clearInverse();
    if (b < 21) {
      letters.setAllInverse();
    } else {
      letters.setInverse(whole - 21, 1);
    }
  } else if (b < 28) {
    // At exactly 26 the inversion of beat 25 stays.
    if (b > 26) {
      letters.clearInverse();
      letters.setInverse(5, 1);
    }
    if (b > 26.75f) {
      letters.clearInverse();
      letters.setInverse(6, 1);
    }
    if (b > 27.5f) {
      letters.clearInverse();
      letters.setInverse(7, 1);
    }
  } else if (b < 36) {
    letters.clearInverse();
    firstPicture.draw(kFullBlock, 0, 0);
  } else {
    letters.setShown(whole - 36, 0);
    letters.clearInverse();
    firstPicture.draw(kFullBlock, 0, 0);
    secondPicture.draw(kFullBlock, 0, 0);
  }

  letters.draw(ascii);
  ascii->present();
}
