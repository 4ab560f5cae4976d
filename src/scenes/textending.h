#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/ascii/rawpicture.h"
#include "util/timing/tickclock.h"

class ParticleFountain;
class FireEffect;
class Plasma;
class FallingBlocks;

// Beats 388..557, the closing sequence in five windows: particle fountain;
// fire with a four-band spectrum analyser; waving picture; plasma with the
// credits; falling blocks over banner 1. Outside them, the spinning face
// with a key hint.
class TextEnding : public Scene {
 public:
  static constexpr int kBands = 4;
  static constexpr int kSpectrumSize = 512;
  static constexpr uint32_t kAnalyserTickMs = 20;

  TextEnding();
  ~TextEnding() override;

  int32_t rowColours[50];
  int32_t bandStarts[kBands];
  int32_t bandWidths[kBands];
  int32_t bandScales[kBands];
  int32_t bandLevels[kBands];
  int32_t levelDecay;
  std::unique_ptr<ParticleFountain> particles;
  std::unique_ptr<FireEffect> fire;
  RawPicture wavePicture;
  std::unique_ptr<Plasma> plasma;
  RawPicture creditPictures[2];  // "code", "music"
  RawPicture personPictures[2];  // the coder, the musician
  std::unique_ptr<FallingBlocks> blocks;
  RawPicture face;

  void init() override;
  void draw(const FrameTime& time) override;

  // The parts of a frame, used by draw and by tests.
  void drawAnalyser(const FrameTime& time);
  void drawWave(uint32_t now);
  void drawCredits(float b, uint32_t now);
  void drawFallback(uint32_t now);

  // Class-wide state, live for the whole run.
  struct Shared {
    float spectrum[kSpectrumSize];
    TickClock analyserStep;
    TickClock waveStart;
    TickClock fallbackStart;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);
};
