#include "util/music/modulators/adsr.h"

#include <cmath>

namespace {

// Progress through a phase of `length` beats after `t` beats. A phase of no
// length is over as soon as it begins (rather than 0/0).
float progress(float t, float length) { return length > 0.0f ? t / length : 1.0f; }

}  // namespace

ADSR::ADSR(float attack_, int attackSlope_, float decay_, int decaySlope_, float sustain_, float release_,
           int releaseSlope_)
    : Modulator(-1, KIND_ADSR, 0.0f),
      attack(attack_),
      attackSlope(attackSlope_),
      decay(decay_),
      decaySlope(decaySlope_),
      sustain(sustain_),
      release(release_),
      releaseSlope(releaseSlope_),
      curveBase(250.0f) {}

float ADSR::curve(float x) const { return (std::pow(curveBase, x) - 1.0f) / (curveBase - 1.0f); }

float ADSR::attackLevel(float t) const {
  const float x = progress(t, attack);
  switch (attackSlope) {
    case SLOPE_EXP: return curve(x);
    case SLOPE_EXP_INV: return 1.0f - curve(1.0f - x);
    default: return x;
  }
}

float ADSR::decayLevel(float t) const {
  const float x = progress(t - attack, decay);
  switch (decaySlope) {
    case SLOPE_EXP: return sustain + (1.0f - sustain) * curve(1.0f - x);
    case SLOPE_EXP_INV: return sustain + (1.0f - sustain) * (1.0f - curve(x));
    default: return sustain + (1.0f - sustain) * (1.0f - x);
  }
}

float ADSR::value(float now, float offTime, float onTime) {
  if (onTime > offTime) {
    const float t = now - onTime;
    if (t > attack + decay) return sustain;
    if (t <= attack) return attackLevel(t);
    return decayLevel(t);
  }

  // Released: fall from wherever the envelope was when the note went off.
  const float held = offTime - onTime;
  float level;
  if (held < attack)
    level = attackLevel(held);
  else if (held < attack + decay)
    level = decayLevel(held);
  else
    level = sustain;

  const float r = now - offTime;
  if (r > release) return 0.0f;
  const float x = progress(r, release);
  switch (releaseSlope) {
    case SLOPE_EXP: return level * curve(1.0f - x);
    case SLOPE_EXP_INV: return level * (1.0f - curve(x));
    default: return level * (1.0f - x);
  }
}
