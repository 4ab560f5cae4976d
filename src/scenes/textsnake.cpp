#include "scenes/textsnake.h"

#include <cstring>

#include "util/ascii/asciiengine.h"
#include "util/ascii/starfield.h"
#include "util/ascii/textline.h"
#include "util/timing/tickclock.h"

TextSnake::Shared& TextSnake::shared(const AsciiEngine& screen) { return screen.state().classwide.of<Shared>(); }

namespace {

constexpr int kHead = kSmileyInverse;
constexpr int kBody = kSmallSquare;
constexpr int kPanelFg = kWhite;
constexpr int kPanelBg = kGreen;

constexpr int kDx[4] = {0, 1, 0, -1};
constexpr int kDy[4] = {-1, 0, 1, 0};

// Invented group names.
constexpr const char* kGreetingNames[TextSnake::kGreetings] = {
    "QUILLWORT",  "BRASSMOTH",  "OKRAVELD",    "NIMBLEFEN",  "VOXHARROW",
    "GLINTMARE",  "SKARNWOOD",  "TEALSPINE",   "PLOVERCREST", "MURKLANTERN",
    "CINDERLOOM", "FROSTQUAY",  "WILDEBRINE",  "ZEPHYRKILN", "OBLONGTIDE",
    "RUSTMEADOW", "HALCYRN",    "DUSKFERRULE", "PEWTERGLOW", "YONDERWICK",
};

// The beat as a whole number, truncated toward zero; clamped so that any
// float converts safely.
int beatNumber(float b) {
  if (!(b > -2.0e9f)) return -2000000000;
  if (!(b < 2.0e9f)) return 2000000000;
  return static_cast<int>(b);
}
}  // namespace

TextSnake::TextSnake()
    : segments{},
      direction(kUp),
      requestedDirection(kUp),
      length(1),
      stepRate(50),
      food{0, 0},
      minX(1),
      minY(1),
      maxX(48),
      maxY(48),
      score(0),
      highScore(0),
      lastScore(0),
      greetings{} {}

TextSnake::~TextSnake() = default;

void TextSnake::init() {
  for (int i = 0; i < kGreetings; ++i) greetings[i] = kGreetingNames[i];
  interfacePicture.load(ascii, 80, 50, "data/textsnake/snakeinterface.raw");
  starfield.reset(new Starfield(ascii));
  for (int i = 0; i < 200; ++i) starfield->step();
  minX = 1;
  minY = 1;
  maxX = 48;
  maxY = 48;
  score = 0;
  highScore = 0;
  lastScore = 0;
  reset(5);
  facePicture.load(ascii, 80, 50, "data/texttalkingv/vexmask.raw");
}

bool TextSnake::held(int keyByte) const { return keys != nullptr && keys->down[keyByte] != 0; }

void TextSnake::reset(int newLength) {
  lastScore = score;
  if (score > highScore) highScore = score;
  score = 0;
  if (newLength < 1) newLength = 1;
  if (newLength > kMaxSegments) newLength = kMaxSegments;
  length = newLength;
  const int16_t x = static_cast<int16_t>((minX + maxX) / 2);
  const int16_t y = static_cast<int16_t>((minY + maxY) / 2);
  for (int i = 0; i < length; ++i) segments[i] = Cell{x, static_cast<int16_t>(y + i)};
  direction = kUp;
  requestedDirection = kUp;
  // A fresh game is a short straight snake, so a free cell always exists.
  placeFood();
}

bool TextSnake::placeFood() {
  // Food goes to minX..maxX-1 x minY..maxY-1. Count the cells the snake
  // leaves free there first, so a full field ends the search instead of
  // drawing random cells forever.
  const int spanX = maxX - minX;
  const int spanY = maxY - minY;
  if (spanX <= 0 || spanY <= 0) return false;
  int covered = 0;
  {
    std::unique_ptr<bool[]> taken(new bool[static_cast<size_t>(spanX) * spanY]());
    for (int i = 0; i < length; ++i) {
      const int cx = segments[i].x - minX;
      const int cy = segments[i].y - minY;
      if (cx < 0 || cx >= spanX || cy < 0 || cy >= spanY) continue;
      bool& cell = taken[static_cast<size_t>(cy) * spanX + cx];
      if (!cell) ++covered;
      cell = true;
    }
  }
  if (covered >= spanX * spanY) return false;

  for (;;) {
    const int16_t fx = static_cast<int16_t>(ascii->state().random.next() % spanX + minX);
    const int16_t fy = static_cast<int16_t>(ascii->state().random.next() % spanY + minY);
    bool onSnake = false;
    for (int i = 0; i < length && !onSnake; ++i) onSnake = segments[i].x == fx && segments[i].y == fy;
    if (!onSnake) {
      food = Cell{fx, fy};
      return true;
    }
  }
}

bool TextSnake::freeMove(int dir) const {
  const int x = segments[0].x + kDx[dir];
  const int y = segments[0].y + kDy[dir];
  if (x < minX || x > maxX || y < minY || y > maxY) return false;
  for (int i = 1; i < length; ++i)
    if (segments[i].x == x && segments[i].y == y) return false;
  return true;
}

int TextSnake::automaticMove() {
  const Cell head = segments[0];
  if (head.x < food.x && freeMove(kRight)) return kRight;
  if (head.x > food.x && freeMove(kLeft)) return kLeft;
  if (head.y < food.y && freeMove(kDown)) return kDown;
  if (head.y > food.y && freeMove(kUp)) return kUp;
  for (int attempt = 0; attempt < 30; ++attempt) {
    const int dir = ascii->state().random.next() % 4;
    if (freeMove(dir)) return dir;
  }
  return -1;
}

int TextSnake::viewerMove(int pressed) const {
  // A press outranks the held keys: it is the viewer's latest choice.
  const int pressedDir = pressed == kKeyUp      ? kUp
                         : pressed == kKeyRight ? kRight
                         : pressed == kKeyDown  ? kDown
                         : pressed == kKeyLeft  ? kLeft
                                                : -1;
  if (pressedDir >= 0 && pressedDir != (direction + 2) % 4) return pressedDir;
  int dir = requestedDirection;
  if (held(kKeyUp) && direction != kDown) dir = kUp;
  if (held(kKeyRight) && direction != kLeft) dir = kRight;
  if (held(kKeyDown) && direction != kUp) dir = kDown;
  if (held(kKeyLeft) && direction != kRight) dir = kLeft;
  return dir;
}

void TextSnake::step(bool automatic) {
  // Eat: the tail stays put for the next moves while the 5 copies unfold.
  if (segments[0].x == food.x && segments[0].y == food.y) {
    score += length + 10;
    for (int i = 0; i < 5 && length < kMaxSegments; ++i) {
      segments[length] = segments[length - 1];
      ++length;
    }
    if (!placeFood()) {
      // No cell left for food: the game is won out, start a new one.
      reset(1);
      return;
    }
  }

  int dir;
  if (automatic) {
    dir = automaticMove();
    if (dir < 0) {
      reset(1);
      return;
    }
    direction = dir;
    requestedDirection = dir;
  } else {
    dir = viewerMove(presses != nullptr ? takePress(*presses) : -1);
    direction = dir;
    requestedDirection = dir;
    if (!freeMove(dir)) {
      reset(1);
      return;
    }
  }

  for (int i = length - 1; i >= 1; --i) segments[i] = segments[i - 1];
  segments[0].x = static_cast<int16_t>(segments[0].x + kDx[dir]);
  segments[0].y = static_cast<int16_t>(segments[0].y + kDy[dir]);
}

void TextSnake::gameFrame(bool automatic, bool menuLines, uint32_t now) {
  // The step length depends on the snake, so the clock is advanced here.
  shared(*ascii).step.catchUpVarying(
      now,
      [this, automatic] {
        stepRate = automatic ? 50 : 10 + length / 10;
        return static_cast<uint32_t>(1000 / stepRate);
      },
      [this, automatic] { step(automatic); });
  drawPanel(menuLines);
  drawSnake(true);
}

void TextSnake::startViewersGame() {
  // However long the title stood, the game the viewer asked for starts
  // here: no steps run up while nobody watched, no scores from them.
  score = 0;
  lastScore = 0;
  highScore = 0;
  reset(5);
  shared(*ascii).step = TickClock{};
}

void TextSnake::drawPanel(bool menuLines) {
  interfacePicture.draw(kFullBlock, 0, 0);
  writeText(ascii, 61, 3, "SIZE:", kPanelFg, kPanelBg);
  writeNumber(ascii, 67, 3, length, kPanelFg, kPanelBg);
  writeText(ascii, 60, 4, "SCORE:", kPanelFg, kPanelBg);
  writeNumber(ascii, 67, 4, score, kPanelFg, kPanelBg);
  writeText(ascii, 55, 6, "LAST SCORE:", kPanelFg, kPanelBg);
  writeNumber(ascii, 67, 6, lastScore, kPanelFg, kPanelBg);
  writeText(ascii, 55, 7, "HIGH SCORE:", kPanelFg, kPanelBg);
  writeNumber(ascii, 67, 7, highScore, kPanelFg, kPanelBg);
  if (menuLines) {
    writeText(ascii, 53, 24, "  1 - AI snake", kPanelFg, kPanelBg);
    writeText(ascii, 53, 25, "  2 - Play snake", kPanelFg, kPanelBg);
    writeText(ascii, 53, 26, "ESC - Quit", kPanelFg, kPanelBg);
  }
}

void TextSnake::drawSnake(bool withFood) {
  if (withFood) ascii->setCell(food.x, food.y, kHeart, kLightRed, kBlack);
  for (int i = 1; i < length; ++i) ascii->setCell(segments[i].x, segments[i].y, kBody, kGreen, kLightGreen);
  ascii->setCell(segments[0].x, segments[0].y, kHead, kYellow, kBlack);
}

int TextSnake::greetingIndex(int beat) {
  if (beat < 0) return -1;
  return (beat / 4) % kGreetings;
}

void TextSnake::drawGreetings(int beat) {
  writeText(ascii, 56, 15, "GREETS TO:", kPanelFg, kPanelBg);
  const int index = greetingIndex(beat);
  if (index >= 0 && greetings[index] != nullptr) writeText(ascii, 57, 16, greetings[index], kPanelFg, kPanelBg);
}

void TextSnake::draw(const FrameTime& time) {
  const int beat = beatNumber(time.beat);
  const uint32_t now = time.ticks;
  ascii->clear();
  bool viewerGame = false;

  if (beat >= 228 && beat <= 243) {
    starfield->update(now);
    reset(5);
    drawPanel(false);
  } else if (beat >= 244 && beat <= 259) {
    starfield->update(now);
    drawPanel(false);
    drawSnake(false);
    drawGreetings(beat);
  } else if (beat >= 260 && beat <= 556) {
    starfield->update(now);
    gameFrame(true, false, now);
    drawGreetings(beat);
  } else {
    const bool leavingTitle = shared(*ascii).interactionMode == kTitle && (held(kKeyDigit1) || held(kKeyDigit2));
    if (held(kKeyDigit1)) shared(*ascii).interactionMode = kAutomatic;
    if (held(kKeyDigit2)) shared(*ascii).interactionMode = kViewer;
    if (leavingTitle) startViewersGame();
    const uint32_t sinceTitle = shared(*ascii).titleStart.since(now);
    if (shared(*ascii).interactionMode == kTitle) {
      facePicture.drawRotated(sinceTitle * 0.002, 1.0, 1.0);
      writeText(ascii, 0, 49, "( 1,2 - Snake, ESC - Quit )", kRed, kBlack);
    } else {
      viewerGame = shared(*ascii).interactionMode == kViewer;
      starfield->update(now);
      gameFrame(!viewerGame, true, now);
    }
  }
  // Presses wait only for the viewer's own game: what was pressed before it
  // runs must not steer its first steps.
  if (!viewerGame && presses != nullptr) clearPresses(*presses);

  ascii->present();
}
