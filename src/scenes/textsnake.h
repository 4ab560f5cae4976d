#pragma once

#include <cstdint>
#include <memory>

#include "scenes/scene.h"
#include "util/ascii/rawpicture.h"
#include "util/timing/tickclock.h"

class Starfield;

// Snake on the 48 x 48 field at columns and rows 1..48, with the panel on
// the right. In the show's own slot an automatic player runs under a cycling
// greetings list; after the last scene a title screen lets the viewer pick
// the automatic player (key 1) or play with the cursor keys (key 2).
class TextSnake : public Scene {
 public:
  static constexpr int kMaxSegments = 2500;
  static constexpr int kGreetings = 20;

  enum Direction { kUp = 0, kRight = 1, kDown = 2, kLeft = 3 };
  enum Mode { kTitle = 0, kAutomatic = 1, kViewer = 2 };

  struct Cell {
    int16_t x, y;
  };

  TextSnake();
  ~TextSnake() override;

  RawPicture interfacePicture;
  std::unique_ptr<Starfield> starfield;
  RawPicture facePicture;
  Cell segments[kMaxSegments];  // 0 is the head
  int32_t direction;            // of the last move
  int32_t requestedDirection;   // last chosen by the viewer
  int32_t length;
  int32_t stepRate;  // steps per second
  Cell food;
  int32_t minX, minY, maxX, maxY;
  int32_t score;
  int32_t highScore;
  int32_t lastScore;
  const char* greetings[kGreetings];

  void init() override;
  void draw(const FrameTime& time) override;

  // Game logic, used by draw and by tests.
  void reset(int newLength);
  // Puts the food on a random cell of 1..47 x 1..47 that no segment covers;
  // false (food unchanged) when every such cell is covered.
  bool placeFood();
  bool freeMove(int dir) const;
  // Direction chosen by the automatic player, or -1 when it finds no move.
  int automaticMove();
  // Direction chosen by the viewer: the press a step takes (a KeyState
  // cursor byte, -1 for none) when it is not a reversal, else the held
  // cursor keys; a reversal is ignored.
  int viewerMove(int pressed = -1) const;
  void step(bool automatic);
  // Catches the shared step clock up with `now`, then draws panel and snake.
  void gameFrame(bool automatic, bool menuLines, uint32_t now);
  // Leaving the title screen: a game of five with scores 0, and a step
  // clock that starts with the frame that shows it.
  void startViewersGame();
  void drawPanel(bool menuLines);
  void drawSnake(bool withFood);
  void drawGreetings(int beat);

  // Greetings entry shown at `beat` (changes every 4 beats); -1 when none.
  static int greetingIndex(int beat);

  // Shared by both TextSnake objects for the whole run.
  struct Shared {
    int32_t interactionMode = kTitle;
    TickClock step;
    TickClock titleStart;
  };
  // This show's share, in the state of the screen it draws on.
  static Shared& shared(const AsciiEngine& screen);

 private:
  bool held(int keyByte) const;
};
