#include "util/ascii/fallingblocks.h"

#include "util/ascii/asciiengine.h"

FallingBlocks::Shared& FallingBlocks::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

struct PieceType {
  int32_t cells[4][2];
  int32_t height;
  int32_t colour;
};

constexpr PieceType kTypes[4] = {
    {{{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 1, kLightBlue},   // bar
    {{{0, 0}, {1, 0}, {2, 0}, {1, 1}}, 2, kLightGreen},  // T
    {{{0, 0}, {1, 0}, {1, 1}, {2, 1}}, 2, kLightRed},    // Z
    {{{0, 0}, {1, 0}, {2, 0}, {0, 1}}, 2, kYellow},      // L
};

constexpr int kOrder[FallingBlocks::kPieces] = {0, 1, 2, 3, 1, 3, 0, 2, 1, 3, 2, 3, 0, 1, 3, 2, 1, 0};
}  // namespace

FallingBlocks::FallingBlocks(AsciiEngine* engine)
    : originX(6), originY(1), landingLevel(44), current(0), blockWidth(3), blockHeight(2), engine(engine) {
  for (int i = 0; i < kPieces; ++i) {
    const PieceType& type = kTypes[kOrder[i]];
    Piece& piece = pieces[i];
    piece.x = 2;
    piece.fallCount = 0;
    piece.colour = type.colour;
    piece.height = type.height;
    for (int c = 0; c < 4; ++c) {
      piece.blockX[c] = type.cells[c][0];
      piece.blockY[c] = type.cells[c][1];
    }
  }
}

void FallingBlocks::tick() {
  Piece& piece = pieces[current];
  const int32_t rows = blockHeight * piece.height;
  if (landingLevel >= rows + piece.fallCount) {
    ++piece.fallCount;
  } else if (current + 2 <= kPieces) {
    // The piece has landed: the next one starts from the top. The last
    // piece never hands over.
    landingLevel -= rows;
    ++current;
  }
}

void FallingBlocks::drawPiece(const Piece& piece) {
  const int colour = piece.colour;
  for (int c = 0; c < 4; ++c) {
    const int left = (piece.blockX[c] + piece.x) * blockWidth + originX;
    const int top = piece.blockY[c] * blockHeight + piece.fallCount + originY;
    for (int dy = 0; dy < blockHeight; ++dy)
      for (int dx = 0; dx < blockWidth; ++dx) engine->setCell(left + dx, top + dy, kSmallSquare, colour, colour - kBrightOffset);
  }
}

void FallingBlocks::advanceAndDraw(uint32_t now) {
  shared(*engine).step.catchUp(now, kTickMs, [this] { tick(); });
  for (int i = 0; i <= current; ++i) drawPiece(pieces[i]);
}
