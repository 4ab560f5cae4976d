#pragma once

#include <cstdint>

#include "util/timing/tickclock.h"

class AsciiEngine;

// Four-cell pieces that fall one after another down a single column and
// stack up, on a 40 ms tick clock shared by every FallingBlocks of a show.
class FallingBlocks {
 public:
  static constexpr int kPieces = 18;
  static constexpr uint32_t kTickMs = 40;

  struct Piece {
    int32_t x;          // in blocks
    int32_t fallCount;  // rows fallen so far
    int32_t colour;
    int32_t height;     // in blocks
    int32_t blockX[4];
    int32_t blockY[4];
  };

  explicit FallingBlocks(AsciiEngine* engine);

  int32_t originX;       // columns
  int32_t originY;       // rows
  int32_t landingLevel;  // rows a piece may still fall
  int32_t current;       // index of the falling piece
  int32_t blockWidth;
  int32_t blockHeight;
  AsciiEngine* engine;
  Piece pieces[kPieces];

  // Runs every tick due on the shared clock, then draws pieces 0..current.
  void advanceAndDraw(uint32_t now);

  struct Shared {
    TickClock step;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

 private:
  void tick();
  void drawPiece(const Piece& piece);
};
