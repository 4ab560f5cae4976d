// The Snake scene: its game rules, both players, the shared step clock and
// the windows it shows by beat.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "util/random.h"
#include "scenes_b_support.h"
#include "support/test_archive.h"

using scenes_b_test::ManualClock;
using scenes_b_test::SceneRig;

namespace {

using Cell = TextSnake::Cell;

// A snake laid out by hand; food far away unless given.
void layOut(TextSnake& snake, std::initializer_list<Cell> cells, Cell food = Cell{47, 47}) {
  snake.length = 0;
  for (const Cell& c : cells) snake.segments[snake.length++] = c;
  snake.food = food;
}

// A snake outside a scene, on a screen of its own whose random sequence
// starts at `seed`.
struct LoneSnake {
  explicit LoneSnake(unsigned seed = util::kFirstSeed) : screen(nullptr) {
    screen.state().random.seed(seed);
    snake.ascii = &screen;
  }
  AsciiEngine screen;
  TextSnake snake;
};

bool onSnake(const TextSnake& snake, Cell cell) {
  for (int i = 0; i < snake.length; ++i)
    if (snake.segments[i].x == cell.x && snake.segments[i].y == cell.y) return true;
  return false;
}

TEST(TextSnakeGame, ResetStartsAStraightSnakeAndKeepsTheScores) {
  LoneSnake lone(7);
  TextSnake& snake = lone.snake;
  snake.score = 120;
  snake.highScore = 80;
  snake.reset(5);
  EXPECT_EQ(snake.lastScore, 120);
  EXPECT_EQ(snake.highScore, 120);
  EXPECT_EQ(snake.score, 0);
  EXPECT_EQ(snake.length, 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(snake.segments[i].x, 24);
    EXPECT_EQ(snake.segments[i].y, 24 + i);
  }
  EXPECT_EQ(snake.direction, TextSnake::kUp);
  EXPECT_EQ(snake.requestedDirection, TextSnake::kUp);

  // A lower score leaves the high score alone.
  snake.score = 30;
  snake.reset(1);
  EXPECT_EQ(snake.lastScore, 30);
  EXPECT_EQ(snake.highScore, 120);
  EXPECT_EQ(snake.length, 1);

  // Food lands on 1..47 on both axes, never on the snake.
  std::set<int> xs, ys;
  for (int i = 0; i < 3000; ++i) {
    snake.reset(5);
    ASSERT_GE(snake.food.x, 1);
    ASSERT_LE(snake.food.x, 47);
    ASSERT_GE(snake.food.y, 1);
    ASSERT_LE(snake.food.y, 47);
    ASSERT_FALSE(onSnake(snake, snake.food));
    xs.insert(snake.food.x);
    ys.insert(snake.food.y);
  }
  EXPECT_EQ(xs.size(), 47u);
  EXPECT_EQ(ys.size(), 47u);
}

TEST(TextSnakeGame, FreeMoveKeepsToTheFieldAndCountsTheTailAsBlocked) {
  LoneSnake lone;
  TextSnake& snake = lone.snake;
  // Head (10,10) with the body curling round to the tail at (10,11).
  layOut(snake, {{10, 10}, {11, 10}, {11, 11}, {10, 11}});
  EXPECT_FALSE(snake.freeMove(TextSnake::kDown));   // the tail is still there
  EXPECT_FALSE(snake.freeMove(TextSnake::kRight));  // body
  EXPECT_TRUE(snake.freeMove(TextSnake::kLeft));
  EXPECT_TRUE(snake.freeMove(TextSnake::kUp));

  layOut(snake, {{1, 48}});
  EXPECT_FALSE(snake.freeMove(TextSnake::kLeft));  // column 0 is outside
  EXPECT_FALSE(snake.freeMove(TextSnake::kDown));  // row 49 is outside
  EXPECT_TRUE(snake.freeMove(TextSnake::kUp));
  layOut(snake, {{48, 1}});
  EXPECT_FALSE(snake.freeMove(TextSnake::kRight));
  EXPECT_FALSE(snake.freeMove(TextSnake::kUp));
  EXPECT_TRUE(snake.freeMove(TextSnake::kLeft));
}

TEST(TextSnakeGame, AutomaticPlayerTriesRightLeftDownUpThenRandom) {
  LoneSnake lone;
  TextSnake& snake = lone.snake;
  layOut(snake, {{10, 10}, {10, 11}}, Cell{20, 20});
  EXPECT_EQ(snake.automaticMove(), TextSnake::kRight);
  layOut(snake, {{10, 10}, {11, 10}}, Cell{20, 20});  // right blocked
  EXPECT_EQ(snake.automaticMove(), TextSnake::kDown);
  layOut(snake, {{10, 10}, {10, 11}}, Cell{5, 20});
  EXPECT_EQ(snake.automaticMove(), TextSnake::kLeft);
  layOut(snake, {{10, 10}, {10, 11}}, Cell{10, 5});
  EXPECT_EQ(snake.automaticMove(), TextSnake::kUp);
  // Food straight below, the way down blocked: a random free direction.
  layOut(snake, {{10, 10}, {10, 11}}, Cell{10, 20});
  for (int seed = 0; seed < 20; ++seed) {
    lone.screen.state().random.seed(seed);
    const int d = snake.automaticMove();
    EXPECT_TRUE(d == TextSnake::kLeft || d == TextSnake::kRight || d == TextSnake::kUp) << d;
  }
  // A snake of length 1 may turn straight back towards the food.
  layOut(snake, {{10, 10}}, Cell{10, 20});
  snake.direction = TextSnake::kUp;
  EXPECT_EQ(snake.automaticMove(), TextSnake::kDown);
}

TEST(TextSnakeGame, EatingScoresAtTheNextStepAndGrowsAtTheTail) {
  LoneSnake lone(3);
  TextSnake& snake = lone.snake;
  snake.reset(5);
  snake.food = Cell{24, 23};  // right in front of the head

  snake.step(true);  // moves onto the food
  EXPECT_EQ(snake.segments[0].y, 23);
  EXPECT_EQ(snake.score, 0);
  EXPECT_EQ(snake.length, 5);
  const Cell tail = snake.segments[4];

  // The head stands on the food: the next step eats it.
  snake.food = snake.segments[0];
  snake.step(true);
  EXPECT_EQ(snake.score, 5 + 10);
  EXPECT_EQ(snake.length, 10);
  EXPECT_FALSE(onSnake(snake, snake.food));
  // The five new segments sit on the old tail cell and unfold one per step.
  for (int i = 5; i < 10; ++i) {
    EXPECT_EQ(snake.segments[i].x, tail.x);
    EXPECT_EQ(snake.segments[i].y, tail.y);
  }
  for (int s = 0; s < 4; ++s) {
    snake.food = Cell{47, 1};
    snake.step(true);
    EXPECT_EQ(snake.segments[9].x, tail.x);
    EXPECT_EQ(snake.segments[9].y, tail.y);
  }
}

TEST(TextSnakeGame, ViewerKeysTurnEveryStepButNeverReverse) {
  KeyState keys{};
  LoneSnake lone;
  TextSnake& snake = lone.snake;
  snake.keys = &keys;
  lone.screen.state().random.seed(1);
  snake.reset(5);  // heading up

  keys.down[4] = 1;  // down: a reversal, ignored
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kUp);
  EXPECT_EQ(snake.segments[0].y, 23);

  keys.down[4] = 0;
  keys.down[2] = 1;  // right, held: acts at every step
  snake.step(false);
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kRight);
  EXPECT_EQ(snake.segments[0].x, 26);

  // Up and left held while heading right: left comes later in the order but
  // reverses the last move, so up wins.
  keys.down[2] = 0;
  keys.down[3] = 1;
  keys.down[1] = 1;
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kUp);
  // Now heading up, the same keys give left (later in the order).
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kLeft);

  // No key: keep going.
  keys = KeyState{};
  const int x = snake.segments[0].x;
  snake.step(false);
  EXPECT_EQ(snake.segments[0].x, x - 1);
}

// Taps shorter than a step: each press is taken by one step, in the order
// pressed, and outranks the held keys; a reversal falls back to them.
TEST(TextSnakeGame, PressesTurnOnTheNextStepsInOrder) {
  KeyState keys{};
  KeyPresses presses{};
  LoneSnake lone;
  TextSnake& snake = lone.snake;
  snake.keys = &keys;
  snake.presses = &presses;
  lone.screen.state().random.seed(1);
  snake.reset(5);  // heading up from (24, 24)

  // Right then down, both released before the next step.
  recordPress(presses, kKeyRight, true);
  recordPress(presses, kKeyRight, false);
  recordPress(presses, kKeyDown, true);
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kRight);
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kDown);
  EXPECT_EQ(snake.segments[0].x, 25);
  EXPECT_EQ(snake.segments[0].y, 25);
  snake.step(false);  // nothing queued or held: straight on
  EXPECT_EQ(snake.direction, TextSnake::kDown);
  EXPECT_EQ(presses.count, 0);

  // A queued press beats a held key; a reversing press is used up and the
  // held key decides.
  keys.down[kKeyRight] = 1;
  recordPress(presses, kKeyLeft, true);
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kLeft);
  recordPress(presses, kKeyRight, true);  // reverses the move to the left
  keys.down[kKeyRight] = 0;
  keys.down[kKeyUp] = 1;
  snake.step(false);
  EXPECT_EQ(snake.direction, TextSnake::kUp);
  EXPECT_EQ(presses.count, 0);
}

TEST(KeyPressQueue, KeepsCursorPressesOnlyAndDropsPastItsCapacity) {
  KeyPresses presses{};
  recordPress(presses, kKeyDigit1, true);
  recordPress(presses, kKeyUp, false);
  EXPECT_EQ(-1, takePress(presses));
  for (int i = 0; i < KeyPresses::kCapacity + 3; ++i) recordPress(presses, kKeyLeft + i % 4, true);
  EXPECT_EQ(KeyPresses::kCapacity, presses.count);
  for (int i = 0; i < KeyPresses::kCapacity; ++i) EXPECT_EQ(kKeyLeft + i % 4, takePress(presses));
  EXPECT_EQ(-1, takePress(presses));
}

TEST(TextSnakeGame, BlockedMovesEndTheGameWithANewSnakeOfLengthOne) {
  KeyState keys{};
  LoneSnake lone;
  TextSnake& snake = lone.snake;
  snake.keys = &keys;
  lone.screen.state().random.seed(5);
  // The viewer steers into the top wall.
  layOut(snake, {{5, 1}, {5, 2}, {5, 3}});
  snake.direction = snake.requestedDirection = TextSnake::kUp;
  snake.score = 42;
  snake.step(false);
  EXPECT_EQ(snake.length, 1);
  EXPECT_EQ(snake.lastScore, 42);
  EXPECT_EQ(snake.highScore, 42);
  EXPECT_EQ(snake.segments[0].x, 24);
  EXPECT_EQ(snake.segments[0].y, 24);

  // The automatic player boxed into a corner finds no move.
  layOut(snake, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}, Cell{30, 30});
  snake.score = 7;
  EXPECT_EQ(snake.automaticMove(), -1);
  snake.step(true);
  EXPECT_EQ(snake.length, 1);
  EXPECT_EQ(snake.lastScore, 7);
}

TEST(TextSnakeGame, AFullFieldEndsTheGameInsteadOfSearchingForeverForFood) {
  LoneSnake lone(11);
  TextSnake& snake = lone.snake;
  // The snake covers every food cell (1..47 x 1..47), snaking row by row.
  snake.length = 0;
  for (int y = 1; y <= 47; ++y)
    for (int i = 0; i < 47; ++i) {
      const int x = (y % 2) ? 47 - i : 1 + i;
      snake.segments[snake.length++] = Cell{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    }
  EXPECT_FALSE(snake.placeFood());

  // Eating the last free food: the game is over and a new one starts.
  snake.food = snake.segments[0];
  snake.score = 100;
  snake.step(true);
  EXPECT_EQ(snake.lastScore, 100 + 47 * 47 + 10);
  EXPECT_EQ(snake.length, 1);
  EXPECT_TRUE(snake.food.x != 24 || snake.food.y != 24);

  // One free cell left: food finds it.
  snake.length = 47 * 47;
  for (int y = 1, n = 0; y <= 47; ++y)
    for (int x = 1; x <= 47; ++x, ++n)
      snake.segments[n] = Cell{static_cast<int16_t>(x), static_cast<int16_t>(y)};
  snake.segments[100] = Cell{48, 48};  // frees (7, 3)
  ASSERT_TRUE(snake.placeFood());
  EXPECT_EQ(snake.food.x, 7);
  EXPECT_EQ(snake.food.y, 3);
}

TEST(TextSnakeGame, GrowthStopsAtTheSegmentStore) {
  LoneSnake lone(2);
  TextSnake& snake = lone.snake;
  snake.length = TextSnake::kMaxSegments - 2;
  for (int i = 0; i < snake.length; ++i) snake.segments[i] = Cell{48, 48};  // piled up outside the food area
  snake.segments[0] = Cell{24, 24};
  snake.food = Cell{24, 24};
  snake.step(true);
  EXPECT_EQ(snake.length, TextSnake::kMaxSegments);
  snake.food = snake.segments[0];
  snake.step(true);
  EXPECT_EQ(snake.length, TextSnake::kMaxSegments);
}

TEST(TextSnakeGame, StepClockRunsEveryDueStepAtThePlayersRate) {
  ManualClock clock(1000);
  AsciiEngine engine(nullptr);
  KeyState keys{};
  TextSnake snake;
  snake.ascii = &engine;
  snake.keys = &keys;
  engine.state().random.seed(9);
  snake.reset(5);
  snake.food = Cell{24, 2};  // straight up, 22 cells away

  snake.gameFrame(true, false, 1000);  // starts the clock, one step due
  EXPECT_EQ(snake.segments[0].y, 23);
  snake.gameFrame(true, false, 1019);
  EXPECT_EQ(snake.segments[0].y, 23);
  snake.gameFrame(true, false, 1100);  // steps at 1020..1100: 5
  EXPECT_EQ(snake.segments[0].y, 18);
  EXPECT_EQ(snake.stepRate, 50);

  // The viewer's snake of length 5 moves every 100 ms.
  snake.gameFrame(false, true, 1300);  // due at 1120, then 1220
  EXPECT_EQ(snake.segments[0].y, 16);
  EXPECT_EQ(snake.stepRate, 10);
  EXPECT_EQ(TextSnake::shared(engine).step.time, 1320u);
}

TEST(TextSnakeGame, GreetingIndexChangesEveryFourBeatsAndStaysInTheList) {
  EXPECT_EQ(TextSnake::greetingIndex(260), 5);
  EXPECT_EQ(TextSnake::greetingIndex(244), 1);
  EXPECT_EQ(TextSnake::greetingIndex(556), 19);
  EXPECT_EQ(TextSnake::greetingIndex(320), 0);
  EXPECT_EQ(TextSnake::greetingIndex(-4), -1);
  EXPECT_EQ(TextSnake::greetingIndex(2000000000), 0);
  for (int beat = 0; beat < 4000; ++beat) {
    const int i = TextSnake::greetingIndex(beat);
    ASSERT_TRUE(i >= 0 && i < TextSnake::kGreetings);
  }
}

// The scene as the Demo runs it, from a test archive.
class TextSnakeScene : public ::testing::Test {
 protected:
  TextSnakeScene()
      : archive_({{"data/textsnake/snakeinterface.raw",
                   scenes_b_test::rawPicture(80, 50, [](int x, int) { return x == 0 || x >= 49 ? 2 : 0; })},
                  {"data/texttalkingv/vexmask.raw",
                   scenes_b_test::rawPicture(80, 50, [](int x, int y) {
                     return (x - 40) * (x - 40) + 4 * (y - 25) * (y - 25) < 400 ? 5 : 0;
                   })}}) {
    rig_.attach(snake_, "TextSnake");
    rig_.engine.state().random.seed(4);
    snake_.init();
  }

  void frameAt(double beat, uint32_t now) {
    clock_.set(now);
    rig_.setBeat(beat);
    snake_.draw(readFrameTime(*snake_.music));
  }

  ManualClock clock_{50000};
  TestArchive archive_;
  SceneRig rig_;
  TextSnake snake_;
};

TEST_F(TextSnakeScene, InitFillsTheGreetingsAndStartsAGameOfFive) {
  EXPECT_EQ(snake_.length, 5);
  EXPECT_EQ(snake_.score, 0);
  EXPECT_EQ(snake_.highScore, 0);
  std::set<std::string> names;
  for (const char* name : snake_.greetings) {
    ASSERT_NE(name, nullptr);
    const std::string s(name);
    EXPECT_GE(s.size(), 3u);
    EXPECT_LE(s.size(), 20u);
    for (char c : s) EXPECT_TRUE((c >= 'A' && c <= 'Z') || c == ' ' || (c >= '0' && c <= '9')) << s;
    names.insert(s);
  }
  EXPECT_EQ(names.size(), 20u);
}

TEST_F(TextSnakeScene, ShowWindowsByBeat) {
  // 228..243: panel only, the game reset every frame.
  snake_.length = 17;
  snake_.score = 99;
  frameAt(230.5, 50000);
  EXPECT_EQ(snake_.length, 5);
  EXPECT_EQ(snake_.lastScore, 99);
  EXPECT_EQ(rig_.text(61, 3, 5), "SIZE:");
  EXPECT_EQ(rig_.text(67, 3, 1), "5");
  EXPECT_EQ(rig_.fg(61, 3), 15);
  EXPECT_EQ(rig_.bg(61, 3), 2);
  EXPECT_EQ(rig_.text(60, 4, 6), "SCORE:");
  EXPECT_EQ(rig_.shown(55, 6, "LAST SCORE:"), "LAST SCORE:");
  EXPECT_EQ(rig_.text(67, 6, 2), "99");
  EXPECT_EQ(rig_.shown(55, 7, "HIGH SCORE:"), "HIGH SCORE:");
  EXPECT_EQ(rig_.text(67, 7, 2), "99");
  EXPECT_NE(rig_.ch(24, 24), 2);  // no snake yet
  EXPECT_NE(rig_.shown(56, 15, "GREETS TO:"), "GREETS TO:");
  EXPECT_EQ(rig_.ch(79, 10), 219);  // the interface picture
  EXPECT_EQ(rig_.fg(79, 10), 2);
  EXPECT_FALSE(TextSnake::shared(rig_.engine).step.started);

  // 244..259: the snake stands still without food, greetings run.
  frameAt(250.2, 51000);
  EXPECT_EQ(rig_.ch(24, 24), 2);
  EXPECT_EQ(rig_.fg(24, 24), 14);
  EXPECT_EQ(rig_.ch(24, 25), 254);
  EXPECT_EQ(rig_.fg(24, 25), 2);
  EXPECT_EQ(rig_.bg(24, 25), 10);
  EXPECT_NE(rig_.ch(snake_.food.x, snake_.food.y), 3);
  EXPECT_EQ(rig_.shown(56, 15, "GREETS TO:"), "GREETS TO:");
  const std::string third(snake_.greetings[2]);
  EXPECT_EQ(rig_.text(57, 16, static_cast<int>(third.size())), third);
  EXPECT_FALSE(TextSnake::shared(rig_.engine).step.started);
  EXPECT_EQ(rig_.text(53, 24, 16).find("AI"), std::string::npos);

  // From 260 the automatic player runs; greetings entry (260 / 4) mod 20 = 5.
  frameAt(260.0, 52000);
  EXPECT_TRUE(TextSnake::shared(rig_.engine).step.started);
  EXPECT_FALSE(snake_.segments[0].x == 24 && snake_.segments[0].y == 24);
  EXPECT_EQ(rig_.ch(snake_.food.x, snake_.food.y), 3);
  EXPECT_EQ(rig_.fg(snake_.food.x, snake_.food.y), 12);
  const std::string sixth(snake_.greetings[5]);
  EXPECT_EQ(rig_.text(57, 16, static_cast<int>(sixth.size())), sixth);
  EXPECT_EQ(TextSnake::shared(rig_.engine).interactionMode, TextSnake::kTitle);
  EXPECT_FALSE(TextSnake::shared(rig_.engine).titleStart.started);
}

TEST_F(TextSnakeScene, TitleScreenThenTheDigitKeysPickThePlayer) {
  frameAt(557.0, 60000);
  EXPECT_EQ(rig_.shown(0, 49, "( 1,2 - Snake, ESC - Quit )"), "( 1,2 - Snake, ESC - Quit )");
  EXPECT_EQ(rig_.fg(2, 49), 4);
  EXPECT_EQ(rig_.bg(2, 49), 0);
  EXPECT_EQ(rig_.ch(1, 49), 0);  // the blank is transparent
  EXPECT_GT(rig_.countBlocks(5), 100);  // the face
  EXPECT_NE(rig_.text(61, 3, 5), "SIZE:");
  EXPECT_TRUE(TextSnake::shared(rig_.engine).titleStart.started);
  EXPECT_EQ(TextSnake::shared(rig_.engine).titleStart.time, 60000u);

  // Both digits held: the viewer plays.
  rig_.keys.down[33] = 1;
  rig_.keys.down[34] = 1;
  frameAt(560.0, 60500);
  EXPECT_EQ(TextSnake::shared(rig_.engine).interactionMode, TextSnake::kViewer);
  EXPECT_EQ(rig_.text(61, 3, 5), "SIZE:");
  EXPECT_EQ(rig_.shown(55, 24, "1 - AI snake"), "1 - AI snake");
  EXPECT_EQ(rig_.ch(53, 24), 219);  // the leading blanks let the picture show
  EXPECT_EQ(rig_.fg(53, 24), 2);
  EXPECT_EQ(rig_.shown(55, 25, "2 - Play snake"), "2 - Play snake");
  EXPECT_EQ(rig_.shown(53, 26, "ESC - Quit"), "ESC - Quit");
  EXPECT_EQ(snake_.stepRate, 10);

  // Key 1 alone switches to the automatic player without a reset; the
  // title screen never comes back.
  rig_.keys = KeyState{};
  rig_.keys.down[33] = 1;
  snake_.score = 3;
  frameAt(561.0, 60600);
  EXPECT_EQ(TextSnake::shared(rig_.engine).interactionMode, TextSnake::kAutomatic);
  EXPECT_EQ(snake_.stepRate, 50);
  EXPECT_EQ(snake_.score, 3);
  rig_.keys = KeyState{};
  // The automatic game leaves no press behind for the viewer's next steps.
  KeyPresses presses{};
  snake_.presses = &presses;
  recordPress(presses, kKeyLeft, true);
  frameAt(561.5, 60700);
  EXPECT_EQ(presses.count, 0);
  frameAt(100.0, 61000);
  EXPECT_EQ(TextSnake::shared(rig_.engine).interactionMode, TextSnake::kAutomatic);
  EXPECT_EQ(rig_.text(61, 3, 5), "SIZE:");
}

// However long the title stood, 2 starts the same game: a fresh snake of
// five that takes its first step in the frame of the key, no steps run up
// meanwhile and no scores from the show's games, and an arrow that came
// with the 2 steers it.
TEST_F(TextSnakeScene, TheViewersGameStartsFreshWhenTheTitleIsLeft) {
  KeyPresses presses{};
  snake_.presses = &presses;
  std::unique_ptr<AsciiEngine> freshShow;
  auto playAfter = [&](uint32_t waitMs, int arrow) {
    freshShow.reset(new AsciiEngine(nullptr));  // class-wide state as a new show has it
    snake_.ascii = freshShow.get();
    freshShow->state().random.seed(4);
    snake_.init();
    rig_.keys = KeyState{};
    clearPresses(presses);
    // The show's own slot starts the shared step clock (and plays games).
    for (uint32_t t = 20000; t < 30000; t += 500) frameAt(300.0, t);
    const uint32_t title = 60000;
    for (uint32_t t = title; t < title + waitMs; t += 1000) frameAt(557.0, t);
    rig_.keys.down[kKeyDigit2] = 1;
    if (arrow >= 0) recordPress(presses, arrow, true);
    std::string trail;
    for (int frame = 0; frame < 8; ++frame) {
      frameAt(600.0, title + waitMs + 40 * frame);
      trail += std::to_string(snake_.segments[0].x) + "," + std::to_string(snake_.segments[0].y) + " ";
      if (frame == 0) {
        EXPECT_EQ(snake_.length, 5) << waitMs;
        EXPECT_EQ(snake_.highScore, 0) << waitMs;
        EXPECT_EQ(snake_.lastScore, 0) << waitMs;
      }
    }
    return trail;
  };

  const std::string after5s = playAfter(5000, -1);
  EXPECT_EQ(after5s.substr(0, 6), "24,23 ");  // the first step, in the key's frame
  EXPECT_EQ(playAfter(30000, -1), after5s);
  EXPECT_EQ(playAfter(120000, -1), after5s);

  const std::string steered = playAfter(30000, kKeyLeft);
  EXPECT_EQ(steered.substr(0, 6), "23,24 ");
  EXPECT_EQ(playAfter(120000, kKeyLeft), steered);
}

TEST_F(TextSnakeScene, PanelNumbersAreLeftAlignedDecimals) {
  frameAt(250.0, 50000);
  snake_.score = 1234;
  snake_.lastScore = 0;
  snake_.highScore = 56789;
  snake_.drawPanel(false);
  EXPECT_EQ(rig_.text(67, 4, 4), "1234");
  EXPECT_EQ(rig_.ch(71, 4), 219);  // the picture's element, untouched
  EXPECT_EQ(rig_.text(67, 6, 1), "0");
  EXPECT_EQ(rig_.text(67, 7, 5), "56789");
}

}  // namespace
