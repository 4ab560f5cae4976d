// The song's notation: what a pattern means in ticks and pitches, how the
// order list places it, and that mistakes in a score are reported by line.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "chiptune_support.h"
#include "score.h"

namespace {

using chiptune::kTicksPerBeat;
using chiptune::Note;
using chiptune::Score;

const char* kHeader =
    "length 64\n"
    "instrument lead wave=pulse\n"
    "instrument soft wave=triangle\n"
    "instrument kick wave=triangle freq=50\n"
    "voice lead channel=0 instrument=lead\n"
    "voice low channel=2 instrument=soft\n"
    "voice ohat channel=9 drum=46 instrument=kick\n"
    "voice hat channel=9 drum=42 instrument=kick choke=ohat\n";

Score parseOk(const std::string& body) {
  Score s;
  std::string error;
  EXPECT_TRUE(chiptune::parseScore(kHeader + body, s, error)) << error;
  return s;
}

std::string parseError(const std::string& body) {
  Score s;
  std::string error;
  EXPECT_FALSE(chiptune::parseScore(kHeader + body, s, error)) << body;
  return error;
}

struct Expect {
  double beat, beats;
  std::vector<int> pitches;
};

void expectNotes(const std::vector<Note>& notes, const std::vector<Expect>& want) {
  ASSERT_EQ(want.size(), notes.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(std::llround(want[i].beat * kTicksPerBeat), notes[i].start) << "note " << i;
    EXPECT_EQ(std::llround(want[i].beats * kTicksPerBeat), notes[i].length) << "note " << i;
    EXPECT_EQ(want[i].pitches, notes[i].pitches) << "note " << i;
  }
}

TEST(ChiptuneScore, LengthsDotsTiesRestsAndAccidentals) {
  Score s = parseOk(
      "pattern p\n"
      "  o4 l8 c d4. e16 r8 f&16 g+ a- b# c-4 l4. c d12 d48\n"
      "end\n"
      "at 2 lead p\n");
  // C4 = 60, A4 = 69; lengths 8 = half a beat, 4. = 1.5 beats, 12 = a third.
  expectNotes(s.notes[0], {{2, 0.5, {60}},
                           {2.5, 1.5, {62}},
                           {4, 0.25, {64}},
                           {4.75, 0.75, {65}},
                           {5.5, 0.5, {68}},
                           {6, 0.5, {68}},
                           {6.5, 0.5, {72}},
                           {7, 1, {59}},
                           {8, 1.5, {60}},
                           {9.5, 1.0 / 3, {62}},
                           {9.5 + 1.0 / 3, 1.0 / 12, {62}}});
}

TEST(ChiptuneScore, ChordsStackUpwardsAndOctavesResetPerPlacement) {
  Score s = parseOk(
      "pattern chords\n"
      "  o4 [ace]4 [gce]4 [g+be]4 [ceg]4 >>\n"
      "end\n"
      "pattern shift\n"
      "  o3 a4 > a4 < < a4\n"
      "end\n"
      "at 0 lead chords chords\n"
      "at 0 low shift shift\n");
  const std::vector<std::vector<int>> chords = {{69, 72, 76}, {67, 72, 76}, {68, 71, 76}, {60, 64, 67}};
  for (size_t k = 0; k < 8; ++k) EXPECT_EQ(chords[k % 4], s.notes[0][k].pitches) << k;
  // Each placement starts again at octave 4, so the second copy sounds the same.
  std::vector<int> low;
  for (const Note& n : s.notes[1]) low.push_back(n.pitches[0]);
  EXPECT_EQ((std::vector<int>{57, 69, 45, 57, 69, 45}), low);
}

TEST(ChiptuneScore, RepeatsGateVelocityAndInstruments) {
  Score s = parseOk(
      "pattern p\n"
      "  l8 (c (d)2 )2 q4 v3 @soft e2\n"
      "end\n"
      "at 0 lead p\n"
      "at 8 lead p+12@soft*2\n");
  const std::vector<Note>& n = s.notes[0];
  ASSERT_EQ(21u, n.size());
  const double starts[] = {0, 0.5, 1, 1.5, 2, 2.5, 3};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(int64_t(starts[i] * kTicksPerBeat), n[size_t(i)].start) << i;
  EXPECT_EQ(62, n[5].pitches[0]);
  EXPECT_EQ(8, n[0].gate);
  EXPECT_EQ(12, n[0].velocity);
  EXPECT_EQ(s.findInstrument("lead"), n[0].instrument);
  // The pattern's own @soft, velocity and gate apply to its last note.
  EXPECT_EQ(4, n[6].gate);
  EXPECT_EQ(3, n[6].velocity);
  EXPECT_EQ(s.findInstrument("soft"), n[6].instrument);
  EXPECT_EQ(int64_t(2 * kTicksPerBeat) / 2, n[6].soundingTicks());
  // Placed with @soft, +12 and twice: every note an octave up, soft, at 8 and 13.
  EXPECT_EQ(8 * kTicksPerBeat, n[7].start);
  EXPECT_EQ(72, n[7].pitches[0]);
  EXPECT_EQ(s.findInstrument("soft"), n[7].instrument);
  EXPECT_EQ(13 * kTicksPerBeat, n[14].start);
}

TEST(ChiptuneScore, GridsPlaceHitsOnTheirVoicesAndRestsShiftTheOrder) {
  Score s = parseOk(
      "grid g 2\n"
      "  hat  X-x.|o---\n"
      "  ohat --X-|----\n"
      "end\n"
      "at 4 drums ~1 g\n");
  const std::vector<Note>& hat = s.notes[size_t(s.findVoice("hat"))];
  expectNotes(hat, {{5, 1, {42}}, {6, 0.5, {42}}, {6.5, 0.5, {42}}, {7, 2, {42}}});
  EXPECT_EQ(15, hat[0].velocity);
  EXPECT_EQ(12, hat[1].velocity);
  EXPECT_EQ(5, hat[2].velocity);
  EXPECT_EQ(8, hat[3].velocity);
  expectNotes(s.notes[size_t(s.findVoice("ohat"))], {{6, 3, {46}}});
}

TEST(ChiptuneScore, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* body;
    const char* message;
  } cases[] = {
      {"pattern p\n  c4 d4 e4 | f4\nend\n", "line 10: bar check failed: 3.000 beats"},
      {"pattern p 4\n  c2\nend\n", "line 9: pattern 'p' is 2.000 beats long, not 4"},
      {"pattern p\n  c7\nend\n", "line 10: note value 7 with 0 dots does not fit"},
      {"pattern p\n  c4\n", "line 9: 'p' has no 'end'"},
      {"pattern p\n  c1&1\nend\nat 0 lead p\nat 6 lead p\n", "voice lead: notes overlap at beat 6.000"},
      {"pattern p\n  c1\nend\nat 62 lead p\n", "voice lead: note at beat 62.000 runs past the end"},
      {"pattern p\n  o9 c4\nend\nat 0 lead p+8\n", "line 12: transposed pitch out of range"},
      {"pattern p\n  c4\nend\nat 0 drums p\n", "'p' is not a grid"},
      {"grid g\n  hat x---\nend\nat 0 lead g\n", "grid 'g' goes on 'drums'"},
      {"grid g\n  lead x---\nend\n", "line 10: voice 'lead' is not a drum voice"},
      {"grid g\n  hat x---\n  ohat x-\nend\n", "line 11: grid lines differ in length"},
      {"at 0 lead nothing\n", "unknown pattern 'nothing'"},
      {"at 0.001 lead nothing\n", "off the tick grid"},
      {"pattern p\n  @nope c\nend\n", "unknown instrument 'nope'"},
      {"pattern p\n  (c d\nend\n", "missing ')'"},
      {"pattern p\n  [ace\nend\n", "missing ']'"},
      {"instrument x wave=saw\n", "unknown wave 'saw'"},
      {"voice v instrument=lead choke=later\n", "choke: unknown voice 'later'"},
      {"bogus 1\n", "line 9: unknown command 'bogus'"},
  };
  for (const Case& c : cases) EXPECT_NE(std::string::npos, parseError(c.body).find(c.message)) << c.body;
}

// Damaged scores (cut short or with bytes changed) are refused or read, never
// crash or hang.
TEST(ChiptuneScore, DamagedScoresNeverCrash) {
  const std::string text = chiptuneSongText();
  ASSERT_FALSE(text.empty());
  uint32_t seed = 12345;
  auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
  int refused = 0;
  for (int i = 0; i < 60; ++i) {
    std::string damaged = text.substr(0, next() % text.size());
    for (int k = 0; k < 4; ++k) damaged[next() % damaged.size()] = char("()[]&|>x9@*+-~\n#"[next() % 16]);
    Score s;
    std::string error;
    if (!chiptune::parseScore(damaged, s, error)) {
      ++refused;
      EXPECT_FALSE(error.empty());
    }
  }
  EXPECT_GT(refused, 30);
}

}  // namespace
