#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "chart.h"
#include "commandline.h"
#include "terminal/ansi_screen.h"
#include "terminal/colour_choice.h"
#include "terminal/terminal_keys.h"
#include "terminal/terminal_output.h"
#include "terminal/terminal_session.h"
#include "util/ascii/cp437.h"

namespace {

// Decodes UTF-8; -1 on a malformed sequence.
std::vector<long> codePoints(const std::string& text) {
  std::vector<long> out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = text[i];
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return {-1};
    long code = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) code = (code << 6) | (text[i + k] & 0x3F);
    out.push_back(code);
    i += length;
  }
  return out;
}

TEST(Cp437Test, EveryGlyphIsTheOneCharacterOfTheChartsOwnList) {
  for (int glyph = 0; glyph < 256; ++glyph) {
    const std::vector<long> code = codePoints(kCp437Utf8[glyph]);
    ASSERT_EQ(1u, code.size()) << "glyph " << glyph;
    // The chart leaves 0 and 255 blank (255 is the no-break space).
    const long expected = chart::kCp437[glyph] == 0 || chart::kCp437[glyph] == 0xA0 ? 0x20 : chart::kCp437[glyph];
    EXPECT_EQ(expected, code[0]) << "glyph " << glyph;
  }
}

// A terminal as far as the show's output uses one: cursor positioning,
// cursor forward, erase display, SGR colours, characters written without
// line wrap.
struct TerminalModel {
  struct Cell {
    long character = ' ';
    std::string fg = "default";
    std::string bg = "default";
  };
  int columns, rows;
  std::vector<Cell> cells;
  int column = 0, row = 0;
  std::string fg = "default", bg = "default";

  TerminalModel(int c, int r) : columns(c), rows(r), cells(static_cast<size_t>(c) * r) {}
  const Cell& at(int c, int r) const { return cells[static_cast<size_t>(r) * columns + c]; }

  void sgr(const std::vector<int>& p) {
    for (size_t i = 0; i < p.size(); ++i) {
      const int n = p[i];
      if (n == 0) fg = bg = "default";
      else if (n >= 30 && n <= 37) fg = "a" + std::to_string(n - 30);
      else if (n >= 90 && n <= 97) fg = "a" + std::to_string(n - 90 + 8);
      else if (n >= 40 && n <= 47) bg = "a" + std::to_string(n - 40);
      else if (n >= 100 && n <= 107) bg = "a" + std::to_string(n - 100 + 8);
      else if ((n == 38 || n == 48) && i + 2 < p.size() && p[i + 1] == 5) {
        (n == 38 ? fg : bg) = "x" + std::to_string(p[i + 2]);
        i += 2;
      } else if ((n == 38 || n == 48) && i + 4 < p.size() && p[i + 1] == 2) {
        const std::string rgb = std::to_string(p[i + 2]) + "," + std::to_string(p[i + 3]) + "," + std::to_string(p[i + 4]);
        (n == 38 ? fg : bg) = rgb;
        i += 4;
      } else {
        ADD_FAILURE() << "unexpected SGR " << n;
      }
    }
  }

  void feed(const std::string& bytes) {
    const std::vector<long> text = codePoints(bytes);
    ASSERT_FALSE(!text.empty() && text[0] == -1) << "malformed UTF-8";
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != 0x1b) {
        ASSERT_GE(text[i], 0x20) << "a control byte reaches the screen";
        ASSERT_TRUE(column >= 0 && column < columns && row >= 0 && row < rows) << "writes outside the terminal";
        Cell& cell = cells[static_cast<size_t>(row) * columns + column];
        cell.character = text[i];
        cell.fg = fg;
        cell.bg = bg;
        if (column < columns - 1) ++column;  // no wrap: stays at the edge
        continue;
      }
      ASSERT_LT(i + 1, text.size());
      ASSERT_EQ('[', text[++i]);
      std::vector<int> params;
      std::string number;
      std::string privateMark;
      for (++i; i < text.size(); ++i) {
        const long c = text[i];
        if (c == '?') privateMark = "?";
        else if (c >= '0' && c <= '9') number += static_cast<char>(c);
        else if (c == ';') { params.push_back(number.empty() ? 0 : std::stoi(number)); number.clear(); }
        else break;
      }
      ASSERT_LT(i, text.size());
      params.push_back(number.empty() ? 0 : std::stoi(number));
      const long final = text[i];
      if (final == 'H') {
        row = (params.size() > 0 && params[0] ? params[0] : 1) - 1;
        column = (params.size() > 1 && params[1] ? params[1] : 1) - 1;
      } else if (final == 'C') {
        column += params[0] ? params[0] : 1;
        if (column > columns - 1) column = columns - 1;
      } else if (final == 'J') {
        ASSERT_EQ(2, params[0]);
        for (Cell& cell : cells) cell = Cell{' ', "default", bg};
      } else if (final == 'm') {
        sgr(params);
      } else {
        ADD_FAILURE() << "unexpected sequence ending in " << static_cast<char>(final);
      }
    }
  }
};

std::array<uint8_t, 256> testInk() {
  std::array<uint8_t, 256> ink;
  ink.fill(100);
  ink[0] = ink[32] = ink[255] = 0;
  ink[219] = 255;
  ink['#'] = 200;
  return ink;
}

std::unique_ptr<ScreenCells> randomScreen(std::mt19937& random, const ScreenCells* like, int changes) {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  if (like) *cells = *like;
  for (int k = 0; k < changes; ++k) {
    const int i = static_cast<int>(random() % AsciiEngine::kCells);
    cells->chars[i] = static_cast<unsigned char>(random() % 256);
    cells->fg[i] = static_cast<unsigned char>(random() % 16);
    cells->bg[i] = static_cast<unsigned char>(random() % 16);
  }
  return cells;
}

std::string paletteName(int index, ColourMode mode) {
  // The show's colours in xterm's 256: cube (0, 95, 135, 175, 215, 255) and grey ramp.
  static const int k256[16] = {16, 18, 28, 30, 88, 90, 100, 250, 244, 21, 46, 51, 196, 201, 226, 231};
  if (mode == ColourMode::Ansi256) return "x" + std::to_string(k256[index]);
  static const char* kRgb[16] = {"0,0,0",       "0,0,128",     "0,128,0",     "0,128,128",
                                 "128,0,0",     "128,0,128",   "128,128,0",   "191,191,191",
                                 "128,128,128", "0,0,255",     "0,255,0",     "0,255,255",
                                 "255,0,0",     "255,0,255",   "255,255,0",   "255,255,255"};
  if (mode == ColourMode::TrueColour) return kRgb[index];
  // CGA's blue/green/red bits in ANSI's red/green/blue order.
  const int ansi = ((index & 1) << 2) | (index & 2) | ((index & 4) >> 2);
  return "a" + std::to_string(ansi + (index & 8));
}

// What a terminal must show of `cells` at (left, top): the glyph, and each
// colour that some pixel of the cell shows; a cell of one colour (a full
// block, or a glyph in the colour of its background) as a space on it.
void expectShows(const TerminalModel& terminal, const ScreenCells& cells, ColourMode mode, int left, int top) {
  int wrong = 0;
  for (int i = 0; i < AsciiEngine::kCells && wrong < 5; ++i) {
    const TerminalModel::Cell& shown = terminal.at(left + i % 80, top + i / 80);
    const int glyph = cells.chars[i];
    const bool blank = glyph == 0 || glyph == 32 || glyph == 255;
    const bool solid = glyph == 219;
    const bool oneColour = blank || solid || cells.fg[i] == cells.bg[i];
    const long expected = oneColour ? ' ' : codePoints(kCp437Utf8[glyph])[0];
    bool ok = shown.character == expected;
    if (!oneColour) ok = ok && shown.fg == paletteName(cells.fg[i], mode);
    ok = ok && shown.bg == paletteName(solid ? cells.fg[i] : cells.bg[i], mode);
    if (!ok) {
      ++wrong;
      ADD_FAILURE() << "cell " << i % 80 << "," << i / 80 << " glyph " << glyph << " fg " << int(cells.fg[i]) << " bg "
                    << int(cells.bg[i]) << " shows " << shown.character << " " << shown.fg << "/" << shown.bg;
    }
  }
}

TEST(AnsiScreenTest, ChangedCellsOnlyKeepTheTerminalEqualToTheLatestFrameInEveryColourMode) {
  for (ColourMode mode : {ColourMode::TrueColour, ColourMode::Ansi256, ColourMode::Ansi16}) {
    std::mt19937 random(7);
    AnsiScreen screen(mode, testInk());
    TerminalModel terminal(80, 50);
    std::unique_ptr<ScreenCells> cells = randomScreen(random, nullptr, 20000);
    std::string out;
    screen.compose(*cells, {80, 50}, &out);
    terminal.feed(out);
    expectShows(terminal, *cells, mode, 0, 0);
    const size_t fullSize = out.size();

    for (int frame = 0; frame < 40; ++frame) {
      cells = randomScreen(random, cells.get(), 30);
      out.clear();
      screen.compose(*cells, {80, 50}, &out);
      EXPECT_LT(out.size() * 10, fullSize) << "a frame of 30 changes rewrote much more";
      terminal.feed(out);
    }
    expectShows(terminal, *cells, mode, 0, 0);

    // Nothing changed: nothing to write.
    out.clear();
    screen.compose(*cells, {80, 50}, &out);
    EXPECT_EQ("", out);
  }
}

TEST(AnsiScreenTest, ColourCodesOnlyWhereTheColourChangesAndNoneForColoursNobodySees) {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  for (int i = 0; i < AsciiEngine::kCells; ++i) {
    cells->chars[i] = 'A';
    cells->fg[i] = 12;
    cells->bg[i] = 9;
  }
  AnsiScreen screen(ColourMode::Ansi16, testInk());
  std::string out;
  screen.compose(*cells, {80, 50}, &out);
  // The reset before the clear, then light red on light blue once.
  EXPECT_EQ(2, std::count(out.begin(), out.end(), 'm'));
  EXPECT_NE(std::string::npos, out.find("\x1b[91;104m"));

  // Blanks show only their background, a full block only its foreground:
  // changing the unseen colour writes nothing.
  cells->chars[5] = 0;
  cells->chars[6] = 219;
  out.clear();
  screen.compose(*cells, {80, 50}, &out);
  ASSERT_NE("", out);
  cells->fg[5] = 3;
  cells->bg[6] = 3;
  out.clear();
  screen.compose(*cells, {80, 50}, &out);
  EXPECT_EQ("", out);
}

TEST(AnsiScreenTest, LayoutFollowsTheTerminalSize) {
  const ScreenLayout full = layoutFor({100, 61});
  EXPECT_EQ(ScreenLayout::Full, full.kind);
  EXPECT_EQ(10, full.left);
  EXPECT_EQ(5, full.top);
  const ScreenLayout half = layoutFor({80, 49});
  EXPECT_EQ(ScreenLayout::Reduced, half.kind);
  EXPECT_EQ(80, half.columns);
  EXPECT_EQ(25, half.rows);
  EXPECT_EQ(12, half.top);
  const ScreenLayout standard = layoutFor({80, 24});
  EXPECT_EQ(ScreenLayout::Reduced, standard.kind);
  EXPECT_EQ(24, standard.rows);
  const ScreenLayout narrow = layoutFor({79, 60});
  EXPECT_EQ(ScreenLayout::Reduced, narrow.kind);
  EXPECT_EQ(79, narrow.columns);
  EXPECT_EQ(ScreenLayout::Message, layoutFor({39, 50}).kind);
  EXPECT_EQ(ScreenLayout::Message, layoutFor({80, 12}).kind);
  EXPECT_EQ(ScreenLayout::Message, layoutFor({0, 0}).kind);
  for (int columns = 1; columns < 120; ++columns)
    EXPECT_LE(tooSmallMessage({columns, 5}).size(), static_cast<size_t>(columns));
  EXPECT_NE(std::string::npos, tooSmallMessage({30, 10}).find("30 x 10"));
}

TEST(AnsiScreenTest, CentredPictureReducedPictureAndMessageAfterResizes) {
  std::mt19937 random(3);
  std::unique_ptr<ScreenCells> cells = randomScreen(random, nullptr, 20000);
  AnsiScreen screen(ColourMode::Ansi16, testInk());
  std::string out;

  TerminalModel large(100, 60);
  screen.compose(*cells, {100, 60}, &out);
  large.feed(out);
  expectShows(large, *cells, ColourMode::Ansi16, 10, 5);
  EXPECT_EQ(' ', large.at(9, 5).character);
  EXPECT_EQ("default", large.at(9, 5).bg);

  // Two text rows per line: the upper half block in the upper cell's colour
  // (its foreground where the glyph covers most of it), the lower one's
  // below.
  TerminalModel half(80, 25);
  out.clear();
  screen.compose(*cells, {80, 25}, &out);
  half.feed(out);
  for (int line = 0; line < 25; ++line) {
    for (int column = 0; column < 80; ++column) {
      const TerminalModel::Cell& shown = half.at(column, line);
      std::string halves[2];
      for (int k = 0; k < 2; ++k) {
        const int i = (2 * line + k) * 80 + column;
        const int glyph = cells->chars[i];
        halves[k] = paletteName(testInk()[glyph] >= 128 ? cells->fg[i] : cells->bg[i], ColourMode::Ansi16);
      }
      // Both halves of one colour: a space on it, which no font leaves a seam in.
      if (halves[0] == halves[1]) {
        EXPECT_EQ(' ', shown.character);
        EXPECT_EQ(halves[1], shown.bg) << column << "," << line;
        continue;
      }
      ASSERT_EQ(0x2580, shown.character);
      EXPECT_EQ(halves[0], shown.fg) << column << "," << line;
      EXPECT_EQ(halves[1], shown.bg) << column << "," << line;
    }
  }

  TerminalModel tiny(30, 8);
  out.clear();
  screen.compose(*cells, {30, 8}, &out);
  tiny.feed(out);
  std::string line4;
  int nonBlankLines = 0;
  for (int row = 0; row < 8; ++row) {
    std::string text;
    for (int column = 0; column < 30; ++column) text += static_cast<char>(tiny.at(column, row).character);
    if (text.find_first_not_of(' ') != std::string::npos) ++nonBlankLines;
    if (row == 4) line4 = text;
  }
  EXPECT_EQ(1, nonBlankLines);
  EXPECT_NE(std::string::npos, line4.find("30 x 8")) << line4;
  // The show goes on while the message stands: later frames add nothing.
  out.clear();
  screen.compose(*randomScreen(random, cells.get(), 100), {30, 8}, &out);
  EXPECT_EQ("", out);
}

TEST(AnsiScreenTest, TrueColourReducedPictureMixesACellsColoursByItsGlyph) {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  std::memset(cells.get(), 0, sizeof *cells);
  cells->chars[0] = '#';  // ink 200 of 255: white on black mixes to 200
  cells->fg[0] = 15;
  cells->bg[0] = 0;
  cells->chars[80] = 219;
  cells->fg[80] = 4;
  AnsiScreen screen(ColourMode::TrueColour, testInk());
  std::string out;
  screen.compose(*cells, {80, 25}, &out);
  TerminalModel terminal(80, 25);
  terminal.feed(out);
  EXPECT_EQ("200,200,200", terminal.at(0, 0).fg);
  EXPECT_EQ("128,0,0", terminal.at(0, 0).bg);
}

TEST(AnsiScreenTest, SolidCellsGoOutAsSpacesOnTheirColourSoNoSeamShows) {
  std::unique_ptr<ScreenCells> cells(new ScreenCells());
  std::memset(cells.get(), 0, sizeof *cells);
  cells->chars[0] = 219;  // a full block, light red on black
  cells->fg[0] = 12;
  cells->chars[1] = 'A';  // a letter in its background's colour
  cells->fg[1] = cells->bg[1] = 9;
  for (ColourMode mode : {ColourMode::Ansi16, ColourMode::TrueColour}) {
    AnsiScreen screen(mode, testInk());
    std::string out;
    screen.compose(*cells, {80, 50}, &out);
    EXPECT_EQ(std::string::npos, out.find(kCp437Utf8[219]));
    EXPECT_EQ(std::string::npos, out.find('A'));
    TerminalModel terminal(80, 50);
    terminal.feed(out);
    EXPECT_EQ(paletteName(12, mode), terminal.at(0, 0).bg);
    EXPECT_EQ(paletteName(9, mode), terminal.at(1, 0).bg);
  }
}

TEST(AnsiScreenTest, ABudgetedComposeCutsTheFrameAndTheNextOnesFinishItFromWhereItStopped) {
  std::mt19937 random(5);
  std::unique_ptr<ScreenCells> first = randomScreen(random, nullptr, 20000);
  AnsiScreen screen(ColourMode::TrueColour, testInk());
  TerminalModel terminal(80, 50);
  std::string out;
  // The first picture in parts of about 4 kB.
  int parts = 0;
  for (bool whole = false; !whole; ++parts) {
    out.clear();
    whole = screen.compose(*first, {80, 50}, &out, 4096);
    EXPECT_LT(out.size(), 4096u + 64) << "a part larger than its budget";
    terminal.feed(out);
    ASSERT_LT(parts, 100);
  }
  EXPECT_GT(parts, 5);
  expectShows(terminal, *first, ColourMode::TrueColour, 0, 0);

  // Every frame changes the top rows while a new picture is on its way: the
  // rows below still get their turn, and once the frames stop changing the
  // terminal shows the last one.
  std::unique_ptr<ScreenCells> second = randomScreen(random, nullptr, 20000);
  for (int frame = 0; frame < 100; ++frame) {
    for (int i = 0; i < 160; ++i) second->chars[i] = static_cast<unsigned char>('a' + (frame + i) % 26);
    out.clear();
    screen.compose(*second, {80, 50}, &out, 2048);
    terminal.feed(out);
  }
  int bottomRowsShown = 0;
  for (int i = 40 * 80; i < 50 * 80; ++i)
    bottomRowsShown += terminal.at(i % 80, i / 80).character == codePoints(kCp437Utf8[second->chars[i]])[0] ||
                       second->chars[i] == 219 || second->fg[i] == second->bg[i];
  EXPECT_GT(bottomRowsShown, 700) << "the bottom rows never got their turn";
  for (int k = 0; k < 100; ++k) {
    out.clear();
    const bool whole = screen.compose(*second, {80, 50}, &out, 2048);
    terminal.feed(out);
    if (whole) break;
  }
  expectShows(terminal, *second, ColourMode::TrueColour, 0, 0);
}

std::vector<int> keysOf(TerminalKeyParser& parser, const std::string& bytes) {
  std::vector<int> keys;
  parser.feed(bytes.data(), bytes.size(), &keys);
  return keys;
}

TEST(TerminalKeysTest, KeysOfTheShowFromTheirByteSequences) {
  using namespace terminal_keys;
  TerminalKeyParser parser;
  EXPECT_EQ((std::vector<int>{kUp, kDown, kRight, kLeft}), keysOf(parser, "\x1b[A\x1bOB\x1b[C\x1b[1;5D"));
  EXPECT_EQ((std::vector<int>{kF1 + 7, kF1 + 8, kF1 + 7}), keysOf(parser, "\x1b[19~\x1b[20~\x1b[19;2~"));
  EXPECT_EQ((std::vector<int>{'1', '2', 'q', kReturn, kInterrupt}), keysOf(parser, "12Q\r\x03"));
  // Unknown sequences go whole, bracketed paste marks included.
  EXPECT_EQ((std::vector<int>{'x'}), keysOf(parser, "\x1b[200~x\x1b[M"));
  EXPECT_FALSE(parser.pending());

  // An Escape at the end of a read waits: it may begin a sequence.
  EXPECT_TRUE(keysOf(parser, "\x1b").empty());
  EXPECT_TRUE(parser.pending());
  EXPECT_EQ((std::vector<int>{kLeft}), keysOf(parser, "[D"));
  EXPECT_TRUE(keysOf(parser, "\x1b").empty());
  std::vector<int> flushed;
  parser.flush(&flushed);
  EXPECT_EQ((std::vector<int>{kEscape}), flushed);
  EXPECT_EQ((std::vector<int>{kEscape}), keysOf(parser, "\x1b\x1b"));
  parser.flush(&flushed);

  // Ctrl-Z, and the terminal's answers to device-attributes queries among keys.
  EXPECT_EQ((std::vector<int>{kSuspend}), keysOf(parser, "\x1a"));
  EXPECT_EQ((std::vector<int>{'a', kDeviceAnswer, kDeviceAnswer, kUp}),
            keysOf(parser, "a\x1b[?1;2c\x1b[?62;22;52c\x1b[A"));
  EXPECT_EQ((std::vector<int>{}), keysOf(parser, "\x1b[c\x1b[?1;2R"));
}

TEST(TerminalSessionTest, RefusesWhatCannotShowTheShowWithOneLine) {
  EXPECT_EQ("", terminalRefusal(true, "xterm-256color", "UTF-8"));
  for (const std::string& refusal :
       {terminalRefusal(false, "xterm", "UTF-8"), terminalRefusal(true, "dumb", "UTF-8"),
        terminalRefusal(true, nullptr, "UTF-8"), terminalRefusal(true, "", "UTF-8"),
        terminalRefusal(true, "xterm", "ANSI_X3.4-1968"), terminalRefusal(true, "xterm", nullptr)}) {
    EXPECT_NE("", refusal);
    EXPECT_EQ(std::string::npos, refusal.find('\n'));
  }
  // A locale asked for but not installed is named, with one that is.
  RequestedLocale missing;
  missing.name = "en_US.UTF-8";
  missing.variable = "LANG";
  missing.installed = false;
  const std::string refusal = terminalRefusal(true, "xterm", "ANSI_X3.4-1968", missing);
  EXPECT_NE(std::string::npos, refusal.find("en_US.UTF-8")) << refusal;
  EXPECT_NE(std::string::npos, refusal.find("LANG=C.UTF-8")) << refusal;
  EXPECT_EQ(std::string::npos, refusal.find("ANSI_X3.4-1968")) << refusal;
}

TEST(TerminalColoursTest, TwentyFourBitFromColortermTerminfoOrAKnownTerminal) {
  const TerminfoColours none, eight{8, false}, many{256, false}, direct{256, true};
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode("truecolor", "xterm", none));
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode("24bit", "xterm", none));
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode(nullptr, "xterm-256color", direct));
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode(nullptr, "xterm-direct", eight));
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode(nullptr, "xterm-kitty", none));
  EXPECT_EQ(ColourMode::TrueColour, chooseColourMode(nullptr, "alacritty", none));
  EXPECT_EQ(ColourMode::Ansi256, chooseColourMode("yes", "xterm-256color", many));
  EXPECT_EQ(ColourMode::Ansi16, chooseColourMode(nullptr, "xterm", eight));
  EXPECT_EQ(ColourMode::Ansi16, chooseColourMode(nullptr, "footnote", none));
  EXPECT_EQ(ColourMode::Ansi16, chooseColourMode(nullptr, nullptr, none));
  // The machine's own terminfo database, as Debian ships it.
  EXPECT_EQ(256, readTerminfo("xterm-256color").colours);
  EXPECT_FALSE(readTerminfo("xterm-256color").directColour);
  // An entry of the test's own with the Tc extension, as tmux's documentation suggests.
  char folder[] = "/tmp/kestrune-terminfo-XXXXXX";
  ASSERT_NE(nullptr, ::mkdtemp(folder));
  const std::string source = std::string(folder) + "/entry";
  FILE* file = std::fopen(source.c_str(), "w");
  ASSERT_NE(nullptr, file);
  std::fputs("kestrune-tc|a terminal with 24-bit colour,\n\tcolors#256, Tc,\n", file);
  std::fclose(file);
  ASSERT_EQ(0, std::system(("tic -x -o " + std::string(folder) + " " + source).c_str()));
  ::setenv("TERMINFO", folder, 1);
  EXPECT_TRUE(readTerminfo("kestrune-tc").directColour);
  ::unsetenv("TERMINFO");
  EXPECT_EQ(0, std::system(("rm -rf " + std::string(folder)).c_str()));
  EXPECT_EQ(0, readTerminfo("no-such-terminal").colours);
  EXPECT_EQ(0, readTerminfo(nullptr).colours);

  ColourMode mode;
  EXPECT_TRUE(parseColourMode("256", &mode));
  EXPECT_EQ(ColourMode::Ansi256, mode);
  EXPECT_FALSE(parseColourMode("24", &mode));
  const char* chosen[] = {"kestrune", "--terminal", "--colors", "24bit"};
  EXPECT_EQ("24bit", parseCommandLine(4, chosen).terminalColours);
  const char* wrong[] = {"kestrune", "--terminal", "--colors=true"};
  EXPECT_EQ(CommandLine::Action::Fail, parseCommandLine(3, wrong).action);
  const char* alone[] = {"kestrune", "--colors", "16"};
  EXPECT_EQ(CommandLine::Action::Fail, parseCommandLine(3, alone).action);
}

TEST(TerminalOutputTest, ASlowTerminalGetsTheLatestFrameWithTheOnesBetweenDroppedNotQueued) {
  int pipeEnds[2];
  ASSERT_EQ(0, ::pipe(pipeEnds));
  std::string received;
  std::thread reader([&] {
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
      received.append(buffer, static_cast<size_t>(n));
      std::this_thread::sleep_for(std::chrono::microseconds(300));  // a slow line
    }
  });
  std::mt19937 random(11);
  std::unique_ptr<ScreenCells> cells = randomScreen(random, nullptr, 20000);
  uint64_t posted = 0;
  {
    TerminalOutput output(pipeEnds[1], AnsiScreen(ColourMode::TrueColour, testInk()));
    for (int frame = 0; frame < 200; ++frame) {
      cells = randomScreen(random, cells.get(), 400);
      posted = output.post(*cells, {80, 50});
    }
    EXPECT_TRUE(output.waitWritten(posted, 20000));
    EXPECT_LT(output.framesWritten(), 200u) << "every frame was written: nothing was dropped";
    output.stop();
  }
  ::close(pipeEnds[1]);
  reader.join();
  ::close(pipeEnds[0]);
  TerminalModel terminal(80, 50);
  terminal.feed(received);
  expectShows(terminal, *cells, ColourMode::TrueColour, 0, 0);
}

TEST(TerminalCommandLineTest, TerminalIsASwitchThatNoRecordingTakes) {
  const char* plain[] = {"kestrune", "--terminal"};
  EXPECT_TRUE(parseCommandLine(2, plain).terminal);
  const char* recording[] = {"kestrune", "--terminal", "--capture", "a.mp4"};
  EXPECT_EQ(CommandLine::Action::Fail, parseCommandLine(4, recording).action);
}

}  // namespace

namespace {

TEST(AnsiScreenTest, GlyphInkCountsTheForegroundMaskOfTheChart) {
  // A chart of black masks but for glyph 65's foreground (column 65, top
  // band): its left half white; glyph 219's (column 59, third band) all white.
  std::vector<unsigned char> rgb(640 * 120 * 3, 0);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 4; ++x) std::memset(&rgb[(static_cast<size_t>(y) * 640 + 65 * 8 + x) * 3], 255, 3);
  for (int y = 24; y < 36; ++y) std::memset(&rgb[(static_cast<size_t>(y) * 640 + 59 * 8) * 3], 255, 8 * 3);
  const std::array<uint8_t, 256> ink = glyphInk(chartFromTopDownRgb(640, 120, rgb.data()));
  EXPECT_EQ(128, ink[65]);
  EXPECT_EQ(255, ink[219]);
  EXPECT_EQ(0, ink[66]);
  EXPECT_EQ(0, ink[0]);
}

}  // namespace
