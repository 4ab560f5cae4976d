#include "util/music/midi.h"

#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "midi_test_support.h"
#include "support/test_archive.h"
#include "util/music/music.h"

namespace {

using namespace midi_builder;
using testing::ExitedWithCode;

std::string fatal(const std::string& message) { return fatalIn("midi", message); }

const MidiNote* findNote(const MidiTrack& track, int pitch) {
  for (const MidiNote& n : track.notes)
    if (n.pitch == pitch) return &n;
  return nullptr;
}

// One note on (velocity 100) and off, as a track of its own.
std::string oneNoteTrack() { return track(event(0, {0x90, 60, 100}) + event(96, {0x80, 60, 0}) + endOfTrack()); }

TEST(MidiSong, ConductorTrackIsDroppedButItsSettingsStay) {
  const std::string conductor = track(trackName("Conductor") + meta(0, 0x02, "(c) us") + meta(0, 0x01, "liner") +
                                      tempo(500000) + meta(0, 0x58, bytes({3, 3, 12, 8})) +
                                      meta(0, 0x59, bytes({0xFD, 1})) + endOfTrack());
  const std::string lead = track(trackName("lead") + event(0, {0x90, 60, 100}) + event(96, {0x80, 60, 0}) +
                                 event(0, {0xB0, 7, 100}) + event(0, {0xB0, 10, 20}) + endOfTrack());
  // Tempo in a later track wins and rounds to two decimals: 60e6 / 450000 = 133.333...
  const std::string faster = track(tempo(450000) + endOfTrack());
  TestArchive archive(std::vector<TestArchiveFile>{{"data/a.mid", header(2) + conductor + lead},
                                                   {"data/b.mid", header(3) + conductor + lead + faster}});

  MidiSong song("data/a.mid");
  ASSERT_EQ(1u, song.tracks.size());
  const MidiTrack& t = song.tracks[0];
  EXPECT_STREQ("lead", t.name);
  EXPECT_EQ(120.0f, song.tempo);
  EXPECT_STREQ("(c) us", song.copyright);
  EXPECT_STREQ("liner", song.text);
  EXPECT_EQ(3, song.numerator);
  EXPECT_EQ(8, song.denominator);
  EXPECT_EQ(12, song.clocksPerClick);
  EXPECT_EQ(8, song.thirtySecondsPerQuarter);
  EXPECT_EQ(-3, song.keySharps);
  EXPECT_TRUE(song.keyMinor);
  // Volume and pan are kept raw and never reach the controller lists.
  EXPECT_EQ(100.0f, t.volume);
  EXPECT_EQ(20.0f, t.pan);
  EXPECT_TRUE(t.controllers[7].times.empty());
  EXPECT_TRUE(t.controllers[10].times.empty());
  EXPECT_TRUE(t.modulators.empty());

  MidiSong later("data/b.mid");
  EXPECT_EQ(133.33f, later.tempo);
  EXPECT_EQ(1u, later.tracks.size());
}

TEST(MidiSong, DefaultsWithoutMetaEvents) {
  TestArchive archive(std::vector<TestArchiveFile>{{"data/a.mid", header(1) + oneNoteTrack()}});
  MidiSong song("data/a.mid");
  ASSERT_EQ(1u, song.tracks.size());
  EXPECT_EQ(nullptr, song.tracks[0].name);
  EXPECT_EQ(0.78125f, song.tracks[0].volume);
  EXPECT_EQ(0.5f, song.tracks[0].pan);
  EXPECT_EQ(120.0f, song.tempo);
  EXPECT_EQ(4, song.numerator);
  EXPECT_EQ(4, song.denominator);
  EXPECT_EQ(nullptr, song.copyright);
  EXPECT_EQ(nullptr, song.text);
  EXPECT_FALSE(song.keyMinor);
}

TEST(MidiSong, NotesAlternateOnAndOff) {
  // Division 96: 48 ticks are half a beat.
  const std::string events =
      event(48, {0x90, 64, 90}) +  // E5 on at 0.5
      event(48, {0x90, 64, 80}) +  // repeated on: dropped
      event(0, {0x90, 60, 70}) +   // C5 on at 1.0
      event(96, {0x90, 64, 0}) +   // velocity 0 closes E5 at 2.0
      event(0, {0x80, 64, 99}) +   // repeated off (note off velocity ignored): dropped
      event(48, {0x80, 60, 64}) +  // C5 off at 2.5
      event(48, {0x91, 64, 50}) +  // E5 on again at 3.0 (another channel, same track)
      endOfTrack();
  // A zero-length note at beat 0 followed by a later one: the off at -0.0
  // still counts as an off.
  const std::string atZero = event(0, {0x90, 67, 40}) + event(0, {0x80, 67, 0}) + event(96, {0x90, 67, 41}) +
                             event(96, {0x80, 67, 0}) + endOfTrack();
  TestArchive archive(std::vector<TestArchiveFile>{{"data/n.mid", header(2) + track(events) + track(atZero)}});

  MidiSong song("data/n.mid");
  ASSERT_EQ(2u, song.tracks.size());
  const MidiTrack& t = song.tracks[0];
  EXPECT_EQ(7, t.noteEventCount);  // dropped events are counted too
  ASSERT_EQ(2u, t.notes.size());
  EXPECT_EQ(64, t.notes[0].pitch);  // order of first appearance
  EXPECT_EQ(60, t.notes[1].pitch);
  EXPECT_STREQ("E5", t.notes[0].name);
  EXPECT_STREQ("C5", t.notes[1].name);
  EXPECT_EQ(-1, t.notes[0].cursor);
  EXPECT_EQ((std::vector<float>{0.5f, -2.0f, 3.0f}), t.notes[0].times);
  EXPECT_EQ((std::vector<uint8_t>{90, 0, 50}), t.notes[0].velocities);
  EXPECT_EQ((std::vector<float>{1.0f, -2.5f}), t.notes[1].times);
  EXPECT_EQ((std::vector<uint8_t>{70, 0}), t.notes[1].velocities);

  const MidiNote& z = song.tracks[1].notes.at(0);
  ASSERT_EQ(4u, z.times.size());
  EXPECT_EQ(0.0f, z.times[0]);
  EXPECT_FALSE(std::signbit(z.times[0]));
  EXPECT_TRUE(std::signbit(z.times[1]));
  EXPECT_EQ(1.0f, z.times[2]);
  EXPECT_EQ(-2.0f, z.times[3]);
  EXPECT_EQ((std::vector<uint8_t>{40, 0, 41, 0}), z.velocities);
}

TEST(MidiSong, RunningStatusAndSkippedEventsKeepTheTiming) {
  const std::string events =
      event(0, {0x90, 60, 100}) + event(12, {62, 101}) +  // running note on
      event(12, {0xE0, 0x00, 0x40}) + event(12, {0x10, 0x40}) +  // pitch bend, then running
      event(12, {0xD0, 0x30}) + event(12, {0x31}) +  // channel aftertouch, one data byte
      event(12, {0xA0, 60, 0x20}) + event(12, {62, 0x21}) +  // polyphonic aftertouch
      event(12, {0xB0, 1, 5}) + event(12, {1, 6}) +  // modulation wheel, running
      event(12, {0x80, 60, 0}) + event(12, {62, 0}) +  // note offs, running
      endOfTrack();
  // Events without a delta of their own: the time does not move.
  TestArchive archive(std::vector<TestArchiveFile>{{"data/r.mid", header(1) + track(events)}});

  MidiSong song("data/r.mid");
  ASSERT_EQ(1u, song.tracks.size());
  const MidiTrack& t = song.tracks[0];
  EXPECT_EQ(4, t.noteEventCount);
  EXPECT_EQ((std::vector<float>{0.0f, -1.25f}), findNote(t, 60)->times);
  EXPECT_EQ((std::vector<float>{0.125f, -1.375f}), findNote(t, 62)->times);
  EXPECT_EQ((std::vector<float>{1.0f, 1.125f}), t.controllers[1].times);
  EXPECT_EQ((std::vector<uint8_t>{5, 6}), t.controllers[1].values);
}

TEST(MidiSong, DeltaTimesUpToFourBytes) {
  // Tick counter: 0x0FFFFFFF, then one more tick of a three-byte division.
  const std::string events = bytes({0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 1}) + event(1, {0x80, 60, 0});
  TestArchive archive(std::vector<TestArchiveFile>{
      {"data/long.mid", header(1, 1000) + track(events)},
      {"data/bad.mid", header(1) + track(bytes({0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}))}});

  MidiSong song("data/long.mid");
  const MidiNote& n = song.tracks.at(0).notes.at(0);
  EXPECT_EQ(static_cast<float>(0x0FFFFFFFu) / 1000.0f, n.times[0]);
  EXPECT_EQ(-(static_cast<float>(0x10000000u) / 1000.0f), n.times[1]);
  EXPECT_EXIT(MidiSong("data/bad.mid"), ExitedWithCode(1), fatal("Found 4 bytes of delta time without a 0 MSB"));
}

TEST(MidiSong, UnsupportedEventsAreFatal) {
  auto song = [](const std::string& events) { return header(2) + oneNoteTrack() + track(events + endOfTrack()); };
  TestArchive archive(std::vector<TestArchiveFile>{
      {"data/copyright.mid", song(meta(0, 0x02, "a") + meta(0, 0x02, "b"))},
      {"data/copyright2.mid", header(2) + track(meta(0, 0x02, "a")) + track(meta(0, 0x02, "b"))},
      {"data/text.mid", song(meta(0, 0x01, ""))},
      {"data/name.mid", song(trackName("x") + trackName("y"))},
      {"data/sysex.mid", song(event(0, {0xF0, 1, 0xF7}))},
      {"data/meta.mid", song(meta(0, 0x10, "?"))},
      {"data/end.mid", song(meta(0, 0x2F, "x"))},
      {"data/tempo.mid", song(meta(0, 0x51, "ab"))},
      {"data/timesig.mid", song(meta(0, 0x58, "abc"))},
      {"data/keysig.mid", song(meta(0, 0x59, "abc"))},
      {"data/nostatus.mid", header(1) + track(event(0, {0x3C, 0x40}))},
      {"data/system.mid", song(event(0, {0xF4, 0x12}))},
  });
  EXPECT_EXIT(MidiSong("data/copyright.mid"), ExitedWithCode(1), fatal("Retrieving copyright info failed!"));
  EXPECT_EXIT(MidiSong("data/copyright2.mid"), ExitedWithCode(1), fatal("Retrieving copyright info failed!"));
  EXPECT_EXIT(MidiSong("data/text.mid"), ExitedWithCode(1), fatal("Retrieving text info failed!"));
  EXPECT_EXIT(MidiSong("data/name.mid"), ExitedWithCode(1), fatal("Retrieving track name failed!"));
  EXPECT_EXIT(MidiSong("data/sysex.mid"), ExitedWithCode(1), fatal("  Got SysEx event, not supported yet, panicking!"));
  EXPECT_EXIT(MidiSong("data/meta.mid"), ExitedWithCode(1), fatal("  Unknown meta event, panicking!"));
  EXPECT_EXIT(MidiSong("data/end.mid"), ExitedWithCode(1), fatal("Expected 0x00"));
  EXPECT_EXIT(MidiSong("data/tempo.mid"), ExitedWithCode(1), fatal("Expected 0x03"));
  EXPECT_EXIT(MidiSong("data/timesig.mid"), ExitedWithCode(1), fatal("Expected 0x04"));
  EXPECT_EXIT(MidiSong("data/keysig.mid"), ExitedWithCode(1), fatal("Expected 0x02"));
  EXPECT_EXIT(MidiSong("data/nostatus.mid"), ExitedWithCode(1),
              fatal("Unknown event 3 from 3c, corrupt MIDI file? Panicking!"));
  EXPECT_EXIT(MidiSong("data/system.mid"), ExitedWithCode(1),
              fatal("Unknown event 1 from 12, corrupt MIDI file? Panicking!"));
}

// Files from ordinary sequencers carry program changes, markers, instrument
// names and their own data; these are skipped by their length and the events
// after them keep their times.
TEST(MidiSong, CommonEventsWithALengthAreSkipped) {
  const std::string markerOf200 = deltaTime(0) + bytes({0xFF, 0x06}) + deltaTime(200) + std::string(200, 'm');
  const std::string events = event(0, {0xC0, 5}) + event(0, {0x90, 60, 100}) + event(12, {0xC1, 0x7F}) +
                             meta(12, 0x00, bigEndian(1, 2)) + meta(0, 0x04, "Square lead") + meta(0, 0x05, "la") +
                             meta(0, 0x06, "Verse") + meta(0, 0x07, "cue") + meta(0, 0x08, "Lead") +
                             meta(0, 0x09, "Synth") + meta(0, 0x20, bytes({0})) + meta(0, 0x21, bytes({0})) +
                             meta(0, 0x54, bytes({0, 0, 0, 0, 0})) + meta(0, 0x7F, bytes({0x43, 0x7B, 0x01})) +
                             markerOf200 + event(24, {0x80, 60, 0}) + meta(0, 0x01, "after") + endOfTrack();
  TestArchive archive(std::vector<TestArchiveFile>{
      {"data/sequencer.mid", header(1) + track(events)},
      {"data/cut.mid", header(1) + track(event(0, {0x90, 60, 1}) + meta(0, 0x06, "AB").substr(0, 5))},
      {"data/cutprogram.mid", header(1) + track(event(0, {0x90, 60, 1}) + deltaTime(0) + bytes({0xC0}))},
      {"data/longlength.mid", header(1) + track(deltaTime(0) + bytes({0xFF, 0x06, 0x80, 0x80, 0x80, 0x80, 0}))},
  });

  MidiSong song("data/sequencer.mid");
  ASSERT_EQ(1u, song.tracks.size());
  EXPECT_EQ((std::vector<float>{0.0f, -0.5f}), findNote(song.tracks[0], 60)->times);
  ASSERT_NE(nullptr, song.text);
  EXPECT_STREQ("after", song.text);
  // A length that runs past its chunk, or a program change without its byte, is still damage.
  EXPECT_EXIT(MidiSong("data/cut.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside a meta event"));
  EXPECT_EXIT(MidiSong("data/cutprogram.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside a channel event"));
  EXPECT_EXIT(MidiSong("data/longlength.mid"), ExitedWithCode(1),
              fatal("  Meta event 0x06 has a length of more than 4 bytes"));
}

TEST(MidiSong, DamagedFilesAreFatal) {
  const std::string good = header(1) + oneNoteTrack();
  std::string longChunk = good;
  longChunk[21] = 0x40;  // chunk length 0x40 bytes, far past the end
  TestArchive archive(std::vector<TestArchiveFile>{
      {"data/header.mid", "MThx" + good.substr(4)},
      {"data/short.mid", "MTh"},
      {"data/headonly.mid", good.substr(0, 11)},
      {"data/chunk.mid", header(1) + "MTrK" + good.substr(18)},
      {"data/missing.mid", header(2) + oneNoteTrack()},
      {"data/length.mid", longChunk},
      {"data/text.mid", header(1) + track(bytes({0, 0xFF, 0x03, 20}) + "abc")},
      {"data/note.mid", header(1) + track(bytes({0, 0x90, 60}))},
      {"data/division.mid", header(1, 0) + oneNoteTrack()},
      {"data/tempo0.mid", header(1) + track(tempo(0))},
      {"data/controller.mid", header(1) + track(event(0, {0xB0, 0x90, 1}))},
  });
  EXPECT_EXIT(MidiSong("data/none.mid"), ExitedWithCode(1), fatal("NULL-buffer specified"));
  EXPECT_EXIT(MidiSong("data/header.mid"), ExitedWithCode(1),
              fatal("  Unknown header info, MIDI file format not recognized\n"));
  EXPECT_EXIT(MidiSong("data/short.mid"), ExitedWithCode(1), fatal("  Unknown header info"));
  EXPECT_EXIT(MidiSong("data/headonly.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside the header at byte 10"));
  EXPECT_EXIT(MidiSong("data/chunk.mid"), ExitedWithCode(1),
              fatal(" Could not find track chunk header, unrecognized file format!\n"));
  EXPECT_EXIT(MidiSong("data/missing.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside a track chunk header"));
  EXPECT_EXIT(MidiSong("data/length.mid"), ExitedWithCode(1), fatal("  Track chunk 1 claims 64 bytes"));
  EXPECT_EXIT(MidiSong("data/text.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside a track name event"));
  EXPECT_EXIT(MidiSong("data/note.mid"), ExitedWithCode(1), fatal("  MIDI data ends inside a note event"));
  EXPECT_EXIT(MidiSong("data/division.mid"), ExitedWithCode(1), fatal("  Time division of 0"));
  EXPECT_EXIT(MidiSong("data/tempo0.mid"), ExitedWithCode(1), fatal("  Tempo of 0 microseconds"));
  EXPECT_EXIT(MidiSong("data/controller.mid"), ExitedWithCode(1), fatal("  Controller number 144 out of range"));
}

// Every cut of a valid file and a set of damaged bytes: the parser either
// reads the file or stops with its own message, never a crash (under the
// sanitizers: never an out-of-bounds read).
TEST(MidiSong, TruncatedAndCorruptedFilesNeverCrash) {
  const std::string full =
      header(2) + track(trackName("c") + tempo(300000) + meta(0, 0x58, bytes({4, 2, 24, 8})) + endOfTrack()) +
      track(trackName("lead") + event(0, {0x90, 60, 100}) + event(10, {62, 90}) + event(10, {0xE0, 0, 64}) +
            event(10, {0x80, 60, 0}) + event(300, {0x80, 62, 0}) + endOfTrack());
  std::vector<TestArchiveFile> files;
  for (size_t cut = 1; cut < full.size(); ++cut) files.push_back({"data/cut" + std::to_string(cut) + ".mid", full.substr(0, cut)});
  unsigned seed = 7;
  std::vector<std::string> corrupted;
  for (int i = 0; i < 40; ++i) {
    std::string damaged = full;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      const size_t at = 14 + (seed >> 8) % (full.size() - 14);
      damaged[at] = static_cast<char>(seed >> 20);
    }
    files.push_back({"data/bad" + std::to_string(i) + ".mid", damaged});
  }
  TestArchive archive(files);

  for (size_t cut = 1; cut < full.size(); ++cut) {
    const std::string name = "data/cut" + std::to_string(cut) + ".mid";
    EXPECT_EXIT(MidiSong song(name.c_str()), ExitedWithCode(1), "Error in file src\\\\util\\\\music\\\\midi\\.cpp")
        << name;
  }
  auto parsedOrStopped = [](int status) {
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1);
  };
  for (int i = 0; i < 40; ++i) {
    const std::string name = "data/bad" + std::to_string(i) + ".mid";
    EXPECT_EXIT(
        {
          MidiSong song(name.c_str());
          std::exit(0);
        },
        parsedOrStopped, "")
        << name;
  }
}

// Each track once carried 128 controller lists whether it changed a
// controller or not: 65535 one-note tracks (786 KB of file) cost 415 MB.
TEST(MidiSong, ManyTracksCostWhatTheyHold) {
  EXPECT_LT(sizeof(MidiTrack), 256u);
  const std::string one = track(event(0, {0x90, 60, 100}) + event(1, {0x80, 60, 0}));
  std::string file = header(65535);
  for (int i = 0; i < 65535; ++i) file += one;
  TestArchive archive(std::vector<TestArchiveFile>{{"data/many.mid", file}});
  // The heap's own count (zero under the sanitizers, whose allocator keeps no such count).
  const size_t before = mallinfo2().uordblks;
  MidiSong song("data/many.mid");
  const size_t used = mallinfo2().uordblks - before;
  ASSERT_EQ(65535u, song.tracks.size());
  EXPECT_LT(used, size_t{64} << 20);
  EXPECT_EQ((std::vector<float>{0.0f, -1.0f / 96}), findNote(song.tracks.back(), 60)->times);
  EXPECT_EQ(0u, song.tracks.back().controllers.used());
  EXPECT_TRUE(song.tracks.back().controllers[1].times.empty());
}

TEST(MidiSong, MusicTakesTheSongsTempo) {
  TestArchive archive(std::vector<TestArchiveFile>{
      {"data/slow.mid", header(1) + track(tempo(1000000) + event(0, {0x90, 60, 1}) + event(1, {0x80, 60, 0}))},
      {"data/fast.mid", header(1) + track(tempo(250000) + event(0, {0x90, 60, 1}) + event(1, {0x80, 60, 0}))}});
  Music music(Music::Manual{});
  music.loadMidi("data/slow.mid");
  ASSERT_NE(nullptr, music.midi);
  EXPECT_EQ(60.0f, music.bpm);
  music.setManualPosition(3.0);
  EXPECT_FLOAT_EQ(3.0f, music.beatTime());
  music.loadMidi("data/fast.mid");
  EXPECT_EQ(240.0f, music.bpm);
  EXPECT_EQ(240.0f, music.midi->tempo);
  EXPECT_EXIT(music.loadMidi("data/none.mid"), ExitedWithCode(1), fatal("NULL-buffer specified"));
}

TEST(MidiSong, NoteNames) {
  char name[7];
  const std::pair<int, const char*> cases[] = {{0, "C0"},   {1, "C#0"},  {11, "B0"},   {12, "C1"},
                                               {60, "C5"},  {61, "C#5"}, {69, "A5"},   {70, "A#5"},
                                               {127, "G10"}, {255, "D#21"}};
  for (const auto& [pitch, expected] : cases) {
    noteName(static_cast<uint8_t>(pitch), name);
    EXPECT_STREQ(expected, name) << pitch;
  }
}

}  // namespace
