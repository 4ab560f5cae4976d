#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/ascii/rawpicture.h"

class FireEffect;
class Starfield;

// The eight block letters of the logo word over the fire. Mask cells hold
// '.' (no letter), '0'+k (shape of letter k) or 'a'+k (the rest of letter
// k's box). A shown letter lights its shape; a shown and inverted letter
// lights its box around the cut-out shape.
struct LetterMask {
  static constexpr int kFlags = 10;
  char rows[50][81];
  unsigned char shown[kFlags];
  unsigned char inverse[kFlags];

  // The TERMINAL picture with every flag 0.
  void build();
  // Flags by an index computed from the beat: an index outside the flags
  // changes nothing.
  void setShown(double index, unsigned char value);
  void setInverse(double index, unsigned char value);
  void clearInverse();
  void setAllInverse();
  // White blocks on the lit cells; other cells stay as they are.
  void draw(AsciiEngine* engine) const;
};

// The opening: stars, a rising fire, the logo letters appearing, flashing in
// inverse on the beat, two pictures laid over the fire, then the letters
// leaving one by one while the fire dies down.
class TextFire : public Scene {
 public:
  TextFire();
  ~TextFire() override;

  std::unique_ptr<FireEffect> fire;
  std::unique_ptr<Starfield> starfield;
  LetterMask letters;
  RawPicture firstPicture;
  RawPicture secondPicture;

  void init() override;
  void draw(const FrameTime& time) override;
  // One frame at beat position b, tick count now.
  void drawFrame(float b, uint32_t now);

  // Whether b falls in the first quarter of a beat of a flash window.
  static bool isFlash(float b);
};
